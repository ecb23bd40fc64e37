/* IP utilities of the platform: address, name and realm checks and name resolution. */
#ifndef TAVREL_PLATFORM_IP_UTILS_H
#define TAVREL_PLATFORM_IP_UTILS_H

#include "platform_api.h"

PLATFORM_BEGIN_DECLS

/* Longest address text is_it_an_IP_address accepts, without the NUL
 * (an IPv6 text with an embedded IPv4 part). */
#define IPU_MAX_ADDRESS_TEXT 45

/* 1 when text is an IPv4 or IPv6 address. */
PLATFORM_API int is_it_an_IP_address(const char *text);
/* 1 when text is an IPv6 address. */
PLATFORM_API int ipu_is_this_an_IPv6_address(const char *text);
/* A malloc'ed copy of text in square brackets, or null; release with free. */
PLATFORM_API char *ipu_put_brackets_around_ipv6_address(const char *text);
/* Non-zero for a syntactically valid domain name / realm. */
PLATFORM_API int ipu_check_domain_name(const char *text);
PLATFORM_API int ipu_check_realm(const char *text);
/* Resolve a host name; non-zero on success with the address text (at most
 * IPU_MAX_ADDRESS_TEXT characters and a NUL) in buffer. */
PLATFORM_API int get_ip_from_hostname(const char *hostname, char *buffer);
/* As above, IPv4 answers only. */
PLATFORM_API int get_ipv4_from_DNS(const char *hostname, char *buffer);

PLATFORM_END_DECLS

#endif
