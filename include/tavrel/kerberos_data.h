/* Remembered Kerberos settings: the realm and KDC in force, and the realm a
 * caller asked for. Getters return pointers into a process-wide record. */
#ifndef TAVREL_KERBEROS_DATA_H
#define TAVREL_KERBEROS_DATA_H

#include <stdint.h>

#include "tavrel/export.h"

TAVREL_BEGIN_DECLS

TAVREL_API uint32_t sm_get_current_Krb_Auth_Service_Used(void);
TAVREL_API int sm_set_current_Krb_Auth_Service_Used(uint32_t service);

TAVREL_API const char *sm_get_new_realm_name(void);
TAVREL_API int sm_set_new_realm_name(const char *realm);

/* Null when no server is set. */
TAVREL_API const char *sm_get_current_krb_server(void);
TAVREL_API int sm_set_current_krb_server(const char *server);
TAVREL_API int sm_compare_current_krb_server(const char *server);

/* Null when no realm is set. */
TAVREL_API const char *sm_get_current_realm_name(void);
TAVREL_API int sm_set_current_realm_name(const char *realm);
TAVREL_API int sm_compare_current_realm_name(const char *realm);

TAVREL_API const char *sm_get_current_krb_internet_address(void);
TAVREL_API int sm_set_current_krb_internet_address(const char *address);
TAVREL_API int sm_compare_current_krb_internet_address(const char *address);

TAVREL_END_DECLS

#endif
