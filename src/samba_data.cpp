// The SMB settings remembered for the life of the process: the domain and
// authentication server in force, and the domain a caller asked for. The
// record is zeroed at load, so nothing needs initialising.
#include "samba_data.h"

#include <strings.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "log.h"
#include "text.h"

namespace {

constexpr char kLogSource[] = "samba_data";

constexpr std::size_t kNameMax = 255;     // domain names and the hostname
constexpr std::size_t kAddressMax = 22;   // IPv4 address with a port, at most
constexpr int kDomainLimitShown = 256;    // the limit domain warnings name
constexpr uint32_t kHighestService = 3;
constexpr std::string_view kNoName = TAVREL_NO_NAME;
constexpr std::string_view kNoAddress = TAVREL_NO_ADDRESS;

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

// Case-blind equality with a stored field. Bounded by the field's size: the
// field's own NUL lies within it, so a longer argument differs there.
template <std::size_t N>
int same_as_field(const std::array<char, N> &field, const char *text) {
    return text != nullptr && ::strncasecmp(text, field.data(), N) == 0 ? 1 : 0;
}

bool starts_as_no_address(std::string_view text) { return text.starts_with(kNoAddress); }

// The two domain fields share their rules: too long is refused, empty stores
// the no-name marker.
int set_domain(NameField &field, const char *domain, const char *setter) {
    if (domain == nullptr) {
        TLOG(logSpecWarn, "%s - null domain name refused", setter);
        return 0;
    }
    const std::size_t length = tavrel::bounded_length(domain, kNameMax);
    if (length > kNameMax) {
        // Only the bytes already measured are shown.
        TLOG(logSpecWarn, "domain name %.*s exceeds the maximum length of %d", static_cast<int>(length), domain,
             kDomainLimitShown);
        return 0;
    }
    tavrel::copy_text(field, length == 0 ? kNoName : std::string_view(domain, length));
    return 1;
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
    const NameField &field = smb_current_settings.current_hostname;
    if (field[0] == '\0') TLOG(logSpecLibInfo, "The current hostname in configuration is NULL");
    return field.data();
}

int sm_set_current_hostname(const char *hostname) {
    NameField &field = smb_current_settings.current_hostname;
    const std::size_t length = tavrel::bounded_length(hostname, kNameMax);
    if (length == 0) {
        TLOG(logSpecLibInfo, "Null hostname passed into SMB data.");
        tavrel::clear_text(field);
        return 1;
    }
    if (length > kNameMax) {
        TLOG(logSpecWarn, "hostname %.*s exceeds the maximum length of %d", static_cast<int>(length), hostname,
             static_cast<int>(kNameMax));
        return 0;
    }
    tavrel::copy_text(field, std::string_view(hostname, length));
    return 1;
}

int sm_compare_current_hostname(const char *hostname) {
    return same_as_field(smb_current_settings.current_hostname, hostname);
}

const char *sm_get_current_domain_name(void) {
    const NameField &field = smb_current_settings.current_domain_name;
    if (field[0] == '\0') TLOG(logSpecLibInfo, "The current domain name in configuration is NULL");
    return field.data();
}

int sm_set_current_domain_name(const char *domain) {
    return set_domain(smb_current_settings.current_domain_name, domain, __func__);
}

int sm_compare_current_domain_name(const char *domain) {
    return same_as_field(smb_current_settings.current_domain_name, domain);
}

const char *sm_get_current_internet_address(void) {
    const AddressField &field = smb_current_settings.current_internet_address;
    const std::string_view stored(field.data());
    if (stored.empty() || starts_as_no_address(stored)) {
        TLOG(logSpecLibInfo, "Null IP address in SMB data.");
        return TAVREL_NO_ADDRESS;
    }
    return field.data();
}

int sm_set_current_internet_address(const char *address) {
    AddressField &field = smb_current_settings.current_internet_address;
    if (address == nullptr) {
        TLOG(logSpecWarn, "%s - null IP address refused", __func__);
        return 0;
    }
    const std::size_t length = tavrel::bounded_length(address, kAddressMax);
    if (length > kAddressMax) {
        TLOG(logSpecWarn, "IP address for SMB data is too long");
        return 0;
    }
    const std::string_view text(address, length);
    if (text.empty() || starts_as_no_address(text)) {
        TLOG(logSpecLibInfo, "Null IP address passed into SMB data.");
        tavrel::copy_text(field, kNoAddress);
        return 1;
    }
    tavrel::copy_text(field, text);
    return 1;
}

int sm_compare_current_internet_address(const char *address) {
    return same_as_field(smb_current_settings.current_internet_address, address);
}
