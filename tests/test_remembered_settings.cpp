// The remembered SMB and Kerberos settings: limits of each field, the no-name
// marker and the no-address text, the null answers of the Kerberos server and
// realm getters, case-blind compares, and null arguments. The fields of one
// kind share their rules, so one field of each kind stands for the others
// where only those rules are at stake.
#include "tavrel_test.h"

namespace {

using host::Level;
using tavrel_test::repeat;

class RememberedSettings : public tavrel_test::TavrelTest {};

TEST_F(RememberedSettings, StartEmptyWithNoAddressAndServiceZero) {
    // Each getter and its answer before anything was set (null: no text at all).
    const std::pair<const char *(*)(), const char *> answers[] = {
        {sm_get_new_domain_name, ""}, {sm_get_new_realm_name, ""}, {sm_get_current_hostname, ""},
        {sm_get_current_domain_name, ""}, {sm_get_current_krb_server, nullptr}, {sm_get_current_realm_name, nullptr},
        {sm_get_current_internet_address, "0.0.0.0"}, {sm_get_current_krb_internet_address, "0.0.0.0"}};
    for (const auto &[get, answer] : answers) EXPECT_STREQ(get(), answer);
    const std::string null = " in configuration is NULL";
    EXPECT_EQ(messages(Level::LibInfo), (std::vector<std::string>{"The current hostname" + null, "The current domain name" + null,
                                                                  "The current krb_server" + null, "The current realm name" + null,
                                                                  "Null IP address in SMB data.", "Null IP address in Kerberos data."}));
    // The service used starts at 0 and takes 0 to 3 only.
    for (const auto &[set, get] : {std::pair{&sm_set_current_Auth_Service_Used, &sm_get_current_Auth_Service_Used},
                                   {sm_set_current_Krb_Auth_Service_Used, sm_get_current_Krb_Auth_Service_Used}}) {
        EXPECT_EQ(get(), 0u);
        EXPECT_EQ(set(3), 1);
        EXPECT_EQ(set(4), 0);
        EXPECT_EQ(get(), 3u);
    }
}

// One set over a field holding "192.0.2.1": its result, what the field then
// holds (nullopt: the getter answers null), and the warning it logs, if any.
struct SetCase {
    std::string name;
    std::pair<int (*)(const char *), const char *(*)()> field;  // its setter and getter
    std::optional<std::string> input;  // null: a null pointer
    int result;
    std::optional<std::string> stored;
    std::string warning = {};
};
void PrintTo(const SetCase &c, std::ostream *os) { *os << c.name; }

const std::string kPrior = "192.0.2.1";
constexpr auto null = std::nullopt;

class Set : public RememberedSettings, public ::testing::WithParamInterface<SetCase> {};

TEST_P(Set, StoresOrRefusesAndKeepsTheField) {
    const SetCase &c = GetParam();
    const auto [set, get] = c.field;
    ASSERT_EQ(set(kPrior.c_str()), 1);
    EXPECT_EQ(set(c.input ? c.input->c_str() : nullptr), c.result);
    EXPECT_EQ(get() ? std::optional<std::string>(get()) : null, c.stored);
    EXPECT_EQ(messages(Level::Warn), c.warning.empty() ? std::vector<std::string>{} : std::vector{c.warning});
}

// The current domain and realm share their setters' checks with the new ones;
// the names and the hosts, and the addresses, of both records share theirs.
INSTANTIATE_TEST_SUITE_P(Fields, Set, ::testing::ValuesIn(std::vector<SetCase>{
        {"NewDomain255", {sm_set_new_domain_name, sm_get_new_domain_name}, repeat(255), 1, repeat(255)},
        {"NewDomain256", {sm_set_new_domain_name, sm_get_new_domain_name}, repeat(256), 0, kPrior, "domain name " + repeat(256) + " exceeds the maximum length of 256"},
        {"NewDomainEmpty", {sm_set_new_domain_name, sm_get_new_domain_name}, "", 1, "\n"},
        {"NewDomainNull", {sm_set_new_domain_name, sm_get_new_domain_name}, null, 0, kPrior, "sm_set_new_domain_name - null domain name refused"},
        {"Hostname256", {sm_set_current_hostname, sm_get_current_hostname}, repeat(256), 0, kPrior, "hostname " + repeat(256) + " exceeds the maximum length of 255"},
        {"SmbAddress22", {sm_set_current_internet_address, sm_get_current_internet_address}, repeat(22, '1'), 1, repeat(22, '1')},
        {"SmbAddress23", {sm_set_current_internet_address, sm_get_current_internet_address}, repeat(23, '1'), 0, kPrior, "IP address for SMB data is too long"},
        {"SmbAddressNoneWithPort", {sm_set_current_internet_address, sm_get_current_internet_address}, "0.0.0.0:445", 1, "0.0.0.0"},
        {"SmbAddressNull", {sm_set_current_internet_address, sm_get_current_internet_address}, null, 0, kPrior, "sm_set_current_internet_address - null IP address refused"},
        {"NewRealm256", {sm_set_new_realm_name, sm_get_new_realm_name}, repeat(256), 1, repeat(256)},
        {"NewRealm257", {sm_set_new_realm_name, sm_get_new_realm_name}, repeat(257), 0, kPrior, "realm name " + repeat(257) + " exceeds the maximum length of 256"},
        {"Server255", {sm_set_current_krb_server, sm_get_current_krb_server}, repeat(255), 1, repeat(255)},
        {"Server256", {sm_set_current_krb_server, sm_get_current_krb_server}, repeat(256), 0, kPrior, "krb_server " + repeat(256) + " exceeds the maximum length of 255"},
        {"ServerNull", {sm_set_current_krb_server, sm_get_current_krb_server}, null, 1, null},
        {"KrbAddress54", {sm_set_current_krb_internet_address, sm_get_current_krb_internet_address}, repeat(54, '1'), 1, repeat(54, '1')},
        {"KrbAddress55", {sm_set_current_krb_internet_address, sm_get_current_krb_internet_address}, repeat(55, '1'), 0, kPrior, "IP address for Kerberos data is too long"}}),
    [](const auto &param_info) { return param_info.param.name; });

// The compares share one case-blind test of the whole text; the realm's
// stands for them (the hand-off's tests show the domain's).
TEST_F(RememberedSettings, ComparesAreCaseBlindAndWhole) {
    EXPECT_EQ(sm_compare_current_realm_name(""), 1);  // nothing stored yet
    ASSERT_EQ(sm_set_current_realm_name("CORP.EXAMPLE"), 1);
    EXPECT_EQ(sm_compare_current_realm_name("corp.example"), 1);
    EXPECT_EQ(sm_compare_current_realm_name("corp.exampl"), 0);
    EXPECT_EQ(sm_compare_current_realm_name("corp.example2"), 0);
    for (auto compare : {sm_compare_current_hostname, sm_compare_current_domain_name,
                         sm_compare_current_internet_address, sm_compare_current_krb_server,
                         sm_compare_current_realm_name, sm_compare_current_krb_internet_address})
        EXPECT_EQ(compare(nullptr), 0);
}

}  // namespace
