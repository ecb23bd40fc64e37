// SMB authentication and filing services: which attribute holds which setting
// of which service, the searches for the service configured for a domain,
// server or share, and the NT domain reader.
#include "tavrel/samba_utilities.h"

#include <stdlib.h>
#include <strings.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

#include "attr_reader.h"
#include "log.h"
#include "tavrel/general_utilities.h"
#include "tavrel/samba_data.h"
#include "text.h"

namespace {
constexpr char kLogSource[] = "samba_utilities";

struct SmbAuthService {
    int32_t service_id;
    int32_t domain;
    int32_t ip_address;
    int32_t hostname;
};

// Attribute 81, between services 1 and 2, is the device-wide SMB method.
constexpr std::array<SmbAuthService, 9> smb_auth_services = {{
    {1, 78, 79, 80},
    {2, 82, 83, 84},
    {3, 85, 86, 87},
    {4, 88, 89, 90},
    {5, 91, 92, 93},
    {6, 94, 95, 96},
    {7, 97, 98, 99},
    {8, 100, 101, 102},
    {9, 103, 104, 105},
}};

struct SmbFilingService {
    int32_t service_id;
    int32_t server_name;
    int32_t protocol;
    int32_t port;
    int32_t share_name;
};

// The sixth service was added later and has a block of its own.
constexpr std::array<SmbFilingService, 6> smb_filing_services = {{
    {1, 258, 288, 263, 278},
    {2, 259, 289, 264, 279},
    {3, 260, 290, 265, 280},
    {4, 261, 291, 266, 281},
    {5, 262, 292, 267, 282},
    {6, 351, 357, 352, 355},
}};

// The domain attribute of each authentication service, in row order.
constexpr std::array<int32_t, 9> smb_domain_attrs{78, 82, 85, 88, 91, 94, 97, 100, 103};

constexpr std::size_t kNtDomainMax = TAVREL_NT_DOMAIN_SIZE - 1;
constexpr std::size_t kPortTextSize = 16;

constexpr tavrel::AttrReadMessages kNtDomainRead = tavrel::checked({
    .source = kLogSource,
    .name = "get_nt_domain_from_dstore",
    .type = SVCMON_TYPE_TEXT,
    .error_type = "%s - Error retrieving NT Domain from data store: %d",
    .invalid_type = "%s - Invalid type returned for NT Domain from SvcMon_GetAttr",
});

// The row of a service ID: service 1 is always the first row.
template <typename Row, std::size_t N>
const Row *row_of(const std::array<Row, N> &table, int service) {
    if (service == table[0].service_id) return &table[0];
    for (std::size_t row = 1; row < N; ++row)
        if (table[row].service_id == service) return &table[row];
    return nullptr;
}

// Null, empty and the no-name marker name nothing a service could have.
bool is_bad_name(const char *name) {
    const std::string_view text = tavrel::view(name);
    return text.empty() || text == TAVREL_NO_NAME;
}

const char *shown(const char *name) { return name ? name : "(null)"; }

bool bad_server_name(const char *server) {
    if (!is_bad_name(server)) return false;
    TLOG(logSpecForceInfo, "A bad server name [%s] was used to determine which SMB service to use", shown(server));
    return true;
}

// The server name of a filing service row; false (logged) when unreadable.
bool read_server_name(std::size_t row, char (&name)[TAVREL_DNS_NAME_SIZE]) {
    if (get_dns_name_from_dstore(name, smb_filing_services[row].server_name)) return true;
    TLOG(logSpecWarn, "Could not retrieve servername (%d) from datastore for SMB", static_cast<int>(row));
    return false;
}

bool same_name(const char *a, const char *b) { return strcasecmp(a, b) == 0; }

}  // namespace

