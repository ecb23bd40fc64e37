// The tool's commands. Each family of commands lives in a file of its own
// (cmd_core.cpp, cmd_state.cpp, cmd_smb.cpp, ...) and lists its commands in a
// table; main.cpp knows only the list of families.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "settings.h"

namespace tool {

// Exit statuses.
constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kUsage = 2;

struct Context {
    const host::Settings &settings;
    std::vector<std::string> args;  // the command's arguments, after its name
};

struct Command {
    std::string_view name;   // "read", "smb-auth", "krb5-cac", ...
    std::string_view usage;  // arguments, for --help ("KIND ID")
    int min_args;
    int max_args;            // -1: any number
    int (*run)(Context &ctx);
    std::string_view summary;
};

// Steps a family adds around every command. `before` runs once the settings
// are loaded (for instance, [state] through the library's setters); a
// non-zero result is the exit status and the command does not run. `after`
// runs after the command when `option` was given ("--state"). Either may be
// null; an empty option never runs `after`.
struct Hook {
    std::string_view option;
    std::string_view summary;  // for --help
    int (*before)(Context &ctx);
    void (*after)(Context &ctx);
};

// A usage error inside a command: message on standard error, exit 2.
int usage_error(const std::string &message);

// Finds a registered command by name (null when none), for `all`.
const Command *find_command(std::string_view name);

// A number argument taken as a 32-bit value: -2147483648 to 4294967295, a
// negative one as its unsigned value; nullopt for anything else.
std::optional<uint32_t> parse_number(std::string_view text);

// Families; main.cpp lists them.
std::span<const Command> core_commands();   // init, event, read, all
std::span<const Command> state_commands();  // handoff
std::span<const Command> dot1x_commands();  // wifi-open, wifi-wep, wifi-personal, dot1x
std::span<const Command> smb_commands();    // smb-auth, smb-filing, find
std::span<const Command> krb_commands();    // krb5, krb5-realm, krb5-service, krb5-record, krb5-cac, pam-cac


// Families of hooks; main.cpp lists them.
std::span<const Hook> state_hooks();  // [state], --state
}  // namespace tool
