/* Service monitor: every setting of every configured service as a numbered
 * attribute, and change events for them. */
#ifndef TAVREL_PLATFORM_SVCMON_H
#define TAVREL_PLATFORM_SVCMON_H

#include <stdint.h>

#include "platform_api.h"

PLATFORM_BEGIN_DECLS

enum {
    SVCMON_TYPE_TEXT = 0,     /* value.text */
    SVCMON_TYPE_INTEGER = 1,  /* value.integer */
    SVCMON_TYPE_ADDRESS = 2,  /* value.text is the address, port the port */
    SVCMON_TYPE_ERROR = 3     /* value.integer is the service monitor's code */
};

/* One attribute, owned by the service monitor until SvcMon_Free. */
typedef struct SvcMonAttr {
    int32_t attr_id; /* echoes the id asked for */
    int32_t type;    /* SVCMON_TYPE_* */
    union {
        const char *text;
        int32_t integer;
    } value;
    uint32_t port;   /* type 2 only */
} SvcMonAttr;

/* Called with the id of the changed attribute. */
typedef void (*SvcMonCallback)(uint32_t attr_id);

/* Registers the callback for one service class; 0 on success. */
PLATFORM_API int SvcMon_Init(int svc_class, SvcMonCallback callback, uint32_t handle);
/* A fresh record for the attribute, or null. */
PLATFORM_API SvcMonAttr *SvcMon_GetAttr(int32_t attr_id);
PLATFORM_API int SvcMon_Free(SvcMonAttr *record);

PLATFORM_END_DECLS

#endif
