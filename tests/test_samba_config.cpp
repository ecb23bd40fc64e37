// The interfaces entry and /etc/smb.conf.auth: the domain and server chosen
// in each situation, byte for byte, and what remains of the file on failure.
#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <optional>
#include <string>

#include "smb_scenarios.h"
#include "tavrel/samba_config.h"
#include "tavrel/samba_data.h"
#include "tavrel_test.h"

namespace {

using namespace smb_scenarios;

constexpr char kAuthConf[] = "/etc/smb.conf.auth";

// ---- setup_default_interface ----------------------------------------------

struct InterfaceCase {
    std::optional<std::string> address, netmask;
    std::string written;
    int result;
    std::string error;  // the ERROR record, if any
};
void PrintTo(const InterfaceCase &c, std::ostream *os) { *os << c.address.value_or("-") << " " << c.netmask.value_or("-"); }

class InterfaceEntry : public tavrel_test::TavrelTest, public ::testing::WithParamInterface<InterfaceCase> {};

TEST_P(InterfaceEntry, WritesAddressAndPrefixLength) {
    const InterfaceCase &c = GetParam();
    host::network_set(c.address, c.netmask);
    char *text = nullptr;
    std::size_t size = 0;
    FILE *stream = open_memstream(&text, &size);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(setup_default_interface(stream), c.result);
    fclose(stream);
    EXPECT_EQ(std::string(text, size), c.written);
    free(text);
    EXPECT_EQ(messages(host::Level::Error), c.error.empty() ? std::vector<std::string>{}
                                                             : std::vector<std::string>{c.error});
}

INSTANTIATE_TEST_SUITE_P(
    Masks, InterfaceEntry,
    ::testing::Values(InterfaceCase{"10.0.0.5", "255.255.0.0", "\n\tinterfaces = 10.0.0.5/16", 1, ""},
                      InterfaceCase{"10.0.0.5", "255.255.255.255", "\n\tinterfaces = 10.0.0.5/32", 1, ""},
                      InterfaceCase{"10.0.0.5", "0.0.0.0", "\n\tinterfaces = 10.0.0.5/0", 1, ""},
                      InterfaceCase{"10.0.0.5", "255.0.255.0", "\n\tinterfaces = 10.0.0.5/24", 1, ""},
                      InterfaceCase{"10.0.0.5", "not a mask", "\n\tinterfaces = 10.0.0.5/32", 1, ""},
                      InterfaceCase{std::nullopt, "255.255.255.0", "", 0,
                                    "setup_default_interface - Failed to get IP Addr from CCS"},
                      InterfaceCase{"10.0.0.5\n", "255.255.255.0", "", 0,
                                    "setup_default_interface - Failed to get IP Addr from CCS"},
                      InterfaceCase{"10.0.0.5", std::nullopt, "\n\tinterfaces = 10.0.0.5", 0,
                                    "setup_default_interface - Failed to get netmask bit count"}));

TEST_F(InterfaceEntry, RefusesNullStream) { EXPECT_EQ(setup_default_interface(nullptr), 0); }

// ---- build_smb_conf_for_authentication ------------------------------------

class AuthConf : public tavrel_test::TavrelTest, public ::testing::WithParamInterface<AuthScenario> {};

TEST_P(AuthConf, WritesOrLeavesFileAsDecided) {
    const AuthScenario &s = GetParam();
    prepare(s);
    write(kAuthConf, kPrevious);
    EXPECT_EQ(build_smb_conf_for_authentication(), s.result);
    if (s.file.empty())
        EXPECT_FALSE(exists(kAuthConf));
    else
        EXPECT_EQ(read(kAuthConf), s.file);
    EXPECT_TRUE(std::ranges::count(log_lines(), s.logged) > 0) << s.logged;
}

INSTANTIATE_TEST_SUITE_P(Situations, AuthConf, ::testing::ValuesIn(auth_scenarios()),
                         [](const auto &test) { return test.param.name; });

TEST_F(AuthConf, WrittenDomainBecomesCurrent) {
    prepare(auth_scenarios()[1]);
    ASSERT_EQ(build_smb_conf_for_authentication(), 1);
    EXPECT_STREQ(sm_get_current_domain_name(), "CORP");
}

TEST_F(AuthConf, UnusableUserDomainLeavesNoNameMarkerWithoutDefault) {
    load(kDevice + "[smb]\nmethod = \"host\"\n");
    sm_set_new_domain_name("OTHER");
    EXPECT_EQ(build_smb_conf_for_authentication(), 0);
    EXPECT_STREQ(sm_get_current_domain_name(), "\n");
}

TEST_F(AuthConf, FileThatCannotBeOpenedIsNotCreated) {
    setenv("TAVREL_ROOT", (root() + "/missing").c_str(), 1);
    load(kDevice + "[smb]\nmethod = \"domain\"\n" + kTwoDomains);
    EXPECT_EQ(build_smb_conf_for_authentication(), 0);
    EXPECT_FALSE(exists("/missing/etc/smb.conf.auth"));
}

// Stored values that would end or continue a line never reach the file.
struct LineBreaker {
    const char *name;
    int32_t attr;  // 0: the device's interface address
    const char *value;
};
void PrintTo(const LineBreaker &c, std::ostream *os) { *os << c.name; }

class AuthLineBreakers : public tavrel_test::TavrelTest, public ::testing::WithParamInterface<LineBreaker> {};

TEST_P(AuthLineBreakers, NeverReachTheFile) {
    load(kDevice + "[smb]\nmethod = \"domain\"\n[[smb.auth]]\ndomain = \"CORP\"\nhostname = \"dc9.corp.example\"\n");
    const LineBreaker &b = GetParam();
    if (b.attr == 0)
        host::network_set(b.value, "255.255.255.0");
    else
        host::svcmon_set_text(b.attr, b.value);
    build_smb_conf_for_authentication();
    const std::string file = read(kAuthConf).value_or("");
    EXPECT_EQ(file.find(b.value), std::string::npos);
    EXPECT_EQ(file.find('\r'), std::string::npos);
    EXPECT_EQ(file.find("\\\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Values, AuthLineBreakers,
                         ::testing::Values(LineBreaker{"HostnameLF", 80, "dc9\nsecurity = share"},
                                           LineBreaker{"HostnameCR", 80, "dc9\r"},
                                           LineBreaker{"HostnameBackslash", 80, "dc9\\"},
                                           LineBreaker{"DomainLF", 78, "CORP\nsecurity = share"},
                                           LineBreaker{"DomainCR", 78, "CORP\r"},
                                           LineBreaker{"DomainBackslash", 78, "CORP\\"},
                                           LineBreaker{"InterfaceLF", 0, "192.168.1.20\nsecurity = share"},
                                           LineBreaker{"InterfaceBackslash", 0, "192.168.1.20\\"}),
                         [](const auto &test) { return std::string(test.param.name); });

TEST_F(AuthLineBreakers, UserDomainWithLineFeedIsNotWritten) {
    load(kDevice + "[smb]\nmethod = \"domain\"\n" + kTwoDomains);
    sm_set_new_domain_name("SALES\nsecurity = share");
    EXPECT_EQ(build_smb_conf_for_authentication(), 1);
    EXPECT_EQ(read(kAuthConf), kHead + workgroup("CORP") + kInterfaces + kServer + "192.0.2.10\n");
}

}  // namespace
