/* SMB authentication services 1 to 9 and filing services 1 to 6: the
 * attribute ids of each service's settings, the service configured for a
 * domain, server or share, and the NT domain reader. */
#ifndef TAVREL_SAMBA_UTILITIES_H
#define TAVREL_SAMBA_UTILITIES_H

#include <stdint.h>

#include "tavrel/export.h"

TAVREL_BEGIN_DECLS

/* The filing protocol value of a service that files over SMB. */
#define TAVREL_FILING_PROTOCOL_SMB 4

/* NT domain of an SMB authentication service (attribute 78, 82, ... 103). */
TAVREL_API int get_nt_domain_from_dstore(char *domain, int32_t attrId);

/* Attribute id of one setting of a service; an unknown service ID yields
 * service 1's attribute id. */
TAVREL_API int sm_get_smb_auth_domain_from_service(int service);
TAVREL_API int sm_get_smb_auth_IP_from_service(int service);
TAVREL_API int sm_get_smb_auth_hostname_from_service(int service);
TAVREL_API int sm_get_smb_filing_servername_from_service(int service);
TAVREL_API int sm_get_smb_protocol_from_service(int service);
TAVREL_API int sm_get_smb_sharename_from_service(int service);

/* 1 with the filing service's port stored through port; 0 for an unknown
 * service or an unreadable port (port untouched). */
TAVREL_API int get_port_number_for_filing_service(int service, int *port);
/* 1 when the filing service's protocol is SMB. */
TAVREL_API int is_this_service_for_SMB(int service);

/* Searches by name, case-blind: the service ID found, or 0. A null, empty or
 * no-name ("\n") name finds nothing. */
TAVREL_API int get_filing_service_index_from_server_name(const char *server);
/* With a null share: the last service whose server matches. */
TAVREL_API int get_filing_service_index_from_servername_and_sharename(const char *server, const char *share);
TAVREL_API int sm_get_smb_auth_service_from_domain_name(const char *domain);

TAVREL_END_DECLS

#endif
