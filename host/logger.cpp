// The host logger: a record is formatted only when it is shown or captured.
// Shown records go to standard error as "LEVEL SOURCE:LINE MESSAGE", filtered
// by the echo setting; captured ones are kept for tests. With capture off, a
// record the echo hides costs a level lookup and nothing else: a build logs
// many more records than it shows.
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "host_control.h"
#include "host_internal.h"
#include "logger.h"

// The handle values the library passes back; distinct and non-zero so a
// record logged with an uninitialised level is easy to spot.
int logSpecLibEnter = 1;
int logSpecLibReturn = 2;
int logSpecLibInfo = 3;
int logSpecInfo = 4;
int logSpecForceInfo = 5;
int logSpecWarn = 6;
int logSpecError = 7;
int logSpecDebug = 8;

namespace host {

namespace {

std::mutex g_mutex;  // the records and standard error's lines
std::vector<LogRecord> g_records;
// Read on every record without the lock.
std::atomic<Echo> g_echo = Echo::Normal;
std::atomic<bool> g_capture = false;

// Handles are read at call time: the platform may renumber them.
Level level_of(int value) {
    const std::pair<const int *, Level> handles[] = {
        {&logSpecLibEnter, Level::LibEnter}, {&logSpecLibReturn, Level::LibReturn},
        {&logSpecLibInfo, Level::LibInfo},   {&logSpecInfo, Level::Info},
        {&logSpecForceInfo, Level::ForceInfo}, {&logSpecWarn, Level::Warn},
        {&logSpecError, Level::Error},       {&logSpecDebug, Level::Debug},
    };
    for (const auto &[handle, level] : handles)
        if (*handle == value) return level;
    return Level::Debug;  // an unknown level is detail, never a notice
}

bool echoed(Level level) {
    switch (g_echo.load(std::memory_order_relaxed)) {
    case Echo::Quiet: return false;
    case Echo::Verbose: return true;
    case Echo::Normal: break;
    }
    return level == Level::ForceInfo || level == Level::Warn || level == Level::Error;
}

// One vsnprintf for a message that fits the stack buffer (nearly all do), a
// second only for a longer one. The attribute tells the compiler `format` is
// the caller's checked printf format.
__attribute__((format(printf, 1, 0))) std::string format_message(const char *format, va_list args) {
    if (format == nullptr) return "(null format)";
    char small[256];
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (needed < 0) return "(unformattable message)";
    const auto length = static_cast<std::size_t>(needed);
    if (length < sizeof small) return std::string(small, length);
    std::string text(length + 1, '\0');
    (void)std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(length);
    return text;
}

}  // namespace

const char *level_name(Level level) {
    switch (level) {
    case Level::LibEnter: return "LIBENTER";
    case Level::LibReturn: return "LIBRETURN";
    case Level::LibInfo: return "LIBINFO";
    case Level::Info: return "INFO";
    case Level::ForceInfo: return "FORCEINFO";
    case Level::Warn: return "WARN";
    case Level::Error: return "ERROR";
    case Level::Debug: return "DEBUG";
    }
    return "DEBUG";
}

void log_set_echo(Echo echo) { g_echo.store(echo, std::memory_order_relaxed); }

void log_set_capture(bool capture) { g_capture.store(capture, std::memory_order_relaxed); }

const std::vector<LogRecord> &log_records() { return g_records; }

void log_clear() {
    std::lock_guard lock(g_mutex);
    g_records.clear();
}

namespace detail {
void reset_logger() { log_clear(); }
}  // namespace detail

}  // namespace host

int Log_SpecEntry(int level, const char *source, int line, const char *format, ...) {
    const bool captured = host::g_capture.load(std::memory_order_relaxed);
    // A quiet logger that keeps nothing has nothing to look up either.
    if (!captured && host::g_echo.load(std::memory_order_relaxed) == host::Echo::Quiet) return 0;
    const host::Level record_level = host::level_of(level);
    const bool shown = host::echoed(record_level);
    if (!shown && !captured) return 0;
    va_list args;
    va_start(args, format);
    host::LogRecord record{record_level, source != nullptr ? source : "(null)", line,
                           host::format_message(format, args)};
    va_end(args);
    std::lock_guard lock(host::g_mutex);
    if (shown)
        (void)std::fprintf(stderr, "%s %s:%d %s\n", host::level_name(record.level), record.source.c_str(), record.line,
                           record.message.c_str());
    if (captured) host::g_records.push_back(std::move(record));
    return 0;
}
