/* Visibility of the platform services. The host platform builds them into a
 * shared library and exports them; the device links its own. */
#ifndef TAVREL_PLATFORM_API_H
#define TAVREL_PLATFORM_API_H

#define PLATFORM_API __attribute__((visibility("default")))

#ifdef __cplusplus
#define PLATFORM_BEGIN_DECLS extern "C" {
#define PLATFORM_END_DECLS }
#else
#define PLATFORM_BEGIN_DECLS
#define PLATFORM_END_DECLS
#endif

#endif
