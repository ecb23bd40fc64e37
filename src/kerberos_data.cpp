// The Kerberos settings remembered for the life of the process: the realm and
// KDC in force, and the realm a caller asked for. The record is zeroed at
// load, so nothing needs initialising.
#include "kerberos_data.h"

#include <strings.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "log.h"
#include "samba_data.h"
#include "text.h"

namespace {

constexpr char kLogSource[] = "kerberos_data";

constexpr std::size_t kRealmMax = 256;
constexpr std::size_t kServerMax = 255;
constexpr std::size_t kAddressMax = 54;  // a bracketed IPv6 address with a port fits
constexpr uint32_t kHighestService = 3;
constexpr std::string_view kNoName = TAVREL_NO_NAME;
constexpr std::string_view kNoAddress = TAVREL_NO_ADDRESS;

using RealmField = std::array<char, kRealmMax + 1>;
using ServerField = std::array<char, kServerMax + 1>;
using AddressField = std::array<char, kAddressMax + 1>;

struct KrbCurrentSettings {
    uint32_t krb_auth_service_used;
    RealmField new_realm_name;
    ServerField current_krb_server;
    RealmField current_realm_name;
    AddressField current_krb_internet_address;
};

constinit KrbCurrentSettings krb_current_settings{};

// Case-blind equality with a stored field. Bounded by the field's size: the
// field's own NUL lies within it, so a longer argument differs there.
template <std::size_t N>
int same_as_field(const std::array<char, N> &field, const char *text) {
    return text != nullptr && ::strncasecmp(text, field.data(), N) == 0 ? 1 : 0;
}

bool starts_as_no_address(std::string_view text) { return text.starts_with(kNoAddress); }

// The two realm fields share their rules: too long is refused, empty stores
// the no-name marker.
int set_realm(RealmField &field, const char *realm, const char *setter) {
    if (realm == nullptr) {
        TLOG(logSpecWarn, "%s - null realm name refused", setter);
        return 0;
    }
    const std::size_t length = tavrel::bounded_length(realm, kRealmMax);
    if (length > kRealmMax) {
        // Only the bytes already measured are shown.
        TLOG(logSpecWarn, "realm name %.*s exceeds the maximum length of %d", static_cast<int>(length), realm,
             static_cast<int>(kRealmMax));
        return 0;
    }
    tavrel::copy_text(field, length == 0 ? kNoName : std::string_view(realm, length));
    return 1;
}

}  // namespace

uint32_t sm_get_current_Krb_Auth_Service_Used(void) { return krb_current_settings.krb_auth_service_used; }

int sm_set_current_Krb_Auth_Service_Used(uint32_t service) {
    if (service > kHighestService) return 0;
    krb_current_settings.krb_auth_service_used = service;
    return 1;
}

const char *sm_get_new_realm_name(void) { return krb_current_settings.new_realm_name.data(); }

int sm_set_new_realm_name(const char *realm) { return set_realm(krb_current_settings.new_realm_name, realm, __func__); }

const char *sm_get_current_krb_server(void) {
    const ServerField &field = krb_current_settings.current_krb_server;
    if (field[0] == '\0') {
        TLOG(logSpecLibInfo, "The current krb_server in configuration is NULL");
        return nullptr;
    }
    return field.data();
}

int sm_set_current_krb_server(const char *server) {
    ServerField &field = krb_current_settings.current_krb_server;
    const std::size_t length = tavrel::bounded_length(server, kServerMax);
    if (length == 0) {
        TLOG(logSpecLibInfo, "Null krb_server passed into SMB data.");
        tavrel::clear_text(field);
        return 1;
    }
    if (length > kServerMax) {
        TLOG(logSpecWarn, "krb_server %.*s exceeds the maximum length of %d", static_cast<int>(length), server,
             static_cast<int>(kServerMax));
        return 0;
    }
    tavrel::copy_text(field, std::string_view(server, length));
    return 1;
}

int sm_compare_current_krb_server(const char *server) {
    return same_as_field(krb_current_settings.current_krb_server, server);
}

const char *sm_get_current_realm_name(void) {
    const RealmField &field = krb_current_settings.current_realm_name;
    if (field[0] == '\0') {
        TLOG(logSpecLibInfo, "The current realm name in configuration is NULL");
        return nullptr;
    }
    return field.data();
}

int sm_set_current_realm_name(const char *realm) {
    return set_realm(krb_current_settings.current_realm_name, realm, __func__);
}

int sm_compare_current_realm_name(const char *realm) {
    return same_as_field(krb_current_settings.current_realm_name, realm);
}

const char *sm_get_current_krb_internet_address(void) {
    const AddressField &field = krb_current_settings.current_krb_internet_address;
    const std::string_view stored(field.data());
    if (stored.empty() || starts_as_no_address(stored)) {
        TLOG(logSpecLibInfo, "Null IP address in Kerberos data.");
        return TAVREL_NO_ADDRESS;
    }
    return field.data();
}

int sm_set_current_krb_internet_address(const char *address) {
    AddressField &field = krb_current_settings.current_krb_internet_address;
    if (address == nullptr) {
        TLOG(logSpecWarn, "%s - null IP address refused", __func__);
        return 0;
    }
    const std::size_t length = tavrel::bounded_length(address, kAddressMax);
    if (length > kAddressMax) {
        TLOG(logSpecWarn, "IP address for Kerberos data is too long");
        return 0;
    }
    const std::string_view text(address, length);
    if (text.empty() || starts_as_no_address(text)) {
        TLOG(logSpecLibInfo, "Null IP address passed into Kerberos data.");
        tavrel::copy_text(field, kNoAddress);
        return 1;
    }
    tavrel::copy_text(field, text);
    return 1;
}

int sm_compare_current_krb_internet_address(const char *address) {
    return same_as_field(krb_current_settings.current_krb_internet_address, address);
}
