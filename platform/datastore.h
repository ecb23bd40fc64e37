/* Data store and notification service used at start-up. */
#ifndef TAVREL_PLATFORM_DATASTORE_H
#define TAVREL_PLATFORM_DATASTORE_H

#include <stdint.h>

#include "platform_api.h"

PLATFORM_BEGIN_DECLS

/* Attaches to the data store named by dstore (may be null); non-zero handle on success. */
PLATFORM_API uint32_t ds_attach(const char *dstore, int flags);
/* Opens a notification handle on a data-store handle; non-zero on success. */
PLATFORM_API uint32_t sc_notify_init(uint32_t ds_handle);

PLATFORM_END_DECLS

#endif
