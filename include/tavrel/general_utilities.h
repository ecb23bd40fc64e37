/* Text and output helpers, service attribute readers, and the hand-off of a
 * user's domain or realm. Results: 1 success, 0 failure. */
#ifndef TAVREL_GENERAL_UTILITIES_H
#define TAVREL_GENERAL_UTILITIES_H

#include <stdint.h>
#include <stdio.h>

#include "tavrel/export.h"

TAVREL_BEGIN_DECLS

/* Output capacities of the readers, NUL included. */
#define TAVREL_REALM_SIZE 256
#define TAVREL_PORT_TEXT_SIZE 6
#define TAVREL_SHARENAME_SIZE 128
#define TAVREL_DNS_NAME_SIZE 256
#define TAVREL_IP_ADDRESS_SIZE 46     /* longest address text accepted, and its NUL */
#define TAVREL_IP_ADDRESS_PORT_SIZE 54
#define TAVREL_NT_DOMAIN_SIZE 256

/* Replaces every `from` in text by `to`; a null text is ignored. */
TAVREL_API void string_replace(char *text, char from, char to);
/* Writes ":port" for ports 1 to 65534; nothing otherwise or for a null stream. */
TAVREL_API void write_out_port_value(FILE *stream, uint32_t port);
/* Upper-cases text in place; null and empty are left alone. */
TAVREL_API void upcase(char *text);
/* Deprecated: log that they should not be used. */
TAVREL_API void set_config_update_needed(void);
TAVREL_API int config_update_needed(void);

TAVREL_API int get_realm_from_dstore(char *realm, int32_t attrId);
TAVREL_API int get_filingProtocol_from_dstore(int32_t *protocol, int32_t attrId);
TAVREL_API int get_port_from_dstore(char *port, int32_t attrId);
TAVREL_API int get_sharename_from_dstore(char *sharename, int32_t attrId);
TAVREL_API int get_dns_name_from_dstore(char *dns_name, int32_t attrId);
TAVREL_API int get_just_the_ip_address_from_dstore(char *address, int32_t attrId);
TAVREL_API int get_ip_address_from_dstore(char *address, int32_t attrId);

/* Reads the user's request from a seekable descriptor and records a differing
 * domain or realm as the new one. */
TAVREL_API int handle_smb_info_from_caller(int fd);
TAVREL_API int handle_kerberos_info_from_caller(int fd);

TAVREL_END_DECLS

#endif
