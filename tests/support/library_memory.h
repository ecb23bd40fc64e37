// The library's writable segments (data and bss, where a render's text
// lives), read from outside: for secrets that must not outlive a call.
#pragma once

#include <link.h>

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace tavrel_test {

// Reads without the sanitizers' checks or the fuzzer's comparison hooks:
// the library's globals lie between AddressSanitizer's red zones, and the
// fuzzer must not learn the library's memory from the comparisons.
#if defined(__clang__)
#define TAVREL_RAW_READ __attribute__((no_sanitize("address", "coverage")))
#else
#define TAVREL_RAW_READ __attribute__((no_sanitize_address))
#endif

TAVREL_RAW_READ inline bool holds(const unsigned char *begin, std::size_t size, std::string_view text) {
    for (std::size_t i = 0; !text.empty() && i + text.size() <= size; ++i) {
        std::size_t same = 0;
        while (same < text.size() && begin[i + same] == static_cast<unsigned char>(text[same])) ++same;
        if (same == text.size()) return true;
    }
    return false;
}

TAVREL_RAW_READ inline void append_bytes(std::string &to, const unsigned char *begin, std::size_t size) {
    to.resize(to.size() + size);
    char *out = to.data() + to.size() - size;
    for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<char>(begin[i]);
}

// The writable segments of libtavrel.so copied, one after another (empty: no library loaded).
inline std::string library_memory() {
    std::string copy;
    dl_iterate_phdr([](dl_phdr_info *info, std::size_t, void *data) {
        const std::string_view name = info->dlpi_name ? info->dlpi_name : "";
        if (!name.substr(name.rfind('/') + 1).starts_with("libtavrel.so")) return 0;
        for (const ElfW(Phdr) &s : std::span(info->dlpi_phdr, info->dlpi_phnum))
            if (s.p_type == PT_LOAD && (s.p_flags & PF_W))
                append_bytes(*static_cast<std::string *>(data),
                             reinterpret_cast<const unsigned char *>(info->dlpi_addr + s.p_vaddr), s.p_memsz);
        return 1;
    }, &copy);
    return copy;
}

}  // namespace tavrel_test
