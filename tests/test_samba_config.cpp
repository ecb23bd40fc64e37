// The interfaces entry and /etc/smb.conf.auth: the domain and server chosen
// in each situation, byte for byte, and what remains of the file otherwise.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "smb_scenarios.h"
#include "tavrel/samba_config.h"
#include "tavrel/samba_data.h"
#include "tavrel_test.h"

namespace {

using namespace smb_scenarios;

constexpr char kAuthConf[] = "/etc/smb.conf.auth";

struct InterfaceCase {
    std::optional<std::string> address, netmask;
    std::string written;
    std::string error;  // the one ERROR record; "": none, and the entry is complete
};
void PrintTo(const InterfaceCase &c, std::ostream *os) { *os << c.address.value_or("-") << " " << c.netmask.value_or("-"); }

class InterfaceEntry : public tavrel_test::TavrelTest, public ::testing::WithParamInterface<InterfaceCase> {};

TEST_P(InterfaceEntry, WritesAddressAndPrefixLength) {
    const InterfaceCase &c = GetParam();
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

const std::string kNoAddress = "setup_default_interface - Failed to get IP Addr from CCS";

INSTANTIATE_TEST_SUITE_P(Masks, InterfaceEntry,
                         ::testing::Values(InterfaceCase{"10.0.0.5", "255.255.0.0", "\n\tinterfaces = 10.0.0.5/16", ""},
                                           InterfaceCase{"10.0.0.5", "255.255.255.255", "\n\tinterfaces = 10.0.0.5/32", ""},
                                           InterfaceCase{"10.0.0.5", "0.0.0.0", "\n\tinterfaces = 10.0.0.5/0", ""},
                                           InterfaceCase{"10.0.0.5", "255.0.255.0", "\n\tinterfaces = 10.0.0.5/24", ""},
                                           InterfaceCase{"10.0.0.5", "not a mask", "\n\tinterfaces = 10.0.0.5/32", ""},
                                           InterfaceCase{std::nullopt, "255.255.255.0", "", kNoAddress},
                                           InterfaceCase{"10.0.0.5\n", "255.255.255.0", "", kNoAddress},
                                           InterfaceCase{"10.0.0.5", std::nullopt, "\n\tinterfaces = 10.0.0.5",
                                                         "setup_default_interface - Failed to get netmask bit count"}));

class AuthConf : public tavrel_test::TavrelTest, public ::testing::WithParamInterface<AuthScenario> {};

TEST_P(AuthConf, WritesOrLeavesFileAsDecided) {
    const AuthScenario &s = GetParam();
    prepare(s);
    write(kAuthConf, kPrevious);
    EXPECT_EQ(build_smb_conf_for_authentication(), s.result);
    EXPECT_EQ(read(kAuthConf).value_or(""), s.file);
    EXPECT_TRUE(std::ranges::count(log_lines(), s.logged) > 0) << s.logged;
    // The (last) domain written is the one in force.
    const auto at = s.file.rfind("workgroup = ") + 12;
    if (s.result == 1) {
        EXPECT_EQ(sm_get_current_domain_name(), s.file.substr(at, s.file.find('\n', at) - at));
    }
}

INSTANTIATE_TEST_SUITE_P(Situations, AuthConf, ::testing::ValuesIn(auth_scenarios()),
                         [](const auto &test) { return test.param.name; });

// Values that would end or continue a line never reach the file.
struct LineBreaker {
    const char *name;
    int32_t attr;  // 0: the device's interface address; -1: the user's domain
    const char *value;
};
void PrintTo(const LineBreaker &c, std::ostream *os) { *os << c.name; }

class AuthLineBreakers : public tavrel_test::TavrelTest, public ::testing::WithParamInterface<LineBreaker> {};

TEST_P(AuthLineBreakers, NeverReachTheFile) {
    const LineBreaker &b = GetParam();
    load(auth_settings("domain", {{"CORP", nullptr, "dc9.corp.example"}}));
    if (b.attr == 0) host::network_set(b.value, "255.255.255.0");
    if (b.attr == -1) sm_set_new_domain_name(b.value);
    if (b.attr > 0) host::svcmon_set_text(b.attr, b.value);
    build_smb_conf_for_authentication();
    const std::string file = read(kAuthConf).value_or("");
    EXPECT_EQ(file.find(b.value), std::string::npos) << file;
    EXPECT_EQ(file.find_first_of("\r\\"), std::string::npos) << file;
}

INSTANTIATE_TEST_SUITE_P(Values, AuthLineBreakers,
                         ::testing::Values(LineBreaker{"HostnameLF", 80, "dc9\nsecurity = share"},
                                           LineBreaker{"HostnameCR", 80, "dc9\r"},
                                           LineBreaker{"HostnameBackslash", 80, "dc9\\"},
                                           LineBreaker{"DomainLF", 78, "CORP\nsecurity = share"},
                                           LineBreaker{"DomainCR", 78, "CORP\r"},
                                           LineBreaker{"DomainBackslash", 78, "CORP\\"},
                                           LineBreaker{"UserDomainLF", -1, "CORP\nsecurity = share"},
                                           LineBreaker{"UserDomainBackslash", -1, "CORP\\"},
                                           LineBreaker{"InterfaceLF", 0, "192.168.1.20\nsecurity = share"},
                                           LineBreaker{"InterfaceBackslash", 0, "192.168.1.20\\"}),
                         [](const auto &test) { return std::string(test.param.name); });

}  // namespace
