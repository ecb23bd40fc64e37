/* SMB service tables and lookups, and the NT domain reader. */
#ifndef TAVREL_SAMBA_UTILITIES_H
#define TAVREL_SAMBA_UTILITIES_H

#include <stdint.h>

#include "tavrel/export.h"

TAVREL_BEGIN_DECLS

/* NT domain of an SMB authentication service (attribute 78, 82, ... 103). */
TAVREL_API int get_nt_domain_from_dstore(char *domain, int32_t attrId);

TAVREL_END_DECLS

#endif
