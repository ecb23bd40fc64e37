// The tavrel tool: options, the settings snapshot, and dispatch to the
// command families.
#include <sys/stat.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <set>

#include "command.h"
#include "dry_run.h"
#include "settings.h"

namespace tool {

namespace {

constexpr std::string_view kVersion = "1.0.0";

using CommandFamily = std::span<const Command> (*)();
// Every family of commands, in the order --help lists them.
constexpr CommandFamily kCommandFamilies[] = {
    core_commands,
    state_commands,
    dot1x_commands,
    smb_commands,
    krb_commands,
};

using HookFamily = std::span<const Hook> (*)();
// Every family of hooks.
const std::vector<HookFamily> &hook_families() {
    static const std::vector<HookFamily> families = {
        state_hooks,
    };
    return families;
}

// The directories the library writes into, made under a -r root.
constexpr const char *kOutputDirs[] = {"/etc", "/etc/pam.d", "/etc/wpa_supplicant/eth0",
                                       "/etc/wpa_supplicant/wlan0", "/usr/heimdal/etc"};

struct Options {
    std::optional<std::string> settings_file;
    std::optional<std::string> root;
    bool verbose = false;
    bool dry_run = false;
    std::set<std::string, std::less<>> hook_options;
    const Command *command = nullptr;
    std::vector<std::string> args;
};

std::vector<const Hook *> all_hooks() {
    std::vector<const Hook *> hooks;
    for (const HookFamily family : hook_families())
        for (const Hook &hook : family()) hooks.push_back(&hook);
    return hooks;
}

const Hook *find_hook_option(std::string_view option) {
    for (const Hook *hook : all_hooks())
        if (!hook->option.empty() && hook->option == option) return hook;
    return nullptr;
}

std::string synopsis() {
    std::string text = "tavrel [-s FILE] [-r DIR] [-v]";
    for (const Hook *hook : all_hooks())
        if (!hook->option.empty()) text += " [" + std::string(hook->option) + "]";
    return text + " [--dry-run] COMMAND [ARG...]";
}

void print_row(std::string_view left, std::string_view right) {
    constexpr std::size_t kColumn = 34;
    std::string line = "  " + std::string(left);
    line += line.size() < kColumn ? std::string(kColumn - line.size(), ' ') : "  ";
    std::cout << line << right << '\n';
}

void print_help() {
    std::cout << "usage: " << synopsis() << "\n\n"
              << "Loads a device settings snapshot into the host platform, calls one function\n"
              << "of the tavrel library and reports what happened.\n\n"
              << "Options:\n";
    print_row("-s, --settings FILE", "the settings snapshot (TOML)");
    print_row("-r, --root DIR", "write every file under DIR instead of /");
    print_row("-v, --verbose", "show every log record (else FORCEINFO, WARN, ERROR)");
    for (const Hook *hook : all_hooks())
        if (!hook->option.empty()) print_row(hook->option, hook->summary);
    print_row("--dry-run", "print what the command would change, as a diff; write nothing");
    print_row("-h, --help", "show this help");
    print_row("--version", "show the version");
    std::cout << "\nCommands:\n";
    for (const CommandFamily family : kCommandFamilies)
        for (const Command &command : family()) {
            // Appended piece by piece: `" " + std::string(...)` here trips a
            // false -Wrestrict in GCC 12's inlined libstdc++ at -O2 and above.
            std::string left(command.name);
            if (!command.usage.empty()) left.append(" ").append(command.usage);
            print_row(left, command.summary);
        }
    std::cout << "\nExit status: 0 success, 1 failure, 2 usage error or unusable settings.\n";
}

std::string command_usage(const Command &command) {
    std::string text = "usage: tavrel " + std::string(command.name);
    if (!command.usage.empty()) text += " " + std::string(command.usage);
    return text;
}

// Parses the options; a result is an exit status to leave with at once.
std::optional<int> parse_options(int argc, char **argv, Options &options) {
    int i = 1;
    const auto next_value = [&]() -> std::optional<std::string> {
        if (i + 1 >= argc) return std::nullopt;
        return std::string(argv[++i]);
    };
    for (; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") {
            ++i;
            break;
        }
        if (arg.size() < 2 || arg[0] != '-') break;
        std::optional<std::string> *target = nullptr;
        std::string_view name = arg;
        std::optional<std::string> inline_value;
        if (const std::size_t eq = arg.find('='); arg.starts_with("--") && eq != std::string_view::npos) {
            name = arg.substr(0, eq);
            inline_value = std::string(arg.substr(eq + 1));
        }
        if (name == "-s" || name == "--settings") target = &options.settings_file;
        if (name == "-r" || name == "--root") target = &options.root;
        if (target != nullptr) {
            *target = inline_value ? inline_value : next_value();
            if (!*target || (*target)->empty()) return usage_error(std::string(name) + " needs a value");
            continue;
        }
        if (inline_value) return usage_error("option " + std::string(name) + " takes no value");
        if (arg == "-v" || arg == "--verbose") {
            options.verbose = true;
        } else if (arg == "--dry-run") {
            options.dry_run = true;
        } else if (arg == "-h" || arg == "--help") {
            print_help();
            return kSuccess;
        } else if (arg == "--version") {
            std::cout << "tavrel " << kVersion << '\n';
            return kSuccess;
        } else if (find_hook_option(arg) != nullptr) {
            options.hook_options.insert(std::string(arg));
        } else {
            return usage_error("unknown option " + std::string(arg) + " (see tavrel --help)");
        }
    }
    if (i >= argc) return usage_error("no command given (see tavrel --help)");
    options.command = find_command(argv[i]);
    if (options.command == nullptr)
        return usage_error("unknown command '" + std::string(argv[i]) + "' (see tavrel --help)");
    options.args.assign(argv + i + 1, argv + argc);
    const int count = static_cast<int>(options.args.size());
    const Command &command = *options.command;
    if (count < command.min_args || (command.max_args >= 0 && count > command.max_args))
        return usage_error(command_usage(command));
    return std::nullopt;
}

// Absolute, so the files land in the same place whatever the library's
// working directory; nullopt after a message when that cannot be had.
std::optional<std::string> absolute_root(const std::string &given) {
    std::error_code error;
    std::string root = std::filesystem::absolute(given, error).lexically_normal().string();
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    if (error) {
        std::cerr << "tavrel: cannot use " << given << ": " << error.message() << '\n';
        return std::nullopt;
    }
    return root;
}

// Points the library at the root and makes the directories it writes into.
bool prepare_root(const std::string &given) {
    const std::optional<std::string> absolute = absolute_root(given);
    if (!absolute) return false;
    const std::string &root = *absolute;
    if (setenv("TAVREL_ROOT", root.c_str(), 1) != 0) {
        std::cerr << "tavrel: cannot set TAVREL_ROOT: " << std::strerror(errno) << '\n';
        return false;
    }
    for (const char *dir : kOutputDirs) {
        std::error_code error;
        const std::string path = root + dir;
        std::filesystem::create_directories(path, error);
        if (error) {
            std::cerr << "tavrel: cannot create " << path << ": " << error.message() << '\n';
            return false;
        }
    }
    return true;
}

int run(int argc, char **argv) {
    Options options;
    if (const auto status = parse_options(argc, argv, options)) return *status;

    host::Settings settings;
    try {
        if (options.settings_file) settings = host::load_settings_file(*options.settings_file);
    } catch (const host::SettingsError &error) {
        std::cerr << "tavrel: " << error.what() << '\n';
        return kUsage;
    }
    host::apply_settings(settings);
    host::log_set_echo(options.verbose ? host::Echo::Verbose : host::Echo::Normal);
    // A dry run writes under a scratch root instead: the one -r names, or
    // else the library's own (TAVREL_ROOT, else /), stays untouched.
    DryRun dry_run;
    if (options.dry_run) {
        const char *env_root = std::getenv("TAVREL_ROOT");
        const std::optional<std::string> root =
            absolute_root(options.root ? *options.root : env_root && *env_root ? env_root : "/");
        if (!root || !dry_run.start(*root) || !prepare_root(dry_run.scratch())) return kFailure;
    } else if (options.root && !prepare_root(*options.root)) {
        return kFailure;
    }

    Context context{settings, options.args};
    const std::vector<const Hook *> hooks = all_hooks();
    for (const Hook *hook : hooks)
        if (hook->before != nullptr)
            if (const int status = hook->before(context); status != kSuccess) return status;
    int status = options.command->run(context);
    std::cout.flush();
    if (options.dry_run && !dry_run.report() && status == kSuccess) status = kFailure;
    for (const Hook *hook : hooks)
        if (hook->after != nullptr && options.hook_options.count(hook->option) != 0) hook->after(context);
    return status;
}

}  // namespace

int usage_error(const std::string &message) {
    std::cerr << "tavrel: " << message << '\n';
    return kUsage;
}

const Command *find_command(std::string_view name) {
    for (const CommandFamily family : kCommandFamilies)
        for (const Command &command : family())
            if (command.name == name) return &command;
    return nullptr;
}

std::optional<uint32_t> parse_number(std::string_view text) {
    int64_t value = 0;
    const char *end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end || text.empty()) return std::nullopt;
    if (value < INT32_MIN || value > static_cast<int64_t>(UINT32_MAX)) return std::nullopt;
    return static_cast<uint32_t>(value);
}

}  // namespace tool

int main(int argc, char **argv) {
    const int status = tool::run(argc, argv);
    std::cout.flush();
    return status;
}
