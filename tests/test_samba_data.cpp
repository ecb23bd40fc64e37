// The remembered SMB settings: limits of each field, the no-name marker and
// the no-address text, case-blind compares, and null arguments.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tavrel/samba_data.h"
#include "tavrel_test.h"

namespace {

using host::Level;
using tavrel_test::repeat;

class SambaData : public tavrel_test::TavrelTest {};

TEST_F(SambaData, StartsEmptyWithNoAddress) {
    EXPECT_EQ(sm_get_current_Auth_Service_Used(), 0u);
    EXPECT_STREQ(sm_get_new_domain_name(), "");
    EXPECT_STREQ(sm_get_current_hostname(), "");
    EXPECT_STREQ(sm_get_current_domain_name(), "");
    EXPECT_STREQ(sm_get_current_internet_address(), "0.0.0.0");
    EXPECT_EQ(log_lines(), (std::vector<std::string>{"LIBINFO The current hostname in configuration is NULL",
                                                     "LIBINFO The current domain name in configuration is NULL",
                                                     "LIBINFO Null IP address in SMB data."}));
}

struct Field {
    int (*set)(const char *);
    const char *(*get)();
};
constexpr Field kNewDomain{sm_set_new_domain_name, sm_get_new_domain_name};
constexpr Field kCurrentDomain{sm_set_current_domain_name, sm_get_current_domain_name};
constexpr Field kHostname{sm_set_current_hostname, sm_get_current_hostname};
constexpr Field kAddress{sm_set_current_internet_address, sm_get_current_internet_address};

// One set over a field holding "192.0.2.1": its result, what the field then
// holds, and the warning it logs, if any.
struct SetCase {
    std::string name;
    Field field;
    std::optional<std::string> input;  // nullopt: a null pointer
    int result;
    std::string stored;
    std::string warning;
};
void PrintTo(const SetCase &c, std::ostream *os) { *os << c.name; }

const std::string kPrior = "192.0.2.1";

class SambaSet : public SambaData, public ::testing::WithParamInterface<SetCase> {};

TEST_P(SambaSet, StoresOrRefusesAndKeepsTheField) {
    const SetCase &c = GetParam();
    ASSERT_EQ(c.field.set(kPrior.c_str()), 1);
    EXPECT_EQ(c.field.set(c.input ? c.input->c_str() : nullptr), c.result);
    EXPECT_EQ(c.field.get(), c.stored);
    EXPECT_EQ(messages(Level::Warn), c.warning.empty() ? std::vector<std::string>{} : std::vector{c.warning});
}

const std::string kTooLongDomain = "domain name " + repeat(256) + " exceeds the maximum length of 256";

INSTANTIATE_TEST_SUITE_P(
    Fields, SambaSet,
    ::testing::Values(SetCase{"NewDomain255", kNewDomain, repeat(255), 1, repeat(255), ""},
                      SetCase{"NewDomain256", kNewDomain, repeat(256), 0, kPrior, kTooLongDomain},
                      SetCase{"NewDomainEmpty", kNewDomain, "", 1, "\n", ""},
                      SetCase{"NewDomainNull", kNewDomain, std::nullopt, 0, kPrior,
                              "sm_set_new_domain_name - null domain name refused"},
                      SetCase{"CurrentDomain255", kCurrentDomain, repeat(255), 1, repeat(255), ""},
                      SetCase{"CurrentDomain256", kCurrentDomain, repeat(256), 0, kPrior, kTooLongDomain},
                      SetCase{"CurrentDomainEmpty", kCurrentDomain, "", 1, "\n", ""},
                      SetCase{"Hostname255", kHostname, repeat(255), 1, repeat(255), ""},
                      SetCase{"Hostname256", kHostname, repeat(256), 0, kPrior,
                              "hostname " + repeat(256) + " exceeds the maximum length of 255"},
                      SetCase{"HostnameNull", kHostname, std::nullopt, 1, "", ""},
                      SetCase{"Address22", kAddress, repeat(22, '1'), 1, repeat(22, '1'), ""},
                      SetCase{"Address23", kAddress, repeat(23, '1'), 0, kPrior, "IP address for SMB data is too long"},
                      SetCase{"AddressEmpty", kAddress, "", 1, "0.0.0.0", ""},
                      SetCase{"AddressNoneWithPort", kAddress, "0.0.0.0:445", 1, "0.0.0.0", ""},
                      SetCase{"AddressNull", kAddress, std::nullopt, 0, kPrior,
                              "sm_set_current_internet_address - null IP address refused"}),
    [](const auto &param_info) { return param_info.param.name; });

TEST_F(SambaData, AuthServiceUsedAcceptsZeroToThree) {
    EXPECT_EQ(sm_set_current_Auth_Service_Used(3), 1);
    EXPECT_EQ(sm_set_current_Auth_Service_Used(4), 0);
    EXPECT_EQ(sm_set_current_Auth_Service_Used(UINT32_MAX), 0);
    EXPECT_EQ(sm_get_current_Auth_Service_Used(), 3u);
}

TEST_F(SambaData, ComparesAreCaseBlindAndWhole) {
    EXPECT_EQ(sm_compare_current_domain_name(""), 1);  // nothing stored yet
    ASSERT_EQ(sm_set_current_domain_name("CORP.EXAMPLE"), 1);
    EXPECT_EQ(sm_compare_current_domain_name("corp.example"), 1);
    EXPECT_EQ(sm_compare_current_domain_name("corp"), 0);
    EXPECT_EQ(sm_compare_current_domain_name("corp.example2"), 0);
    ASSERT_EQ(sm_set_current_domain_name(""), 1);
    EXPECT_EQ(sm_compare_current_domain_name("\n"), 1);
    EXPECT_EQ(sm_compare_current_domain_name(""), 0);
    ASSERT_EQ(sm_set_current_hostname("DC1.corp"), 1);
    EXPECT_EQ(sm_compare_current_hostname("dc1.CORP"), 1);
    for (auto compare : {sm_compare_current_hostname, sm_compare_current_domain_name,
                         sm_compare_current_internet_address})
        EXPECT_EQ(compare(nullptr), 0);
}

}  // namespace
