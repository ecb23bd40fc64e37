// Bounded text handling for library code: every copy states its capacity,
// and the checks that keep values from breaking the line structure of the
// files the library writes live here once.
#pragma once

#include <array>
#include <cstddef>
#include <cstring>
#include <span>
#include <string_view>

namespace tavrel {

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
    return text.find_first_of(set) != std::string_view::npos;
}

// Control characters or blanks: unusable in a single-token value.
constexpr bool has_blank_or_control(std::string_view text) {
    for (char c : text)
        if (c == ' ' || is_control(c)) return true;
    return false;
}

}  // namespace tavrel
