/* Kerberos services 1 to 9: the attribute ids of each service's settings, and
 * the service configured for a realm. */
#ifndef TAVREL_KERBEROS_UTILITIES_H
#define TAVREL_KERBEROS_UTILITIES_H

#include "tavrel/export.h"

TAVREL_BEGIN_DECLS

/* Attribute id of one setting of a service; an unknown service ID yields
 * service 1's attribute id. */
TAVREL_API int sm_get_krb_auth_realm_from_service(int service);
TAVREL_API int sm_get_krb_auth_ip_address_from_service(int service);
TAVREL_API int sm_get_krb_auth_hostname_from_service(int service);
TAVREL_API int sm_get_krb_auth_backup_ip_address_from_service(int service);
TAVREL_API int sm_get_krb_auth_backup_hostname_from_service(int service);

/* The first service whose stored realm equals realm (case-blind), or 0. */
TAVREL_API int sm_get_krb_auth_service_from_realm_name(const char *realm);

TAVREL_END_DECLS

#endif
