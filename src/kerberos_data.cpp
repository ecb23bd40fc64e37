// The Kerberos settings remembered for the life of the process: the realm and
// KDC in force, and the realm a caller asked for. The record is zeroed at
// load, so nothing needs initialising.
#include "kerberos_data.h"

#include <array>
#include <cstddef>
#include <cstdint>

#include "log.h"
#include "remembered_field.h"

namespace {

constexpr char kLogSource[] = "kerberos_data";

constexpr std::size_t kRealmMax = 256;
constexpr std::size_t kServerMax = 255;
constexpr std::size_t kAddressMax = 54;  // a bracketed IPv6 address with a port fits
constexpr uint32_t kHighestService = 3;

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

namespace field = tavrel::remembered;

int set_realm(RealmField &name, const char *realm, const char *setter) {
    return field::set_name(name, realm, kLogSource, setter, "realm name", static_cast<int>(kRealmMax));
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
    const ServerField &server = krb_current_settings.current_krb_server;
    if (server[0] != '\0') return server.data();
    TLOG(logSpecLibInfo, "The current krb_server in configuration is NULL");
    return nullptr;
}

int sm_set_current_krb_server(const char *server) {
    return field::set_host(krb_current_settings.current_krb_server, server, kLogSource,
                           "Null krb_server passed into SMB data.", "krb_server");
}

int sm_compare_current_krb_server(const char *server) {
    return field::same_as(krb_current_settings.current_krb_server, server);
}

const char *sm_get_current_realm_name(void) {
    const RealmField &realm = krb_current_settings.current_realm_name;
    if (realm[0] != '\0') return realm.data();
    TLOG(logSpecLibInfo, "The current realm name in configuration is NULL");
    return nullptr;
}

int sm_set_current_realm_name(const char *realm) {
    return set_realm(krb_current_settings.current_realm_name, realm, __func__);
}

int sm_compare_current_realm_name(const char *realm) {
    return field::same_as(krb_current_settings.current_realm_name, realm);
}

const char *sm_get_current_krb_internet_address(void) {
    return field::address_or_none(krb_current_settings.current_krb_internet_address, kLogSource,
                                  "Null IP address in Kerberos data.");
}

int sm_set_current_krb_internet_address(const char *address) {
    return field::set_address(krb_current_settings.current_krb_internet_address, address, kLogSource, __func__,
                              "IP address for Kerberos data is too long",
                              "Null IP address passed into Kerberos data.");
}

int sm_compare_current_krb_internet_address(const char *address) {
    return field::same_as(krb_current_settings.current_krb_internet_address, address);
}
