/* Config server: device-wide settings by dotted key. */
#ifndef TAVREL_PLATFORM_CONFIG_SERVER_H
#define TAVREL_PLATFORM_CONFIG_SERVER_H

#include "platform_api.h"

PLATFORM_BEGIN_DECLS

/* 0 when the key was read and *value set (1 or 0); non-zero otherwise, *value untouched. */
PLATFORM_API int Cfg_GetBoolAttrValue(const char *key, int *value);
/* 0 when the key was read into buffer as NUL-terminated text of at most size
 * bytes; non-zero otherwise (absent key, or too long for the buffer). */
PLATFORM_API int Cfg_GetAttrValue(const char *key, char *buffer, int size);

PLATFORM_END_DECLS

#endif
