/* The SMB client configuration for domain sign-in (/etc/smb.conf.auth), and
 * the interfaces entry it shares with the filing configuration. */
#ifndef TAVREL_SAMBA_CONFIG_H
#define TAVREL_SAMBA_CONFIG_H

#include <stdio.h>

#include "tavrel/export.h"

TAVREL_BEGIN_DECLS

/* Writes "\n\tinterfaces = ADDRESS/PREFIX" from the device's own address and
 * mask: 1 when the whole entry was written; 0 otherwise (after a mask failure
 * the address alone has been written). */
TAVREL_API int setup_default_interface(FILE *stream);

/* Writes /etc/smb.conf.auth for the new or a configured domain and records the
 * domain written as current: 1 with a password server, 0 otherwise. */
TAVREL_API int build_smb_conf_for_authentication(void);

TAVREL_END_DECLS

#endif
