// The interfaces entry and /etc/smb.conf.auth: the domain and server chosen
// in each situation, byte for byte, and what remains of the file otherwise.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "smb_scenarios.h"
#include "tavrel/samba_config.h"
#include "tavrel/samba_data.h"

namespace {

using namespace smb_scenarios;
using Lines = std::vector<std::string>;

constexpr char kNoAddress[] = "setup_default_interface - Failed to get IP Addr from CCS";

using SmbConf = tavrel_test::TavrelTest;

TEST_F(SmbConf, InterfaceEntryHoldsAddressAndPrefixLength) {
    const struct {
        std::optional<std::string> address, netmask;  // nullopt: cannot be had
        const char *prefix;                           // after the address; null: no entry, the address refused
    } cases[] = {
        {"10.0.0.5", "255.255.0.0", "/16"}, {"10.0.0.5", "0.0.0.0", "/0"}, {"10.0.0.5", "255.0.255.0", "/24"},
        {"10.0.0.5", "not a mask", "/32"}, {"10.0.0.5", std::nullopt, ""},
        {std::nullopt, "255.255.255.0", nullptr}, {"10.0.0.5\n", "255.255.255.0", nullptr},
        {"10.0.0.5\\", "255.255.255.0", nullptr}, {" ", "255.255.255.0", nullptr},
        {"10.0.0.5 ", std::nullopt, nullptr}, {"10.0.0.5 10.0.0.6", "255.255.255.0", nullptr},
        {std::string(36, '1'), "255.255.255.0", nullptr},  // longer than any address
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.address) + " " + ::testing::PrintToString(c.netmask));
        host::log_clear();
        host::network_set(c.address, c.netmask);
        char *text = nullptr;
        std::size_t size = 0;
        FILE *stream = open_memstream(&text, &size);
        const Lines errors = !c.prefix    ? Lines{kNoAddress}
                             : !c.netmask ? Lines{"setup_default_interface - Failed to get netmask bit count"}
                                          : Lines{};
        EXPECT_EQ(setup_default_interface(stream), errors.empty() ? 1 : 0);
        fclose(stream);
        EXPECT_EQ(std::string(text, size), c.prefix ? "\n\tinterfaces = 10.0.0.5" + std::string(c.prefix) : "");
        free(text);
        EXPECT_EQ(messages(host::Level::Error), errors);
    }
}

// One SMB authentication service as TOML, its texts TOML-escaped; null leaves
// the attribute unset.
std::string service(const char *domain, const char *address, const char *hostname) {
    std::string toml = "[[smb.auth]]\n";
    for (const auto &[key, value] : {std::pair{"domain", domain}, {"address", address}, {"hostname", hostname}})
        if (value) toml += std::string(key) + " = \"" + value + "\"\n";
    return toml;
}

constexpr char kRemoved[] = "", kKept[] = "kept";

struct AuthCase {
    const char *name, *method;
    std::string services;     // TOML
    const char *user_domain;  // null: none handed over
    // Result 1 with tests/data/smb/auth/<file>.conf, or 0 with kRemoved: no
    // file remains, or kKept: the previous one stays.
    std::string file;
    // Telling "LEVEL message" lines, for what the file does not show; "!" before one: never logged.
    std::vector<std::string> logged = {};
    bool has_interface_address = true;
};
void PrintTo(const AuthCase &c, std::ostream *os) { *os << c.name; }

const std::string kTwo = service("CORP", "192.0.2.10", "dc1.corp.example") + service("SALES", "192.0.2.20", nullptr);
const std::string kCorpOnly = service("CORP", nullptr, nullptr);
// Its address would break its line and is refused, so its host name (which
// does not resolve) is written.
const std::string kDc9 = service("CORP", "192.0.2.10\\nsecurity = share", "dc9.corp.example");
const std::string kBadDomain = "INFO NT Domain holds a backslash or a control character";
const std::string kBadHostname = "ERROR get_dns_name_from_dstore - DNS name holds an invalid character.";
const std::string kByName = "FORCEINFO Using Hostname over its IP for host (dc9.corp.example)";

