// SMB commands: the two smb.conf builders and the searches for the service
// configured for a domain, a filing server or a server and share.
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>

#include "command.h"
#include "tavrel/SambaConfig.h"
#include "tavrel/general_utilities.h"
#include "tavrel/kerberos_utilities.h"
#include "tavrel/samba_config.h"
#include "tavrel/samba_utilities.h"

namespace tool {

namespace {

// With --request FILE the user's request is handed over first, as the
// authentication service does; a failed hand-off does not stop the build.
int run_smb_auth(Context &ctx) {
    if (!ctx.args.empty()) {
        if (ctx.args.size() != 2 || ctx.args[0] != "--request")
            return usage_error("smb-auth: expected --request FILE");
        const int fd = ::open(ctx.args[1].c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            std::cerr << "tavrel: cannot open " << ctx.args[1] << ": " << std::strerror(errno) << '\n';
        } else {
            if (handle_smb_info_from_caller(fd) != 1)
                std::cerr << "tavrel: the request in " << ctx.args[1] << " was not taken\n";
            ::close(fd);
        }
    }
    return build_smb_conf_for_authentication() == 1 ? kSuccess : kFailure;
}

int run_smb_filing(Context &ctx) {
    // The builder turns the path's backslashes into slashes in place.
    std::string server = ctx.args[0];
    std::string path = ctx.args[1];
    return build_smb_conf_for_filing(server.data(), path.data()) == 0 ? kSuccess : kFailure;
}

int print_service(int service) {
    std::cout << service << '\n';
    return service != 0 ? kSuccess : kFailure;
}

struct Search {
    std::string_view kind;
    std::string_view usage;
    std::size_t min_names;
    std::size_t max_names;
    int (*run)(const std::vector<std::string> &names);
};

// `find` is one command for every search, the Kerberos realm one included.
constexpr std::array<Search, 3> kSearches{{
    {"smb-domain", "NAME", 1, 1,
     [](const std::vector<std::string> &n) { return sm_get_smb_auth_service_from_domain_name(n[0].c_str()); }},
    {"filing", "SERVER [SHARE]", 1, 2,
     [](const std::vector<std::string> &n) {
         return n.size() == 1 ? get_filing_service_index_from_server_name(n[0].c_str())
                              : get_filing_service_index_from_servername_and_sharename(n[0].c_str(), n[1].c_str());
     }},
    {"krb-realm", "NAME", 1, 1,
     [](const std::vector<std::string> &n) { return sm_get_krb_auth_service_from_realm_name(n[0].c_str()); }},
}};

int run_find(Context &ctx) {
    const std::string &kind = ctx.args[0];
    const std::vector<std::string> names(ctx.args.begin() + 1, ctx.args.end());
    for (const Search &search : kSearches) {
        if (search.kind != kind) continue;
        if (names.size() < search.min_names || names.size() > search.max_names)
            return usage_error("usage: tavrel find " + std::string(search.kind) + " " + std::string(search.usage));
        return print_service(search.run(names));
    }
    return usage_error("find: unknown KIND '" + kind + "' (smb-domain, filing, krb-realm)");
}

constexpr std::array<Command, 3> kCommands{{
    {"smb-auth", "[--request FILE]", 0, 2, run_smb_auth,
     "write /etc/smb.conf.auth, after handing over the request in FILE"},
    {"smb-filing", "SERVER PATH", 2, 2, run_smb_filing, "write /etc/smb.conf.file for SERVER and PATH"},
    {"find", "smb-domain NAME | filing SERVER [SHARE] | krb-realm NAME", 2, 3, run_find,
     "print the service configured for a domain, filing server (and share) or realm"},
}};

}  // namespace

std::span<const Command> smb_commands() { return kCommands; }

}  // namespace tool
