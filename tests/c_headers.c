/* Compiled as C99: the exported headers must stay usable from C. */
#include "tavrel/tavrel.h"
#include "platform.h"

int tavrel_c_headers_compile(void);
int tavrel_c_headers_compile(void) { return TAVREL_REALM_SIZE; }
