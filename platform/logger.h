/* Platform logger: one entry point and eight level handles. The library
 * passes the current value of a handle, so the platform may renumber levels
 * at run time. */
#ifndef TAVREL_PLATFORM_LOGGER_H
#define TAVREL_PLATFORM_LOGGER_H

#include "platform_api.h"

PLATFORM_BEGIN_DECLS

extern PLATFORM_API int logSpecLibEnter;
extern PLATFORM_API int logSpecLibReturn;
extern PLATFORM_API int logSpecLibInfo;
extern PLATFORM_API int logSpecInfo;
extern PLATFORM_API int logSpecForceInfo;
extern PLATFORM_API int logSpecWarn;
extern PLATFORM_API int logSpecError;
extern PLATFORM_API int logSpecDebug;

/* source: the bare name of the calling source file; line: its source line. */
PLATFORM_API int Log_SpecEntry(int level, const char *source, int line, const char *format, ...)
    __attribute__((format(printf, 4, 5)));

PLATFORM_END_DECLS

#endif
