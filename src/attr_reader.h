// One read of a service-monitor attribute: ask for it, check that the record
// echoes the id and has the expected type, and hand the record back exactly
// once. Each reader describes what it logs at each step in a constexpr
// AttrReadMessages and instantiates read_attr with it, so the formats stay
// literal to the compiler and are checked against their arguments.
//
//     constexpr AttrReadMessages kRealmRead{.source = kLogSource, ...};
//     AttrRecord record = read_attr<kRealmRead>(attrId);
//     if (!record) return 0;           // logged; the record is freed anyway
//     ... copy what is kept from record.text() ...
//     return 1;                        // freed when record goes out of scope
#pragma once

#include <cstdint>
#include <source_location>
#include <string_view>

#include "logger.h"
#include "svcmon.h"
#include "text.h"

namespace tavrel {

struct AttrReadMessages {
    const char *source;  // log source name
    const char *name;    // the reading function's name: the first %s of each message
    int32_t type;        // the type the reader takes the value from
    // Logged at logSpecLibInfo before asking, with the attribute id; null for none.
    const char *announce = nullptr;
    const char *no_record = "%s - NULL returned from SvcMon_GetAttr";
    // With the id in the record, then the id asked for.
    const char *mismatch = "%s - Attribute returned (%d) does not equal one sent (%d)";
    // Type 3; a %d in it takes the service monitor's code.
    const char *error_type = nullptr;
    // Any other type; a %d in it takes the attribute id asked for.
    const char *invalid_type = nullptr;
    // A null output pointer, refused before anything is asked.
    const char *null_output = "%s - NULL output buffer passed";
};

// Whether a format takes a number after its leading %s.
constexpr bool takes_number(const char *format) {
    const std::string_view f(format);
    return f.find("%d") != std::string_view::npos || f.find("%i") != std::string_view::npos;
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

// clang does not follow a format through a member of a constexpr template
// argument and calls it non-literal; GCC does, and checks each of these
// formats against its arguments.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wformat-nonliteral"
#endif

// The read pattern; every failure is logged at logSpecError under M's source
// and the caller's line.
template <const AttrReadMessages &M>
AttrRecord read_attr(int32_t attr_id, std::source_location where = std::source_location::current()) {
    static_assert(M.error_type && M.invalid_type, "every reader names its type errors");
    const int line = static_cast<int>(where.line());
    if constexpr (M.announce != nullptr) Log_SpecEntry(logSpecLibInfo, M.source, line, M.announce, attr_id);

    SvcMonAttr *record = SvcMon_GetAttr(attr_id);
    if (!record) {
        Log_SpecEntry(logSpecError, M.source, line, M.no_record, M.name);
        return AttrRecord(nullptr, false);
    }
    if (record->attr_id != attr_id) {
        Log_SpecEntry(logSpecError, M.source, line, M.mismatch, M.name, record->attr_id, attr_id);
        return AttrRecord(record, false);
    }
    if (record->type == M.type) return AttrRecord(record, true);

    if (record->type == SVCMON_TYPE_ERROR) {
        if constexpr (takes_number(M.error_type))
            Log_SpecEntry(logSpecError, M.source, line, M.error_type, M.name, record->value.integer);
        else
            Log_SpecEntry(logSpecError, M.source, line, M.error_type, M.name);
    } else {
        if constexpr (takes_number(M.invalid_type))
            Log_SpecEntry(logSpecError, M.source, line, M.invalid_type, M.name, attr_id);
        else
            Log_SpecEntry(logSpecError, M.source, line, M.invalid_type, M.name);
    }
    return AttrRecord(record, false);
}

// Refuses a null output pointer before the service monitor is asked.
template <const AttrReadMessages &M>
bool refuse_null_output(const void *output, std::source_location where = std::source_location::current()) {
    if (output) return false;
    Log_SpecEntry(logSpecError, M.source, static_cast<int>(where.line()), M.null_output, M.name);
    return true;
}

#if defined(__clang__)
#pragma clang diagnostic pop
#endif

}  // namespace tavrel
