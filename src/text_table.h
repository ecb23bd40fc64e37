// A table of fixed texts packed into one array, found by offset. A table of
// pointers costs a relocation for each entry when the library is loaded (and
// the pointers themselves); this costs neither.
//
//     constexpr const char *kLines[] = {"one", "two"};   // used only to build the table
//     constexpr auto lines = tavrel::pack<tavrel::packed_size(kLines)>(kLines);
//     lines[1]  // "two"
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tavrel {

template <std::size_t Count, std::size_t Bytes>
struct TextTable {
    std::array<char, Bytes> bytes{};
    std::array<uint16_t, Count + 1> starts{};  // and where the next would start

    static constexpr std::size_t size() { return Count; }
    // The text (followed by a NUL in the table).
    constexpr std::string_view operator[](std::size_t i) const {
        return {bytes.data() + starts[i], static_cast<std::size_t>(starts[i + 1] - starts[i] - 1)};
    }
};

template <std::size_t N>
consteval std::size_t packed_size(const char *const (&texts)[N]) {
    std::size_t bytes = 0;
    for (const char *t : texts) bytes += std::string_view(t).size() + 1;
    return bytes;
}

template <std::size_t Bytes, std::size_t N>
consteval TextTable<N, Bytes> pack(const char *const (&texts)[N]) {
    static_assert(Bytes <= UINT16_MAX, "offsets are 16 bits");
    TextTable<N, Bytes> table;
    std::size_t at = 0;
    for (std::size_t i = 0; i < N; ++i) {
        table.starts[i] = static_cast<uint16_t>(at);
        for (const char *c = texts[i]; *c; ++c) table.bytes[at++] = *c;
        table.bytes[at++] = '\0';
    }
    table.starts[N] = static_cast<uint16_t>(at);
    return table;
}

}  // namespace tavrel
