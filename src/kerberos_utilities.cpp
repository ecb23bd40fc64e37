// The Kerberos services 1 to 9 and the attribute ids of their settings, and
// the lookups over them.
#include "tavrel/kerberos_utilities.h"

#include <strings.h>

#include <array>
#include <cstdint>

#include "ip_utils.h"
#include "log.h"
#include "tavrel/general_utilities.h"

namespace {

constexpr char kLogSource[] = "kerberos_utilities";

struct KrbAuthService {
    int32_t service_id;
    int32_t realm;
    int32_t ip_address;
    int32_t hostname;
    int32_t backup_ip_address;
    int32_t backup_hostname;
};

// Service n owns the run of attribute ids from 32 + 5 * (n - 1): IP address,
// backup IP address, hostname, backup hostname, realm.
constexpr std::array<KrbAuthService, 9> krb_auth_services = {{
    {1, 36, 32, 34, 33, 35},
    {2, 41, 37, 39, 38, 40},
    {3, 46, 42, 44, 43, 45},
    {4, 51, 47, 49, 48, 50},
    {5, 56, 52, 54, 53, 55},
    {6, 61, 57, 59, 58, 60},
    {7, 66, 62, 64, 63, 65},
    {8, 71, 67, 69, 68, 70},
    {9, 76, 72, 74, 73, 75},
}};

// The column of the service's row; service 1's when no row holds the ID, and
// then the warning, if the column has one.
int attribute_of(int service, int32_t KrbAuthService::*column, const char *default_warning) {
    if (service == krb_auth_services[0].service_id) return krb_auth_services[0].*column;
    for (std::size_t row = 1; row < krb_auth_services.size(); ++row)
        if (krb_auth_services[row].service_id == service) return krb_auth_services[row].*column;
    if (default_warning) TLOG(logSpecWarn, "%s", default_warning);
    return krb_auth_services[0].*column;
}

}  // namespace

extern "C" {

int sm_get_krb_auth_realm_from_service(int service) {
    return attribute_of(service, &KrbAuthService::realm, nullptr);
}

int sm_get_krb_auth_ip_address_from_service(int service) {
    return attribute_of(service, &KrbAuthService::ip_address, nullptr);
}

int sm_get_krb_auth_backup_ip_address_from_service(int service) {
    return attribute_of(service, &KrbAuthService::backup_ip_address, nullptr);
}

int sm_get_krb_auth_hostname_from_service(int service) {
    return attribute_of(service, &KrbAuthService::hostname, "RETURNING DEFAULT HOSTNAME, since one was NOT FOUND!");
}

int sm_get_krb_auth_backup_hostname_from_service(int service) {
    return attribute_of(service, &KrbAuthService::backup_hostname,
                        "RETURNING DEFAULT BACKUP HOSTNAME, since one was NOT FOUND!");
}

int sm_get_krb_auth_service_from_realm_name(const char *realm) {
    if (!realm || ipu_check_realm(realm) == 0) {
        TLOG(logSpecForceInfo, "A bad realm [%s] was used to determine which Kerberos service to use",
             realm ? realm : "(null)");
        return 0;
    }
    for (std::size_t row = 0; row < krb_auth_services.size(); ++row) {
        char stored[TAVREL_REALM_SIZE] = {};
        if (get_realm_from_dstore(stored, krb_auth_services[row].realm) == 0) {
            TLOG(logSpecWarn, "Could not retrieve realm [%d] from datastore for KRB", static_cast<int>(row));
            continue;
        }
        if (strcasecmp(realm, stored) == 0) return krb_auth_services[row].service_id;
    }
    return 0;
}

}  // extern "C"
