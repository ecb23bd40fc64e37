/* Every platform service the library calls. */
#ifndef TAVREL_PLATFORM_H
#define TAVREL_PLATFORM_H

#include "config_server.h"
#include "datastore.h"
#include "fips.h"
#include "ip_utils.h"
#include "logger.h"
#include "netcfg.h"
#include "svcmon.h"

#endif
