// The interfaces entry and /etc/smb.conf.auth: the domain and server chosen
// in each situation, byte for byte, and what remains of the file otherwise.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "smb_scenarios.h"
#include "tavrel/samba_config.h"
#include "tavrel/samba_data.h"

namespace {

using namespace smb_scenarios;

class SmbConf : public tavrel_test::TavrelTest {};

TEST_F(SmbConf, InterfaceEntryHoldsAddressAndPrefixLength) {
    const std::string no_address = "setup_default_interface - Failed to get IP Addr from CCS";
    const struct {
        std::optional<std::string> address, netmask;
        std::string written, error;  // error: the one ERROR record; "": none, and the entry is complete
    } cases[] = {
        {"10.0.0.5", "255.255.0.0", "\n\tinterfaces = 10.0.0.5/16", ""},
        {"10.0.0.5", "0.0.0.0", "\n\tinterfaces = 10.0.0.5/0", ""},
        {"10.0.0.5", "255.0.255.0", "\n\tinterfaces = 10.0.0.5/24", ""},
        {"10.0.0.5", "not a mask", "\n\tinterfaces = 10.0.0.5/32", ""},
        {std::nullopt, "255.255.255.0", "", no_address},
        {"10.0.0.5\n", "255.255.255.0", "", no_address},
        {"10.0.0.5\\", "255.255.255.0", "", no_address},
        {"10.0.0.5", std::nullopt, "\n\tinterfaces = 10.0.0.5",
         "setup_default_interface - Failed to get netmask bit count"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.address) + " " + ::testing::PrintToString(c.netmask));
        host::log_clear();
        host::network_set(c.address, c.netmask);
        char *text = nullptr;
        std::size_t size = 0;
        FILE *stream = open_memstream(&text, &size);
        EXPECT_EQ(setup_default_interface(stream), c.error.empty() ? 1 : 0);
        fclose(stream);
        EXPECT_EQ(std::string(text, size), c.written);
        free(text);
        EXPECT_EQ(messages(host::Level::Error), c.error.empty() ? std::vector<std::string>{} : std::vector{c.error});
    }
}

// One SMB authentication service; null leaves the attribute unset.
struct Service {
    const char *domain, *address, *hostname;
};

// A TOML line for the text, escaped; nothing for a null text.
std::string toml_entry(const char *key, const char *value) {
    if (!value) return "";
    std::string text = std::string(key) + " = \"";
    for (const char c : std::string_view(value))
        text += c == '\n' ? "\\n" : c == '\r' ? "\\r" : c == '\\' ? "\\\\" : std::string(1, c);
    return text + "\"\n";
}

std::string auth_settings(const std::string &method, const std::vector<Service> &services) {
    std::string toml = kDevice + "[smb]\nmethod = \"" + method + "\"\n";
    for (const Service &s : services)
        toml += "[[smb.auth]]\n" + toml_entry("domain", s.domain) + toml_entry("address", s.address) +
                toml_entry("hostname", s.hostname);
    return toml;
}

constexpr char kRemoved[] = "", kKept[] = "kept";

struct AuthCase {
    const char *name, *method;
    std::vector<Service> services;
    const char *user_domain;  // null: none handed over
    int result;
    std::string file;    // tests/data/smb/auth/<file>.conf; kRemoved: no file remains; kKept: the previous one stays
    std::string logged;  // one telling "LEVEL message" line
    bool has_interface_address = true;
};
void PrintTo(const AuthCase &c, std::ostream *os) { *os << c.name; }

const std::vector<Service> kTwo = {{"CORP", "192.0.2.10", "dc1.corp.example"}, {"SALES", "192.0.2.20", nullptr}};
const std::vector<Service> kCorpOnly = {{"CORP", nullptr, nullptr}};
const std::string kBadDomain = "INFO NT Domain holds a backslash or a control character";
const std::string kBadHostname = "ERROR get_dns_name_from_dstore - DNS name holds an invalid character.";
const std::vector<Service> kDc9 = {{"CORP", nullptr, "dc9.corp.example"}};
const std::string kByName = "FORCEINFO Using Hostname over its IP for host (dc9.corp.example)";

