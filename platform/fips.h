#ifndef TAVREL_PLATFORM_FIPS_H
#define TAVREL_PLATFORM_FIPS_H

#include "platform_api.h"

PLATFORM_BEGIN_DECLS

/* The device's FIPS status: 0 when not in FIPS mode. */
PLATFORM_API int getFIPSstatus(void);

PLATFORM_END_DECLS

#endif
