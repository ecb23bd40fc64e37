/* Start-up and service-monitor event dispatch. */
#ifndef TAVREL_TAVREL_INIT_H
#define TAVREL_TAVREL_INIT_H

#include <stdint.h>

#include "tavrel/export.h"

TAVREL_BEGIN_DECLS

/* The notification handle opened at start-up; zero before. */
extern TAVREL_API uint32_t eventHandle;

/* 0 on success, -1 on failure. */
TAVREL_API int tavrel_init(void);
/* Called by the service monitor with the id of a changed attribute. */
TAVREL_API void tavrel_event_callback(uint32_t attributeId);

TAVREL_END_DECLS

#endif
