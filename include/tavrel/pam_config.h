/* /etc/pam.d/pam_cac: the PAM stack for smart-card log-in. */
#ifndef TAVREL_PAM_CONFIG_H
#define TAVREL_PAM_CONFIG_H

#include "tavrel/export.h"

TAVREL_BEGIN_DECLS

/* The OCSP rule, its proxy and responder come from the config server.
 * 1 when the file was written, 0 when it could not be. */
TAVREL_API int cf_build_pam_conf_file_for_CAC(void);

TAVREL_END_DECLS

#endif
