// The SMB settings remembered for the life of the process: the domain and
// authentication server in force, and the domain a caller asked for. The
// record is zeroed at load, so nothing needs initialising.
#include "samba_data.h"

#include <array>
#include <cstddef>
#include <cstdint>

#include "log.h"
#include "remembered_field.h"

namespace {

constexpr char kLogSource[] = "samba_data";

constexpr std::size_t kNameMax = 255;     // domain names and the hostname
constexpr std::size_t kAddressMax = 22;   // IPv4 address with a port, at most
constexpr int kDomainLimitShown = 256;    // the limit domain warnings name
constexpr uint32_t kHighestService = 3;

using NameField = std::array<char, kNameMax + 1>;
using AddressField = std::array<char, kAddressMax + 1>;

struct SmbCurrentSettings {
    uint32_t auth_service_used;
    NameField new_domain_name;
    NameField current_hostname;
    NameField current_domain_name;
    AddressField current_internet_address;
};

constinit SmbCurrentSettings smb_current_settings{};

namespace field = tavrel::remembered;

int set_domain(NameField &name, const char *domain, const char *setter) {
    return field::set_name(name, domain, kLogSource, setter, "domain name", kDomainLimitShown);
}

}  // namespace

uint32_t sm_get_current_Auth_Service_Used(void) { return smb_current_settings.auth_service_used; }

int sm_set_current_Auth_Service_Used(uint32_t service) {
    if (service > kHighestService) return 0;
    smb_current_settings.auth_service_used = service;
    return 1;
}

const char *sm_get_new_domain_name(void) { return smb_current_settings.new_domain_name.data(); }

int sm_set_new_domain_name(const char *domain) {
    return set_domain(smb_current_settings.new_domain_name, domain, __func__);
}

const char *sm_get_current_hostname(void) {
    const NameField &hostname = smb_current_settings.current_hostname;
    if (hostname[0] == '\0') TLOG(logSpecLibInfo, "The current hostname in configuration is NULL");
    return hostname.data();
}

int sm_set_current_hostname(const char *hostname) {
    return field::set_host(smb_current_settings.current_hostname, hostname, kLogSource,
                           "Null hostname passed into SMB data.", "hostname");
}

int sm_compare_current_hostname(const char *hostname) {
    return field::same_as(smb_current_settings.current_hostname, hostname);
}

const char *sm_get_current_domain_name(void) {
    const NameField &domain = smb_current_settings.current_domain_name;
    if (domain[0] == '\0') TLOG(logSpecLibInfo, "The current domain name in configuration is NULL");
    return domain.data();
}

int sm_set_current_domain_name(const char *domain) {
    return set_domain(smb_current_settings.current_domain_name, domain, __func__);
}

int sm_compare_current_domain_name(const char *domain) {
    return field::same_as(smb_current_settings.current_domain_name, domain);
}

const char *sm_get_current_internet_address(void) {
    return field::address_or_none(smb_current_settings.current_internet_address, kLogSource,
                                  "Null IP address in SMB data.");
}

int sm_set_current_internet_address(const char *address) {
    return field::set_address(smb_current_settings.current_internet_address, address, kLogSource, __func__,
                              "IP address for SMB data is too long", "Null IP address passed into SMB data.");
}

int sm_compare_current_internet_address(const char *address) {
    return field::same_as(smb_current_settings.current_internet_address, address);
}
