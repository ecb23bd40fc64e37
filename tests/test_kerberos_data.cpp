// The remembered Kerberos settings: limits of each field, the no-name marker,
// the null answers of the server and realm getters, the no-address text,
// case-blind compares, and null arguments.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tavrel/kerberos_data.h"
#include "tavrel_test.h"

namespace {

using host::Level;
using tavrel_test::repeat;

class KerberosData : public tavrel_test::TavrelTest {};

TEST_F(KerberosData, StartsEmptyWithNullServerAndRealm) {
    EXPECT_EQ(sm_get_current_Krb_Auth_Service_Used(), 0u);
    EXPECT_STREQ(sm_get_new_realm_name(), "");
    EXPECT_EQ(sm_get_current_krb_server(), nullptr);
    EXPECT_EQ(sm_get_current_realm_name(), nullptr);
    EXPECT_STREQ(sm_get_current_krb_internet_address(), "0.0.0.0");
    EXPECT_EQ(log_lines(), (std::vector<std::string>{"LIBINFO The current krb_server in configuration is NULL",
                                                     "LIBINFO The current realm name in configuration is NULL",
                                                     "LIBINFO Null IP address in Kerberos data."}));
}

struct Field {
    int (*set)(const char *);
    const char *(*get)();
};
constexpr Field kNewRealm{sm_set_new_realm_name, sm_get_new_realm_name};
constexpr Field kCurrentRealm{sm_set_current_realm_name, sm_get_current_realm_name};
constexpr Field kServer{sm_set_current_krb_server, sm_get_current_krb_server};
constexpr Field kAddress{sm_set_current_krb_internet_address, sm_get_current_krb_internet_address};

// One set over a field holding "192.0.2.1": its result, what the field then
// holds (nullopt: the getter answers null), and the warning it logs, if any.
struct SetCase {
    std::string name;
    Field field;
    std::optional<std::string> input;  // nullopt: a null pointer
    int result;
    std::optional<std::string> stored;
    std::string warning;
};
void PrintTo(const SetCase &c, std::ostream *os) { *os << c.name; }

const std::string kPrior = "192.0.2.1";

class KerberosSet : public KerberosData, public ::testing::WithParamInterface<SetCase> {};

TEST_P(KerberosSet, StoresOrRefusesAndKeepsTheField) {
    const SetCase &c = GetParam();
    ASSERT_EQ(c.field.set(kPrior.c_str()), 1);
    EXPECT_EQ(c.field.set(c.input ? c.input->c_str() : nullptr), c.result);
    const char *got = c.field.get();
    EXPECT_EQ(got ? std::optional<std::string>(got) : std::nullopt, c.stored);
    EXPECT_EQ(messages(Level::Warn), c.warning.empty() ? std::vector<std::string>{} : std::vector{c.warning});
}

const std::string kTooLongRealm = "realm name " + repeat(257) + " exceeds the maximum length of 256";
const std::string kBracketed = "[ffff:ffff:ffff:ffff:ffff:ffff:255.255.255.255]:65535";

INSTANTIATE_TEST_SUITE_P(
    Fields, KerberosSet,
    ::testing::Values(SetCase{"NewRealm256", kNewRealm, repeat(256), 1, repeat(256), ""},
                      SetCase{"NewRealm257", kNewRealm, repeat(257), 0, kPrior, kTooLongRealm},
                      SetCase{"NewRealmEmpty", kNewRealm, "", 1, "\n", ""},
                      SetCase{"NewRealmNull", kNewRealm, std::nullopt, 0, kPrior,
                              "sm_set_new_realm_name - null realm name refused"},
                      SetCase{"CurrentRealm256", kCurrentRealm, repeat(256), 1, repeat(256), ""},
                      SetCase{"CurrentRealm257", kCurrentRealm, repeat(257), 0, kPrior, kTooLongRealm},
                      SetCase{"CurrentRealmMarker", kCurrentRealm, "\n", 1, "\n", ""},
                      SetCase{"Server255", kServer, repeat(255), 1, repeat(255), ""},
                      SetCase{"Server256", kServer, repeat(256), 0, kPrior,
                              "krb_server " + repeat(256) + " exceeds the maximum length of 255"},
                      SetCase{"ServerNull", kServer, std::nullopt, 1, std::nullopt, ""},
                      SetCase{"Address54", kAddress, repeat(54, '1'), 1, repeat(54, '1'), ""},
                      SetCase{"Address55", kAddress, repeat(55, '1'), 0, kPrior,
                              "IP address for Kerberos data is too long"},
                      SetCase{"AddressBracketedWithPort", kAddress, kBracketed, 1, kBracketed, ""},
                      SetCase{"AddressNoneWithPort", kAddress, "0.0.0.0:88", 1, "0.0.0.0", ""},
                      SetCase{"AddressNull", kAddress, std::nullopt, 0, kPrior,
                              "sm_set_current_krb_internet_address - null IP address refused"}),
    [](const auto &param_info) { return param_info.param.name; });

TEST_F(KerberosData, AuthServiceUsedAcceptsZeroToThree) {
    EXPECT_EQ(sm_set_current_Krb_Auth_Service_Used(3), 1);
    EXPECT_EQ(sm_set_current_Krb_Auth_Service_Used(4), 0);
    EXPECT_EQ(sm_get_current_Krb_Auth_Service_Used(), 3u);
}

TEST_F(KerberosData, ComparesAreCaseBlindAndWhole) {
    ASSERT_EQ(sm_set_current_realm_name("CORP.EXAMPLE"), 1);
    EXPECT_EQ(sm_compare_current_realm_name("corp.example"), 1);
    EXPECT_EQ(sm_compare_current_realm_name("corp.exampl"), 0);
    ASSERT_EQ(sm_set_current_realm_name(""), 1);
    EXPECT_EQ(sm_compare_current_realm_name("\n"), 1);
    EXPECT_EQ(sm_compare_current_realm_name(""), 0);
    ASSERT_EQ(sm_set_current_krb_server("KDC1.corp"), 1);
    EXPECT_EQ(sm_compare_current_krb_server("kdc1.CORP"), 1);
    for (auto compare : {sm_compare_current_krb_server, sm_compare_current_realm_name,
                         sm_compare_current_krb_internet_address})
        EXPECT_EQ(compare(nullptr), 0);
}

}  // namespace
