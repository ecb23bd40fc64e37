/* Network configuration: the device's own interface settings. */
#ifndef TAVREL_PLATFORM_NETCFG_H
#define TAVREL_PLATFORM_NETCFG_H

#include <stdint.h>

#include "platform_api.h"

PLATFORM_BEGIN_DECLS

#define CN_PM_GROUP_INTERFACE 0x20000u
#define CN_PM_INDEX_ADDRESS 1u
#define CN_PM_INDEX_NETMASK 2u

/* The record the caller supplies: 272 bytes, the value as text from byte 4. */
typedef struct CnPmCfg {
    uint32_t reserved;
    char text[268];
} CnPmCfg;

/* Non-zero when the value could be had; 0 otherwise. */
PLATFORM_API int cn_get_pm_cfg_by_index(uint32_t group, uint32_t index, void *record);

PLATFORM_END_DECLS

#endif
