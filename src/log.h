// Logging for library code: every record carries the file's own source name.
// Each source file defines, before using TLOG:
//     namespace { constexpr char kLogSource[] = "samba_data"; }
#pragma once

#include "logger.h"

// Format and arguments are checked by the printf attribute of Log_SpecEntry.
#define TLOG(level, ...) Log_SpecEntry((level), kLogSource, __LINE__, __VA_ARGS__)

// Tracing records: the function's own name is the format.
#define TLOG_ENTER(name) Log_SpecEntry(logSpecLibEnter, kLogSource, __LINE__, "%s", (name))
#define TLOG_RETURN(name) Log_SpecEntry(logSpecLibReturn, kLogSource, __LINE__, "%s", (name))
