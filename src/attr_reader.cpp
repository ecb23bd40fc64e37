#include "attr_reader.h"

#include "logger.h"

namespace tavrel {

// The formats come from a reader's AttrReadMessages, which checked() has
// matched against these very arguments when it was compiled.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"

AttrRecord read_attr(const AttrReadMessages &m, int32_t attr_id, int line) {
    if (m.announce) Log_SpecEntry(logSpecLibInfo, m.source, line, m.announce, attr_id);

    SvcMonAttr *record = SvcMon_GetAttr(attr_id);
    if (!record) {
        Log_SpecEntry(logSpecError, m.source, line, "%s - NULL returned from SvcMon_GetAttr", m.name);
        return AttrRecord(nullptr, false);
    }
    if (record->attr_id != attr_id) {
        if (m.mismatch)
            Log_SpecEntry(logSpecError, m.source, line, m.mismatch, m.name, record->attr_id, attr_id);
        else
            Log_SpecEntry(logSpecError, m.source, line, "%s - Attribute returned (%d) does not equal one sent (%d)",
                          m.name, record->attr_id, attr_id);
        return AttrRecord(record, false);
    }
    if (record->type == m.type) return AttrRecord(record, true);

    if (record->type == SVCMON_TYPE_ERROR) {
        if (m.error_takes_code)
            Log_SpecEntry(logSpecError, m.source, line, m.error_type, m.name, record->value.integer);
        else
            Log_SpecEntry(logSpecError, m.source, line, m.error_type, m.name);
    } else if (m.invalid_takes_id) {
        Log_SpecEntry(logSpecError, m.source, line, m.invalid_type, m.name, attr_id);
    } else {
        Log_SpecEntry(logSpecError, m.source, line, m.invalid_type, m.name);
    }
    return AttrRecord(record, false);
}

bool refuse_null_output(const AttrReadMessages &m, const void *output, int line) {
    if (output) return false;
    Log_SpecEntry(logSpecError, m.source, line, "%s - NULL output buffer passed", m.name);
    return true;
}

#pragma GCC diagnostic pop

}  // namespace tavrel
