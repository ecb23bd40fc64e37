// The tool's commands. Each family of commands lives in a file of its own
// (cmd_core.cpp, cmd_state.cpp, cmd_smb.cpp, ...) and lists its commands in a
// table; main.cpp knows only the list of families.
#pragma once

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

// A usage error inside a command: message on standard error, exit 2.
int usage_error(const std::string &message);

// Finds a registered command by name (null when none), for `all`.
const Command *find_command(std::string_view name);

// Families; main.cpp lists them.
std::span<const Command> core_commands();   // init, event, read, all
}  // namespace tool
