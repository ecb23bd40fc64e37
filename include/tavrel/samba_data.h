/* Remembered SMB settings: the domain and server in force, and the domain a
 * caller asked for. Getters return pointers into a process-wide record. */
#ifndef TAVREL_SAMBA_DATA_H
#define TAVREL_SAMBA_DATA_H

#include <stdint.h>

#include "tavrel/export.h"

TAVREL_BEGIN_DECLS

/* The no-name marker: a single line feed. */
#define TAVREL_NO_NAME "\n"
/* The no-address text. */
#define TAVREL_NO_ADDRESS "0.0.0.0"

TAVREL_API uint32_t sm_get_current_Auth_Service_Used(void);
TAVREL_API int sm_set_current_Auth_Service_Used(uint32_t service);

TAVREL_API const char *sm_get_new_domain_name(void);
TAVREL_API int sm_set_new_domain_name(const char *domain);

TAVREL_API const char *sm_get_current_hostname(void);
TAVREL_API int sm_set_current_hostname(const char *hostname);
TAVREL_API int sm_compare_current_hostname(const char *hostname);

TAVREL_API const char *sm_get_current_domain_name(void);
TAVREL_API int sm_set_current_domain_name(const char *domain);
TAVREL_API int sm_compare_current_domain_name(const char *domain);

TAVREL_API const char *sm_get_current_internet_address(void);
TAVREL_API int sm_set_current_internet_address(const char *address);
TAVREL_API int sm_compare_current_internet_address(const char *address);

TAVREL_END_DECLS

#endif