const AuthCase kAuthCases[] = {
    {"UserDomainOfService2", "domain", kTwo, "sales", "UserDomainSales",
     {"LIBINFO get_smb_method_from_dstore - SMB Method is (domain)"}},
    {"NoUserDomainTakesService1", "domain", kTwo, nullptr, "Service1Corp"},
    {"UnconfiguredDomainTriesServices1To3", "domain",
     service(nullptr, "192.0.2.10", nullptr) + service("bad domain", nullptr, nullptr) +
         service("SALES", "192.0.2.30", nullptr),
     "OTHER", "Service3Sales", {"WARN Problems encountered retrieved SMB domains from Datastore"}},
    {"HostMethodAppendsServerDomain", "host", kTwo, "OTHER", "ServerDomainAppended",  // "ip" goes the same way
     {"!FORCEINFO The gathered hostname does not have a domain"}},
    {"ZeroAddressFallsToHostname", "domain", service("CORP", "0.0.0.0", "dc1.corp.example"), "CORP",
     "HostnameResolved"},
    {"RefusedAddressUnresolvableHostnameWrittenAsName", "domain", kDc9, "CORP", "HostnameUnresolved",
     {kByName, "DEBUG Samba server is not defined with a valid Ipv4 Address"}},
    {"FirstDefaultWithoutServerLeavesEmptyPair", "host",
     service("CORP", nullptr, nullptr) + service("SALES", nullptr, "dc2.corp.example"), "OTHER", "FirstPairEmpty",
     {"LIBINFO get_a_default_hostname_for_SMB invalid hostname for entry (1)"}},
    {"CapitalisedMethodIsInvalid", "Domain", kTwo, "CORP", kRemoved,
     {"ERROR build_smb_conf_for_authentication - Failed to get SMB Method"}},
    {"EmptyMethodIsUndefined", "", kTwo, "CORP", kRemoved, {"ERROR get_smb_method_from_dstore - SMB Method is undefined"}},
    {"InterfaceFailureRemovesFile", "domain", kTwo, "CORP", kRemoved, {"ERROR " + std::string(kNoAddress)}, false},
    {"ServiceWithoutServerKeepsPrevious", "domain", kCorpOnly, "CORP", kKept,
     {"WARN The SMB service [1] does not have a hostname"}},
    {"InvalidDomainWithoutServerRemovesFile", "host", service("bad domain", nullptr, nullptr), nullptr, kRemoved,
     {"ERROR Domain and hostname setting are incorrect"}},
    {"NoDefaultServerRemovesFile", "ip", kCorpOnly, "OTHER", kRemoved,
     {"ERROR The SMB serivce has no server hostnames set"}},
    {"NoDefaultDomainRemovesFile", "domain", "", "OTHER", kRemoved, {"FORCEINFO Cannot use LUI passed in domain"}},
    // Values that would end or continue a line are refused where they are
    // read, and the build goes on as without them: the domains of services
    // 1 to 3 are each tried in turn.
    {"DomainsWithLfCrOrBackslash", "domain",
     service("CORP\\nsecurity = share", nullptr, "dc9") + service("CORP\\r", nullptr, "dc9") +
         service("CORP\\\\", nullptr, "dc9"),
     nullptr, kRemoved, {kBadDomain}},
    {"UserDomainLF", "domain", kDc9, "CORP\nsecurity = share", "HostnameUnresolved", {kByName}},
    {"UserDomainBackslash", "domain", kDc9, "CORP\\", "HostnameUnresolved", {kByName}},
    {"HostnameLF", "domain", service("CORP", nullptr, "dc9\\nsecurity = share"), "CORP", kKept, {kBadHostname}},
    {"HostnameCR", "domain", service("CORP", nullptr, "dc9\\r"), "CORP", kKept, {kBadHostname}},
    {"HostnameBackslash", "domain", service("CORP", nullptr, "dc9\\\\"), "CORP", kKept, {kBadHostname}},
};

class AuthConf : public tavrel_test::TavrelTest, public ::testing::WithParamInterface<AuthCase> {};

TEST_P(AuthConf, WritesOrLeavesFileAsDecided) {
    const AuthCase &c = GetParam();
    load(kDevice + "[smb]\nmethod = \"" + c.method + "\"\n" + c.services);
    if (!c.has_interface_address) host::network_set(std::nullopt, "255.255.255.0");
    if (c.user_domain) sm_set_new_domain_name(c.user_domain);
    write("/etc/smb.conf.auth", kPrevious);
    const int result = c.file == kKept || c.file == kRemoved ? 0 : 1;
    EXPECT_EQ(build_smb_conf_for_authentication(), result);
    const std::string expected = c.file == kKept ? kPrevious : c.file.empty() ? "" : golden("auth/" + c.file + ".conf");
    EXPECT_EQ(read("/etc/smb.conf.auth").value_or(""), expected);
    for (const std::string &line : c.logged) {
        const bool never = line.starts_with('!');
        EXPECT_EQ(std::ranges::count(log_lines(), line.substr(never)) > 0, !never) << line;
    }
    // The (last) domain written is the one in force.
    const auto at = expected.rfind("workgroup = ") + 12;
    if (result == 1) {
        EXPECT_EQ(sm_get_current_domain_name(), expected.substr(at, expected.find('\n', at) - at));
    }
}

INSTANTIATE_TEST_SUITE_P(Situations, AuthConf, ::testing::ValuesIn(kAuthCases),
                         [](const auto &test) { return std::string(test.param.name); });

}  // namespace
