// The remembered SMB and Kerberos settings: [state] put in force through the
// library's setters before every command, --state printed after it, and the
// sign-in hand-off of a request file.
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "command.h"
#include "tavrel/general_utilities.h"
#include "tavrel/kerberos_data.h"
#include "tavrel/samba_data.h"

namespace tool {

namespace {

// What a setter answered; nothing when the key was absent.
std::optional<int> set_from(const host::Text &value, int (*set)(const char *)) {
    if (!value) return std::nullopt;
    return set(value->c_str());
}

std::optional<int> set_from(const std::optional<uint32_t> &value, int (*set)(uint32_t)) {
    if (!value) return std::nullopt;
    return set(*value);
}

struct StateKey {
    std::string_view key;
    std::optional<int> (*apply)(const host::State &state);
};

// In the order the settings promise.
constexpr std::array<StateKey, 10> kStateKeys{{
    {"new_domain", [](const host::State &s) { return set_from(s.new_domain, sm_set_new_domain_name); }},
    {"current_domain", [](const host::State &s) { return set_from(s.current_domain, sm_set_current_domain_name); }},
    {"current_hostname", [](const host::State &s) { return set_from(s.current_hostname, sm_set_current_hostname); }},
    {"current_address",
     [](const host::State &s) { return set_from(s.current_address, sm_set_current_internet_address); }},
    {"auth_service", [](const host::State &s) { return set_from(s.auth_service, sm_set_current_Auth_Service_Used); }},
    {"new_realm", [](const host::State &s) { return set_from(s.new_realm, sm_set_new_realm_name); }},
    {"current_realm", [](const host::State &s) { return set_from(s.current_realm, sm_set_current_realm_name); }},
    {"krb_server", [](const host::State &s) { return set_from(s.krb_server, sm_set_current_krb_server); }},
    {"krb_address",
     [](const host::State &s) { return set_from(s.krb_address, sm_set_current_krb_internet_address); }},
    {"krb_auth_service",
     [](const host::State &s) { return set_from(s.krb_auth_service, sm_set_current_Krb_Auth_Service_Used); }},
}};

// A value the library refuses makes the settings file unusable.
int apply_state(Context &ctx) {
    if (!ctx.settings.state) return kSuccess;
    for (const StateKey &entry : kStateKeys) {
        if (entry.apply(*ctx.settings.state).value_or(1) == 1) continue;
        const auto place = ctx.settings.state->places.find(std::string(entry.key));
        const std::string where = place != ctx.settings.state->places.end() ? place->second : ctx.settings.file;
        std::cerr << "tavrel: " << where << ": [state] " << entry.key << ": the library refuses this value\n";
        return kUsage;
    }
    return kSuccess;
}

// A getter's answer on one line: null prints as nothing, and a line feed (the
// no-name marker) as the two characters \n so that each value keeps its line.
std::string printable(const char *text) {
    std::string out;
    for (const char c : std::string_view(text ? text : "")) {
        if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

struct StateLine {
    std::string_view name;
    std::string (*value)();
};

constexpr std::array<StateLine, 10> kStateLines{{
    {"auth_service", [] { return std::to_string(sm_get_current_Auth_Service_Used()); }},
    {"new_domain", [] { return printable(sm_get_new_domain_name()); }},
    {"current_hostname", [] { return printable(sm_get_current_hostname()); }},
    {"current_domain", [] { return printable(sm_get_current_domain_name()); }},
    {"current_address", [] { return printable(sm_get_current_internet_address()); }},
    {"krb_auth_service", [] { return std::to_string(sm_get_current_Krb_Auth_Service_Used()); }},
    {"new_realm", [] { return printable(sm_get_new_realm_name()); }},
    {"krb_server", [] { return printable(sm_get_current_krb_server()); }},
    {"current_realm", [] { return printable(sm_get_current_realm_name()); }},
    {"krb_address", [] { return printable(sm_get_current_krb_internet_address()); }},
}};

void print_state(Context &) {
    for (const StateLine &line : kStateLines) std::cout << line.name << '=' << line.value() << '\n';
    std::cout.flush();
}

struct Handoff {
    std::string_view kind;
    int (*hand_over)(int fd);
};
constexpr std::array<Handoff, 2> kHandoffs{{
    {"smb", handle_smb_info_from_caller},
    {"kerberos", handle_kerberos_info_from_caller},
}};

int cmd_handoff(Context &ctx) {
    const std::string &kind = ctx.args[0];
    const std::string &file = ctx.args[1];
    for (const Handoff &handoff : kHandoffs) {
        if (handoff.kind != kind) continue;
        const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return usage_error("handoff: cannot open " + file + ": " + std::strerror(errno));
        const int result = handoff.hand_over(fd);
        ::close(fd);
        return result == 1 ? kSuccess : kFailure;
    }
    return usage_error("handoff: unknown KIND '" + kind + "' (smb, kerberos)");
}

constexpr std::array<Command, 1> kCommands{{
    {"handoff", "smb|kerberos FILE", 2, 2, cmd_handoff, "hand a sign-in request file over to the library"},
}};

constexpr std::array<Hook, 1> kHooks{{
    {"--state", "after the command, print the remembered SMB and Kerberos settings", apply_state, print_state},
}};

}  // namespace

std::span<const Command> state_commands() { return kCommands; }
std::span<const Hook> state_hooks() { return kHooks; }

}  // namespace tool
