// The rules the remembered SMB and Kerberos settings share, field by field.
// Each record keeps its own messages; the helpers log them under the
// caller's source name and line. A field holds at most N - 1 characters.
#pragma once

#include <strings.h>

#include <array>
#include <cstddef>
#include <string_view>

#include "logger.h"
#include "tavrel/samba_data.h"
#include "text.h"

namespace tavrel::remembered {

constexpr std::string_view kNoName = TAVREL_NO_NAME;
constexpr std::string_view kNoAddress = TAVREL_NO_ADDRESS;

inline bool is_no_address(std::string_view text) { return text.empty() || text.starts_with(kNoAddress); }

// Case-blind equality with a stored field. Bounded by the field's size: the
// field's own NUL lies within it, so a longer argument differs there.
template <std::size_t N>
int same_as(const std::array<char, N> &field, const char *text) {
    return text != nullptr && ::strncasecmp(text, field.data(), N) == 0 ? 1 : 0;
}

// A domain or realm: null and too long are refused, empty stores the no-name
// marker. kind names the field in the warning ("domain name"), which shows
// limit_shown as the maximum and only the bytes already measured.
template <std::size_t N>
int set_name(std::array<char, N> &field, const char *text, const char *source, const char *setter,
             const char *kind, int limit_shown, int line = __builtin_LINE()) {
    if (text == nullptr) {
        Log_SpecEntry(logSpecWarn, source, line, "%s - null %s refused", setter, kind);
        return 0;
    }
    const std::size_t length = bounded_length(text, N - 1);
    if (length > N - 1) {
        Log_SpecEntry(logSpecWarn, source, line, "%s %.*s exceeds the maximum length of %d", kind,
                      static_cast<int>(length), text, limit_shown);
        return 0;
    }
    copy_text(field, length == 0 ? kNoName : std::string_view(text, length));
    return 1;
}

// A host name: null or empty empties the field (with null_message), too long
// is refused with a warning that names the field by label.
template <std::size_t N>
int set_host(std::array<char, N> &field, const char *text, const char *source, const char *null_message,
             const char *label, int line = __builtin_LINE()) {
    const std::size_t length = bounded_length(text, N - 1);
    if (length == 0) {
        Log_SpecEntry(logSpecLibInfo, source, line, "%s", null_message);
        clear_text(field);
        return 1;
    }
    if (length > N - 1) {
        Log_SpecEntry(logSpecWarn, source, line, "%s %.*s exceeds the maximum length of %d", label,
                      static_cast<int>(length), text, static_cast<int>(N - 1));
        return 0;
    }
    copy_text(field, std::string_view(text, length));
    return 1;
}

// An address: null and too long are refused; empty or "0.0.0.0..." stores
// the no-address text.
template <std::size_t N>
int set_address(std::array<char, N> &field, const char *text, const char *source, const char *setter,
                const char *too_long_message, const char *null_message, int line = __builtin_LINE()) {
    if (text == nullptr) {
        Log_SpecEntry(logSpecWarn, source, line, "%s - null IP address refused", setter);
        return 0;
    }
    const std::size_t length = bounded_length(text, N - 1);
    if (length > N - 1) {
        Log_SpecEntry(logSpecWarn, source, line, "%s", too_long_message);
        return 0;
    }
    const std::string_view address(text, length);
    if (is_no_address(address)) {
        Log_SpecEntry(logSpecLibInfo, source, line, "%s", null_message);
        copy_text(field, kNoAddress);
        return 1;
    }
    copy_text(field, address);
    return 1;
}

// The stored address, or the no-address text (with message) when there is none.
template <std::size_t N>
const char *address_or_none(const std::array<char, N> &field, const char *source, const char *message,
                            int line = __builtin_LINE()) {
    if (!is_no_address(field.data())) return field.data();
    Log_SpecEntry(logSpecLibInfo, source, line, "%s", message);
    return TAVREL_NO_ADDRESS;
}

}  // namespace tavrel::remembered
