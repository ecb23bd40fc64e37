/* /usr/heimdal/etc/krb5.conf for smart-card (PKINIT) log-in. */
#ifndef TAVREL_KERBEROS_CAC_CONFIG_H
#define TAVREL_KERBEROS_CAC_CONFIG_H

#include "tavrel/export.h"

TAVREL_BEGIN_DECLS

/* kdc serves as KDC and admin server at port; win2k non-zero selects the
 * Windows 2000 PKINIT variant. realm is upper-cased in place. 1 when the file
 * was written, 0 when an argument was refused or the file could not be. */
TAVREL_API int cf_build_krb_conf_file_for_CAC(char *realm, const char *kdc, int port, int win2k);

TAVREL_END_DECLS

#endif
