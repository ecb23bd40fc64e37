// Bounded text handling for library code: every copy states its capacity,
// and the checks that keep values from breaking the line structure of the
// files the library writes live here once.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <type_traits>

namespace tavrel {

// A number in decimal, as "%d" or "%u" writes it, with a NUL after it in
// buffer; the view holds the digits (at the buffer's end). A plain loop:
// std::to_chars brings a table and more code than the device's library can
// spare.
template <typename Number>
inline std::string_view decimal(Number value, std::array<char, 12> &buffer) {
    static_assert(std::is_same_v<Number, int> || std::is_same_v<Number, uint32_t>);
    bool negative = false;
    if constexpr (std::is_signed_v<Number>) negative = value < 0;
    // 32-bit arithmetic throughout: 64-bit division would pull libgcc's into
    // the device's library.
    uint32_t magnitude = negative ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    char *const end = buffer.data() + buffer.size() - 1;
    char *first = end;
    *end = '\0';
    do {
        *--first = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative) *--first = '-';
    return {first, static_cast<std::size_t>(end - first)};
}

// A text pointer that may be null, as a view (null reads as empty).
inline std::string_view view(const char *text) {
    return text ? std::string_view(text) : std::string_view();
}

// Length of text, reading at most max + 1 bytes: a result above max means
// "longer than max" without walking an unbounded string.
inline std::size_t bounded_length(const char *text, std::size_t max) {
    return text ? ::strnlen(text, max + 1) : 0;
}

// Copies src into dst with its NUL when it fits; otherwise dst is untouched
// and the result is false.
inline bool copy_text(std::span<char> dst, std::string_view src) {
    if (dst.empty() || src.size() >= dst.size()) return false;
    if (!src.empty()) std::memcpy(dst.data(), src.data(), src.size());  // an empty view may have no data
    dst[src.size()] = '\0';
    return true;
}

template <std::size_t N>
inline bool copy_text(std::array<char, N> &dst, std::string_view src) {
    return copy_text(std::span<char>(dst), src);
}

template <std::size_t N>
inline bool copy_text(char (&dst)[N], std::string_view src) {
    return copy_text(std::span<char>(dst, N), src);
}

// Appends src to the NUL-terminated text in dst when the whole of it fits.
inline bool append_text(std::span<char> dst, std::string_view src) {
    const std::size_t used = ::strnlen(dst.data(), dst.size());
    if (used >= dst.size()) return false;
    return copy_text(dst.subspan(used), src);
}

inline void clear_text(std::span<char> dst) {
    if (!dst.empty()) dst[0] = '\0';
}

// A byte that would end or corrupt a line: below 32, or DEL.
constexpr bool is_control(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7f;
}

constexpr bool has_control(std::string_view text) {
    for (char c : text)
        if (is_control(c)) return true;
    return false;
}

constexpr bool has_any_of(std::string_view text, std::string_view set) {
    // A loop the compiler unrolls for a constant set, where find_first_of
    // calls memchr for every byte of the text.
    for (const char c : text)
        for (const char s : set)
            if (c == s) return true;
    return false;
}

// Control characters or blanks: unusable in a single-token value.
// A set of bytes as a bit table, for a check that looks at every byte of a
// value: one lookup a byte, in 32 bytes of table.
class ByteSet {
public:
    // The control characters and the given bytes.
    static constexpr ByteSet controls_and(std::string_view bytes) {
        ByteSet set;
        for (int c = 0; c < 256; ++c)
            if (is_control(static_cast<char>(c))) set.add(static_cast<char>(c));
        for (const char c : bytes) set.add(c);
        return set;
    }
    constexpr bool has(char c) const {
        const auto u = static_cast<unsigned char>(c);
        return ((bits_[u >> 5] >> (u & 31)) & 1u) != 0;
    }
    constexpr bool any_in(std::string_view text) const {
        for (const char c : text)
            if (has(c)) return true;
        return false;
    }

private:
    constexpr void add(char c) {
        const auto u = static_cast<unsigned char>(c);
        bits_[u >> 5] |= 1u << (u & 31);
    }
    std::array<uint32_t, 8> bits_{};
};

constexpr bool has_blank_or_control(std::string_view text) {
    for (char c : text)
        if (c == ' ' || is_control(c)) return true;
    return false;
}

}  // namespace tavrel
