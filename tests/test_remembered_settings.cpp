// The remembered SMB and Kerberos settings: limits of each field, the no-name
// marker and the no-address text, the null answers of the Kerberos server and
// realm getters, case-blind compares, and null arguments.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tavrel/kerberos_data.h"
#include "tavrel/samba_data.h"
#include "tavrel_test.h"

namespace {

using host::Level;
using tavrel_test::repeat;

class RememberedSettings : public tavrel_test::TavrelTest {};

TEST_F(RememberedSettings, StartEmptyWithNoAddress) {
    EXPECT_EQ(sm_get_current_Auth_Service_Used(), 0u);
    EXPECT_EQ(sm_get_current_Krb_Auth_Service_Used(), 0u);
    EXPECT_STREQ(sm_get_new_domain_name(), "");
    EXPECT_STREQ(sm_get_new_realm_name(), "");
    EXPECT_STREQ(sm_get_current_hostname(), "");
    EXPECT_STREQ(sm_get_current_domain_name(), "");
    EXPECT_EQ(sm_get_current_krb_server(), nullptr);
    EXPECT_EQ(sm_get_current_realm_name(), nullptr);
    EXPECT_STREQ(sm_get_current_internet_address(), "0.0.0.0");
    EXPECT_STREQ(sm_get_current_krb_internet_address(), "0.0.0.0");
    EXPECT_EQ(log_lines(), (std::vector<std::string>{
                               "LIBINFO The current hostname in configuration is NULL",
                               "LIBINFO The current domain name in configuration is NULL",
                               "LIBINFO The current krb_server in configuration is NULL",
                               "LIBINFO The current realm name in configuration is NULL",
                               "LIBINFO Null IP address in SMB data.", "LIBINFO Null IP address in Kerberos data."}));
}

struct Field {
    int (*set)(const char *);
    const char *(*get)();
};
constexpr Field kNewDomain{sm_set_new_domain_name, sm_get_new_domain_name};
constexpr Field kDomain{sm_set_current_domain_name, sm_get_current_domain_name};
constexpr Field kHostname{sm_set_current_hostname, sm_get_current_hostname};
constexpr Field kSmbAddress{sm_set_current_internet_address, sm_get_current_internet_address};
constexpr Field kNewRealm{sm_set_new_realm_name, sm_get_new_realm_name};
constexpr Field kRealm{sm_set_current_realm_name, sm_get_current_realm_name};
constexpr Field kServer{sm_set_current_krb_server, sm_get_current_krb_server};
constexpr Field kKrbAddress{sm_set_current_krb_internet_address, sm_get_current_krb_internet_address};

// One set over a field holding "192.0.2.1": its result, what the field then
// holds (nullopt: the getter answers null), and the warning it logs, if any.
struct SetCase {
    std::string name;
    Field field;
    std::optional<std::string> input;  // nullopt: a null pointer
    int result;
    std::optional<std::string> stored;
    std::string warning = {};
};
void PrintTo(const SetCase &c, std::ostream *os) { *os << c.name; }

const std::string kPrior = "192.0.2.1";

class Set : public RememberedSettings, public ::testing::WithParamInterface<SetCase> {};

TEST_P(Set, StoresOrRefusesAndKeepsTheField) {
    const SetCase &c = GetParam();
    ASSERT_EQ(c.field.set(kPrior.c_str()), 1);
    EXPECT_EQ(c.field.set(c.input ? c.input->c_str() : nullptr), c.result);
    const char *got = c.field.get();
    EXPECT_EQ(got ? std::optional<std::string>(got) : std::nullopt, c.stored);
    EXPECT_EQ(messages(Level::Warn), c.warning.empty() ? std::vector<std::string>{} : std::vector{c.warning});
}

std::string too_long(const std::string &what, std::size_t length, int maximum) {
    return what + " " + repeat(length) + " exceeds the maximum length of " + std::to_string(maximum);
}
const std::string kBracketed = "[ffff:ffff:ffff:ffff:ffff:ffff:255.255.255.255]:65535";

INSTANTIATE_TEST_SUITE_P(
    Fields, Set,
    ::testing::Values(
        SetCase{"NewDomain255", kNewDomain, repeat(255), 1, repeat(255)},
        SetCase{"NewDomain256", kNewDomain, repeat(256), 0, kPrior, too_long("domain name", 256, 256)},
        SetCase{"NewDomainEmpty", kNewDomain, "", 1, "\n"},
        SetCase{"NewDomainNull", kNewDomain, std::nullopt, 0, kPrior,
                "sm_set_new_domain_name - null domain name refused"},
        SetCase{"Domain256", kDomain, repeat(256), 0, kPrior, too_long("domain name", 256, 256)},
        SetCase{"DomainEmpty", kDomain, "", 1, "\n"},
        SetCase{"Hostname255", kHostname, repeat(255), 1, repeat(255)},
        SetCase{"Hostname256", kHostname, repeat(256), 0, kPrior, too_long("hostname", 256, 255)},
        SetCase{"HostnameNull", kHostname, std::nullopt, 1, ""},
        SetCase{"SmbAddress22", kSmbAddress, repeat(22, '1'), 1, repeat(22, '1')},
        SetCase{"SmbAddress23", kSmbAddress, repeat(23, '1'), 0, kPrior, "IP address for SMB data is too long"},
        SetCase{"SmbAddressEmpty", kSmbAddress, "", 1, "0.0.0.0"},
        SetCase{"SmbAddressNoneWithPort", kSmbAddress, "0.0.0.0:445", 1, "0.0.0.0"},
        SetCase{"SmbAddressNull", kSmbAddress, std::nullopt, 0, kPrior,
                "sm_set_current_internet_address - null IP address refused"},
        SetCase{"NewRealm256", kNewRealm, repeat(256), 1, repeat(256)},
        SetCase{"NewRealm257", kNewRealm, repeat(257), 0, kPrior, too_long("realm name", 257, 256)},
        SetCase{"NewRealmEmpty", kNewRealm, "", 1, "\n"},
        SetCase{"NewRealmNull", kNewRealm, std::nullopt, 0, kPrior, "sm_set_new_realm_name - null realm name refused"},
        SetCase{"Realm257", kRealm, repeat(257), 0, kPrior, too_long("realm name", 257, 256)},
        SetCase{"RealmMarker", kRealm, "\n", 1, "\n"},
        SetCase{"Server255", kServer, repeat(255), 1, repeat(255)},
        SetCase{"Server256", kServer, repeat(256), 0, kPrior, too_long("krb_server", 256, 255)},
        SetCase{"ServerNull", kServer, std::nullopt, 1, std::nullopt},
        SetCase{"KrbAddress54", kKrbAddress, repeat(54, '1'), 1, repeat(54, '1')},
        SetCase{"KrbAddress55", kKrbAddress, repeat(55, '1'), 0, kPrior, "IP address for Kerberos data is too long"},
        SetCase{"KrbAddressBracketedWithPort", kKrbAddress, kBracketed, 1, kBracketed},
        SetCase{"KrbAddressNoneWithPort", kKrbAddress, "0.0.0.0:88", 1, "0.0.0.0"},
        SetCase{"KrbAddressNull", kKrbAddress, std::nullopt, 0, kPrior,
                "sm_set_current_krb_internet_address - null IP address refused"}),
    [](const auto &param_info) { return param_info.param.name; });

TEST_F(RememberedSettings, AuthServiceUsedIsZeroToThree) {
    for (const auto &[set, get] : {std::pair{&sm_set_current_Auth_Service_Used, &sm_get_current_Auth_Service_Used},
                                   {sm_set_current_Krb_Auth_Service_Used, sm_get_current_Krb_Auth_Service_Used}}) {
        EXPECT_EQ(set(3), 1);
        EXPECT_EQ(set(4), 0);
        EXPECT_EQ(set(UINT32_MAX), 0);
        EXPECT_EQ(get(), 3u);
    }
}

TEST_F(RememberedSettings, ComparesAreCaseBlindAndWhole) {
    EXPECT_EQ(sm_compare_current_domain_name(""), 1);  // nothing stored yet
    for (const auto &[set, compare] : {std::pair{&sm_set_current_domain_name, &sm_compare_current_domain_name},
                                       {sm_set_current_realm_name, sm_compare_current_realm_name}}) {
        ASSERT_EQ(set("CORP.EXAMPLE"), 1);
        EXPECT_EQ(compare("corp.example"), 1);
        EXPECT_EQ(compare("corp.exampl"), 0);
        EXPECT_EQ(compare("corp.example2"), 0);
        ASSERT_EQ(set(""), 1);
        EXPECT_EQ(compare("\n"), 1);  // the no-name marker was stored
        EXPECT_EQ(compare(""), 0);
    }
    ASSERT_EQ(sm_set_current_hostname("DC1.corp"), 1);
    EXPECT_EQ(sm_compare_current_hostname("dc1.CORP"), 1);
    ASSERT_EQ(sm_set_current_krb_server("KDC1.corp"), 1);
    EXPECT_EQ(sm_compare_current_krb_server("kdc1.CORP"), 1);
    for (auto compare : {sm_compare_current_hostname, sm_compare_current_domain_name,
                         sm_compare_current_internet_address, sm_compare_current_krb_server,
                         sm_compare_current_realm_name, sm_compare_current_krb_internet_address})
        EXPECT_EQ(compare(nullptr), 0);
}

}  // namespace