const AuthCase kAuthCases[] = {
    {"UserDomainOfService2", "domain", kTwo, "sales", 1, "UserDomainSales",
     "LIBINFO Using passed in SMB domain name sales"},
    {"NoUserDomainTakesService1", "domain", kTwo, nullptr, 1, "Service1Corp",
     "DEBUG Samba server is defined with an Ipv4 Address: 192.0.2.10"},
    {"UnconfiguredDomainTriesServices1To3", "domain",
     {{nullptr, "192.0.2.10", nullptr}, {"bad domain", nullptr, nullptr}, {"SALES", "192.0.2.30", nullptr}}, "OTHER", 1,
     "Service3Sales", "LIBINFO get_a_default_domain_for_SMB invalid domain for entry (2)"},
    {"HostMethodAppendsServerDomain", "host", kTwo, "OTHER", 1, "ServerDomainAppended",
     "WARN An unknown SMB domain name OTHER was passed in"},
    {"IpMethodAppendsServerDomain", "ip", kTwo, "OTHER", 1, "ServerDomainAppended",
     "FORCEINFO Cannot use LUI passed in domain"},
    {"ZeroAddressFallsToHostname", "domain", {{"CORP", "0.0.0.0", "dc1.corp.example"}}, "CORP", 1, "HostnameResolved",
     "LIBINFO build_smb_conf_with_hostname - Converted hostname (dc1.corp.example) to IP (192.0.2.11)"},
    {"UnresolvableHostnameWrittenAsName", "domain", kDc9, "CORP", 1, "HostnameUnresolved", kByName},
    {"FirstDefaultWithoutServerLeavesEmptyPair", "host",
     {{"CORP", nullptr, nullptr}, {"SALES", nullptr, "dc2.corp.example"}}, "OTHER", 1, "FirstPairEmpty",
     "LIBINFO get_a_default_hostname_for_SMB invalid hostname for entry (1)"},
    {"CapitalisedMethodIsInvalid", "Domain", kTwo, "CORP", 0, kRemoved,
     "ERROR build_smb_conf_for_authentication - Failed to get SMB Method"},
    {"InterfaceFailureRemovesFile", "domain", kTwo, "CORP", 0, kRemoved,
     "ERROR setup_default_interface - Failed to get IP Addr from CCS", false},
    {"ServiceWithoutServerKeepsPrevious", "domain", kCorpOnly, "CORP", 0, kKept,
     "WARN The SMB service [1] does not have a hostname"},
    {"InvalidDomainWithoutServerRemovesFile", "host", {{"bad domain", nullptr, nullptr}}, nullptr, 0, kRemoved,
     "ERROR Domain and hostname setting are incorrect"},
    {"NoDefaultServerRemovesFile", "ip", kCorpOnly, "OTHER", 0, kRemoved,
     "ERROR The SMB serivce has no server hostnames set"},
    {"NoDefaultDomainRemovesFile", "domain", {}, "OTHER", 0, kRemoved, "FORCEINFO Cannot use LUI passed in domain"},
    // Values that would end or continue a line are refused where they are
    // read, and the build goes on as without them.
    {"DomainLF", "domain", {{"CORP\nsecurity = share", nullptr, "dc9.corp.example"}}, nullptr, 0, kRemoved, kBadDomain},
    {"DomainCR", "domain", {{"CORP\r", nullptr, "dc9.corp.example"}}, nullptr, 0, kRemoved, kBadDomain},
    {"DomainBackslash", "domain", {{"CORP\\", nullptr, "dc9.corp.example"}}, nullptr, 0, kRemoved, kBadDomain},
    {"UserDomainLF", "domain", kDc9, "CORP\nsecurity = share", 1, "HostnameUnresolved", kByName},
    {"UserDomainBackslash", "domain", kDc9, "CORP\\", 1, "HostnameUnresolved", kByName},
    {"AddressLF", "domain", {{"CORP", "192.0.2.10\nsecurity = share", "dc9.corp.example"}}, "CORP", 1,
     "HostnameUnresolved", kByName},
    {"HostnameLF", "domain", {{"CORP", nullptr, "dc9\nsecurity = share"}}, "CORP", 0, kKept, kBadHostname},
    {"HostnameCR", "domain", {{"CORP", nullptr, "dc9\r"}}, "CORP", 0, kKept, kBadHostname},
    {"HostnameBackslash", "domain", {{"CORP", nullptr, "dc9\\"}}, "CORP", 0, kKept, kBadHostname},
};

class AuthConf : public tavrel_test::TavrelTest, public ::testing::WithParamInterface<AuthCase> {};

TEST_P(AuthConf, WritesOrLeavesFileAsDecided) {
    const AuthCase &c = GetParam();
    load(auth_settings(c.method, c.services));
    if (!c.has_interface_address) host::network_set(std::nullopt, "255.255.255.0");
    if (c.user_domain) sm_set_new_domain_name(c.user_domain);
    write("/etc/smb.conf.auth", kPrevious);
    EXPECT_EQ(build_smb_conf_for_authentication(), c.result);
    const std::string expected = c.file == kKept ? kPrevious : c.file.empty() ? "" : golden("auth/" + c.file + ".conf");
    EXPECT_EQ(read("/etc/smb.conf.auth").value_or(""), expected);
    EXPECT_TRUE(std::ranges::count(log_lines(), c.logged) > 0) << c.logged;
    // The (last) domain written is the one in force.
    const auto at = expected.rfind("workgroup = ") + 12;
    if (c.result == 1) {
        EXPECT_EQ(sm_get_current_domain_name(), expected.substr(at, expected.find('\n', at) - at));
    }
}

INSTANTIATE_TEST_SUITE_P(Situations, AuthConf, ::testing::ValuesIn(kAuthCases),
                         [](const auto &test) { return std::string(test.param.name); });

}  // namespace
