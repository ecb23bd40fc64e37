// One read of a service-monitor attribute: ask for it, check that the record
// echoes the id and has the expected type, and hand the record back exactly
// once. Each reader describes what it logs at each step in a constexpr
// AttrReadMessages, whose formats are checked against their arguments when
// it is compiled; one body serves every reader.
//
//     constexpr AttrReadMessages kRealmRead = checked({.source = kLogSource, ...});
//     AttrRecord record = read_attr(kRealmRead, attrId);
//     if (!record) return 0;           // logged; the record is freed anyway
//     ... copy what is kept from record.text() ...
//     return 1;                        // freed when record goes out of scope
#pragma once

#include <cstdint>
#include <string_view>

#include "svcmon.h"

namespace tavrel {

struct AttrReadMessages {
    const char *source;  // log source name
    const char *name;    // the reading function's name: the first %s of each message
    int32_t type;        // the type the reader takes the value from
    // Logged at logSpecLibInfo before asking, with the attribute id; null for none.
    const char *announce = nullptr;
    // With the id in the record, then the id asked for; null for the usual
    // "%s - Attribute returned (%d) does not equal one sent (%d)".
    const char *mismatch = nullptr;
    // Type 3; a %d in it takes the service monitor's code.
    const char *error_type = nullptr;
    // Any other type; a %d in it takes the attribute id asked for.
    const char *invalid_type = nullptr;
    // Set by checked(): whether the type messages take their number.
    bool error_takes_code = false;
    bool invalid_takes_id = false;
};

namespace attr_format {

// Not constexpr: reaching it while a reader's messages are compiled is a
// compile-time error.
inline void does_not_match_its_arguments() {}

// The conversions of a format, in order: 's' for %s, 'd' for %d or %i.
consteval int conversions(const char *format, char *out, int max) {
    int n = 0;
    for (const char *p = format; *p; ++p) {
        if (*p != '%') continue;
        ++p;
        if (*p == '%') continue;
        if (n == max) does_not_match_its_arguments();
        if (*p == 's')
            out[n++] = 's';
        else if (*p == 'd' || *p == 'i')
            out[n++] = 'd';
        else
            does_not_match_its_arguments();
    }
    return n;
}

// True when format takes exactly the conversions in expected.
consteval bool takes(const char *format, std::string_view expected) {
    char found[4] = {};
    const int n = conversions(format, found, 4);
    return std::string_view(found, static_cast<std::size_t>(n)) == expected;
}

}  // namespace attr_format

// Checks every format against the arguments the read body passes it.
consteval AttrReadMessages checked(AttrReadMessages m) {
    using attr_format::takes;
    if (!m.error_type || !m.invalid_type) attr_format::does_not_match_its_arguments();
    m.error_takes_code = takes(m.error_type, "sd");
    m.invalid_takes_id = takes(m.invalid_type, "sd");
    const bool ok = (!m.announce || takes(m.announce, "d")) && (!m.mismatch || takes(m.mismatch, "sdd")) &&
                    (m.error_takes_code || takes(m.error_type, "s")) && (m.invalid_takes_id || takes(m.invalid_type, "s"));
    if (!ok) attr_format::does_not_match_its_arguments();
    return m;
}

// Owns one record from SvcMon_GetAttr and returns it with SvcMon_Free exactly
// once, when the holder goes out of scope. Usable only when the pattern's
// checks passed; an unusable holder may still own a record to free.
class AttrRecord {
public:
    AttrRecord(SvcMonAttr *record, bool usable) : record_(record), usable_(usable && record) {}
    AttrRecord(const AttrRecord &) = delete;
    AttrRecord &operator=(const AttrRecord &) = delete;
    ~AttrRecord() {
        if (record_) SvcMon_Free(record_);
    }

    explicit operator bool() const { return usable_; }
    // Only on a usable holder. A record without text reads as empty text,
    // whose data() is still a NUL-terminated string for the platform calls.
    std::string_view text() const { return record_->value.text ? record_->value.text : ""; }
    int32_t integer() const { return record_->value.integer; }
    uint32_t port() const { return record_->port; }

private:
    SvcMonAttr *record_;
    bool usable_;
};

// The read pattern; every failure is logged at logSpecError under the
// reader's source and the caller's line.
AttrRecord read_attr(const AttrReadMessages &m, int32_t attr_id, int line = __builtin_LINE());

// Refuses a null output pointer before the service monitor is asked.
bool refuse_null_output(const AttrReadMessages &m, const void *output, int line = __builtin_LINE());

}  // namespace tavrel
