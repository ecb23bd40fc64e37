// Control of the host platform: what the tool and the tests use to set up the
// device services that the library calls, and to observe what it did with
// them. Not part of the device platform.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace host {

// ---- Logger ---------------------------------------------------------------

enum class Level { LibEnter, LibReturn, LibInfo, Info, ForceInfo, Warn, Error, Debug };

// "LIBENTER", "LIBRETURN", "LIBINFO", "INFO", "FORCEINFO", "WARN", "ERROR", "DEBUG".
const char *level_name(Level level);

struct LogRecord {
    Level level;
    std::string source;
    int line;
    std::string message;
};

// Which records reach standard error: verbose shows all, otherwise only
// FORCEINFO, WARN and ERROR. Quiet shows none.
enum class Echo { Quiet, Normal, Verbose };
void log_set_echo(Echo echo);

// Whether every record is kept for log_records(), whatever the echo; off
// until turned on (the tests' fixture does). A record neither shown nor
// captured is not formatted at all. Like the echo, it survives reset().
void log_set_capture(bool capture);

// Every record captured since the last clear, in order.
const std::vector<LogRecord> &log_records();
void log_clear();

// ---- Service monitor -------------------------------------------------------

// A raw record as the service monitor will hand it out. For types 0 and 2 the
// text is the value; for types 1 and 3 (and any other) the integer is.
struct RawAttr {
    int32_t type = 0;
    std::string text;
    int32_t integer = 0;
    uint32_t port = 0;
    std::optional<int32_t> echo_id;  // the id the record reports; default: its own
};

void svcmon_set(int32_t attr_id, RawAttr attr);
void svcmon_set_text(int32_t attr_id, const std::string &text);
void svcmon_set_integer(int32_t attr_id, int32_t value);
void svcmon_set_address(int32_t attr_id, const std::string &address, uint32_t port);
void svcmon_set_error(int32_t attr_id, int32_t code);
void svcmon_unset(int32_t attr_id);  // SvcMon_GetAttr then answers null
void svcmon_clear();                 // every attribute unset

// Result SvcMon_Init gives for a class (0 unless a test chose otherwise).
void svcmon_set_init_result(int svc_class, int result);
// Every SvcMon_Init call, in order, with the result it got; only those with
// result 0 receive change reports.
struct Registration {
    int svc_class;
    void (*callback)(uint32_t);
    uint32_t handle;
    int result = 0;
};
const std::vector<Registration> &svcmon_registrations();
// Reports a change of the attribute to every registered callback.
void svcmon_notify_change(uint32_t attr_id);

// Records handed out by SvcMon_GetAttr, returned by SvcMon_Free, and returns
// of records that were not outstanding (double, foreign or null frees).
struct RecordCounts {
    std::size_t handed_out = 0;
    std::size_t freed = 0;
    std::size_t bad_frees = 0;
    std::size_t outstanding() const { return handed_out - freed; }
};
RecordCounts svcmon_counts();
std::vector<int32_t> svcmon_requests();  // ids asked for, in order, since the last reset (the first 4,096)

// ---- Data store and notification -----------------------------------------------

void ds_set_fail(bool fail);      // ds_attach answers 0
void notify_set_fail(bool fail);  // sc_notify_init answers 0
struct DsCall {
    std::optional<std::string> dstore;  // null pointer when absent
    int flags;
};
const std::vector<DsCall> &ds_calls();
const std::vector<uint32_t> &notify_calls();  // the data-store handles passed

// ---- Config server -----------------------------------------------------------

// Booleans are stored as such; a text key read as a boolean cannot be read,
// an integer reads as itself. Read as text, a boolean is "true" or "false"
// and an integer its decimal form; a text that does not fit the caller's
// buffer with its NUL cannot be read.
void config_set_bool(const std::string &key, bool value);
void config_set_int(const std::string &key, int64_t value);
void config_set_text(const std::string &key, const std::string &value);
void config_unset(const std::string &key);
void config_clear();

// ---- Network configuration, FIPS status, name resolution ------------------------

// Address and mask of the device's interface. nullopt: that value cannot be
// had (the call answers 0). Without any setting, this machine's first
// non-loopback IPv4 interface answers.
void network_set(std::optional<std::string> address, std::optional<std::string> netmask);
void network_use_machine();

void fips_set(std::optional<int> status);  // nullopt: /proc/sys/crypto/fips_enabled, or 0

// When set, only these names resolve, to these addresses; nullopt: the
// machine's resolver (getaddrinfo).
void hosts_set(std::optional<std::map<std::string, std::string>> hosts);

// ipu_put_brackets_around_ipv6_address answers null (as when out of memory).
void brackets_set_fail(bool fail);

// ---- Everything ----------------------------------------------------------------

// Back to the empty platform: no attributes, no keys, machine network,
// fips and resolver, no failures chosen, counters and log cleared. The echo
// and capture settings stay.
void reset();

}  // namespace host