extern "C" {

int sm_get_smb_auth_domain_from_service(int service) {
    if (const auto *row = row_of(smb_auth_services, service)) return row->domain;
    return smb_auth_services[0].domain;
}

int sm_get_smb_auth_IP_from_service(int service) {
    if (const auto *row = row_of(smb_auth_services, service)) return row->ip_address;
    TLOG(logSpecForceInfo, "Unable to find IP address for service [%d], using default", service);
    return smb_auth_services[0].ip_address;
}

int sm_get_smb_auth_hostname_from_service(int service) {
    if (const auto *row = row_of(smb_auth_services, service)) return row->hostname;
    TLOG(logSpecForceInfo, "Unable to find hostname for service [%d], using default", service);
    return smb_auth_services[0].hostname;
}

int sm_get_smb_filing_servername_from_service(int service) {
    if (const auto *row = row_of(smb_filing_services, service)) return row->server_name;
    TLOG(logSpecForceInfo, "Unable to find server name for service [%d], using default", service);
    return smb_filing_services[0].server_name;
}

int sm_get_smb_protocol_from_service(int service) {
    if (const auto *row = row_of(smb_filing_services, service)) return row->protocol;
    TLOG(logSpecForceInfo, "Unable to find protocol type for service [%d], using default", service);
    return smb_filing_services[0].protocol;
}

int sm_get_smb_sharename_from_service(int service) {
    if (const auto *row = row_of(smb_filing_services, service)) return row->share_name;
    TLOG(logSpecForceInfo, "Unable to find sharename for service [%d], using default", service);
    return smb_filing_services[0].share_name;
}

int get_port_number_for_filing_service(int service, int *port) {
    static constexpr char kName[] = "get_port_number_for_filing_service";
    const auto *row = row_of(smb_filing_services, service);
    if (!row) return 0;
    if (!port) {
        TLOG(logSpecWarn, "%s(): No place given for the port number", kName);
        return 0;
    }
    char text[kPortTextSize] = {};
    if (!get_port_from_dstore(text, row->port)) {
        TLOG(logSpecWarn, "%s(): Unable to access Data Store to obtain port number", kName);
        return 0;
    }
    // The reader gives at most five digits, so the value fits an int.
    *port = static_cast<int>(strtol(text, nullptr, 10));
    return 1;
}

int is_this_service_for_SMB(int service) {
    int32_t protocol = 0;
    if (!get_filingProtocol_from_dstore(&protocol, sm_get_smb_protocol_from_service(service))) return 0;
    return protocol == TAVREL_FILING_PROTOCOL_SMB ? 1 : 0;
}

int get_filing_service_index_from_server_name(const char *server) {
    if (bad_server_name(server)) return 0;
    for (std::size_t row = 0; row < smb_filing_services.size(); ++row) {
        char name[TAVREL_DNS_NAME_SIZE] = {};
        if (read_server_name(row, name) && same_name(name, server)) return smb_filing_services[row].service_id;
    }
    return 0;
}

int get_filing_service_index_from_servername_and_sharename(const char *server, const char *share) {
    if (bad_server_name(server)) return 0;
    int found = 0;
    for (std::size_t row = 0; row < smb_filing_services.size(); ++row) {
        char name[TAVREL_DNS_NAME_SIZE] = {};
        if (!read_server_name(row, name) || !same_name(name, server)) continue;
        if (!share) {
            // Without a share every matching row replaces the previous one.
            TLOG(logSpecForceInfo, "No volume used to compare with server name for index %d", static_cast<int>(row));
            found = smb_filing_services[row].service_id;
            continue;
        }
        char share_name[TAVREL_SHARENAME_SIZE] = {};
        if (!get_sharename_from_dstore(share_name, smb_filing_services[row].share_name)) {
            TLOG(logSpecWarn, "Couldn't get sharename (%d), from datastore for SMB", static_cast<int>(row));
            continue;
        }
        if (same_name(share_name, share)) return smb_filing_services[row].service_id;
    }
    return found;
}

int sm_get_smb_auth_service_from_domain_name(const char *domain) {
    if (is_bad_name(domain)) {
        TLOG(logSpecForceInfo, "A bad Domain [%s] was used to determine which SMB service to use", shown(domain));
        return 0;
    }
    for (std::size_t index = 0; index < smb_domain_attrs.size(); ++index) {
        char configured[TAVREL_NT_DOMAIN_SIZE] = {};
        if (!get_nt_domain_from_dstore(configured, smb_domain_attrs[index])) {
            TLOG(logSpecWarn, "Could not retrieve domain number %d from datastore for SMB", static_cast<int>(index));
            continue;
        }
        if (!same_name(configured, domain)) continue;
        const auto row = std::ranges::find(smb_auth_services, smb_domain_attrs[index], &SmbAuthService::domain);
        if (row != smb_auth_services.end()) return row->service_id;
    }
    return 0;
}

int get_nt_domain_from_dstore(char *domain, int32_t attrId) {
    if (std::ranges::find(smb_domain_attrs, attrId) == smb_domain_attrs.end()) {
        TLOG(logSpecError, "%s - Invalid Domain Name Attribute passed for SvcMon", kNtDomainRead.name);
        return 0;
    }
    if (tavrel::refuse_null_output(kNtDomainRead, domain)) return 0;

    const tavrel::AttrRecord record = tavrel::read_attr(kNtDomainRead, attrId);
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

}  // extern "C"
