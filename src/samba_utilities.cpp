// SMB service lookups and the NT domain reader.
#include "tavrel/samba_utilities.h"

#include "tavrel/general_utilities.h"

#include <algorithm>
#include <array>

#include "attr_reader.h"
#include "log.h"
#include "text.h"

namespace {
constexpr char kLogSource[] = "samba_utilities";

// The NT domain attribute of SMB authentication services 1 to 9.
constexpr std::array<int32_t, 9> kNtDomainAttributes{78, 82, 85, 88, 91, 94, 97, 100, 103};

constexpr std::size_t kNtDomainMax = TAVREL_NT_DOMAIN_SIZE - 1;

constexpr tavrel::AttrReadMessages kNtDomainRead{
    .source = kLogSource,
    .name = "get_nt_domain_from_dstore",
    .type = SVCMON_TYPE_TEXT,
    .error_type = "%s - Error retrieving NT Domain from data store: %d",
    .invalid_type = "%s - Invalid type returned for NT Domain from SvcMon_GetAttr",
};
}  // namespace

int get_nt_domain_from_dstore(char *domain, int32_t attrId) {
    if (std::ranges::find(kNtDomainAttributes, attrId) == kNtDomainAttributes.end()) {
        TLOG(logSpecError, "%s - Invalid Domain Name Attribute passed for SvcMon", kNtDomainRead.name);
        return 0;
    }
    if (tavrel::refuse_null_output<kNtDomainRead>(domain)) return 0;

    const tavrel::AttrRecord record = tavrel::read_attr<kNtDomainRead>(attrId);
    if (!record) return 0;

    const std::string_view value = record.text();
    const std::span<char> out(domain, TAVREL_NT_DOMAIN_SIZE);
    if (value.empty() || value.size() > kNtDomainMax) {
        TLOG(logSpecInfo, "NT Domain is syntactically incorrect");
        tavrel::clear_text(out);
        return 0;
    }
    // A backslash would continue the workgroup line of smb.conf, a control
    // character would end it.
    if (tavrel::has_control(value) || tavrel::has_any_of(value, "\\")) {
        TLOG(logSpecInfo, "NT Domain holds a backslash or a control character");
        tavrel::clear_text(out);
        return 0;
    }
    tavrel::copy_text(out, value);
    TLOG(logSpecLibInfo, "%s - NT Domain is (%s)", kNtDomainRead.name, domain);
    return 1;
}
