// The remembered Kerberos settings: limits of each field, the no-name marker,
// the null answers of the server and realm getters, the no-address text,
// case-blind compares, and null arguments.
#include <gtest/gtest.h>

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
    EXPECT_EQ(log_lines(), (std::vector<std::string>{
                               "LIBINFO The current krb_server in configuration is NULL",
                               "LIBINFO The current realm name in configuration is NULL",
                               "LIBINFO Null IP address in Kerberos data.",
                           }));
}

TEST_F(KerberosData, AuthServiceUsedAcceptsZeroToThree) {
    EXPECT_EQ(sm_set_current_Krb_Auth_Service_Used(3), 1);
    EXPECT_EQ(sm_set_current_Krb_Auth_Service_Used(4), 0);
    EXPECT_EQ(sm_get_current_Krb_Auth_Service_Used(), 3u);
    EXPECT_EQ(sm_set_current_Krb_Auth_Service_Used(0), 1);
    EXPECT_EQ(sm_get_current_Krb_Auth_Service_Used(), 0u);
}

// The new and the current realm follow the same rules.
struct RealmField {
    const char *name;
    int (*set)(const char *);
    const char *(*get)();
};

class KerberosRealm : public KerberosData, public ::testing::WithParamInterface<RealmField> {};

TEST_P(KerberosRealm, StoresUpTo256Characters) {
    EXPECT_EQ(GetParam().set(repeat(256).c_str()), 1);
    EXPECT_EQ(GetParam().get(), repeat(256));
}

TEST_P(KerberosRealm, RefusesAndKeepsFieldBeyond256) {
    ASSERT_EQ(GetParam().set("CORP.EXAMPLE"), 1);
    EXPECT_EQ(GetParam().set(repeat(257).c_str()), 0);
    EXPECT_STREQ(GetParam().get(), "CORP.EXAMPLE");
    EXPECT_TRUE(logged(Level::Warn, "realm name " + repeat(257) + " exceeds the maximum length of 256"));
}

TEST_P(KerberosRealm, EmptyOrMarkerStoresMarker) {
    for (const char *none : {"", "\n"}) {
        ASSERT_EQ(GetParam().set("CORP.EXAMPLE"), 1);
        EXPECT_EQ(GetParam().set(none), 1);
        EXPECT_STREQ(GetParam().get(), "\n");
    }
}

TEST_P(KerberosRealm, RefusesNullAndKeepsField) {
    ASSERT_EQ(GetParam().set("CORP.EXAMPLE"), 1);
    EXPECT_EQ(GetParam().set(nullptr), 0);
    EXPECT_STREQ(GetParam().get(), "CORP.EXAMPLE");
    EXPECT_EQ(messages(Level::Warn).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Fields, KerberosRealm,
                         ::testing::Values(RealmField{"new", sm_set_new_realm_name, sm_get_new_realm_name},
                                           RealmField{"current", sm_set_current_realm_name,
                                                      sm_get_current_realm_name}),
                         [](const auto &param_info) { return std::string(param_info.param.name); });

TEST_F(KerberosData, RealmCompareIsCaseBlindAndExact) {
    ASSERT_EQ(sm_set_current_realm_name("CORP.EXAMPLE"), 1);
    EXPECT_EQ(sm_compare_current_realm_name("corp.example"), 1);
    EXPECT_EQ(sm_compare_current_realm_name("corp.exampl"), 0);
    EXPECT_EQ(sm_compare_current_realm_name(nullptr), 0);
    ASSERT_EQ(sm_set_current_realm_name(""), 1);
    EXPECT_EQ(sm_compare_current_realm_name("\n"), 1);
    EXPECT_EQ(sm_compare_current_realm_name(""), 0);
}

TEST_F(KerberosData, ServerStoresUpTo255AndRefusesLonger) {
    EXPECT_EQ(sm_set_current_krb_server(repeat(255).c_str()), 1);
    EXPECT_EQ(sm_get_current_krb_server(), repeat(255));
    EXPECT_EQ(sm_set_current_krb_server(repeat(256, 'b').c_str()), 0);
    EXPECT_EQ(sm_get_current_krb_server(), repeat(255));
    EXPECT_TRUE(logged(Level::Warn, "krb_server " + repeat(256, 'b') + " exceeds the maximum length of 255"));
    EXPECT_EQ(sm_compare_current_krb_server(repeat(255, 'A').c_str()), 1);
}

TEST_F(KerberosData, NullOrEmptyServerEmptiesField) {
    for (const char *empty : {static_cast<const char *>(nullptr), ""}) {
        ASSERT_EQ(sm_set_current_krb_server("kdc1.corp.example"), 1);
        EXPECT_EQ(sm_set_current_krb_server(empty), 1);
        EXPECT_EQ(sm_get_current_krb_server(), nullptr);
    }
    EXPECT_EQ(messages(Level::LibInfo),
              (std::vector<std::string>{"Null krb_server passed into SMB data.",
                                        "The current krb_server in configuration is NULL",
                                        "Null krb_server passed into SMB data.",
                                        "The current krb_server in configuration is NULL"}));
    EXPECT_EQ(sm_compare_current_krb_server(nullptr), 0);
}

TEST_F(KerberosData, AddressStoresUpTo54Characters) {
    const std::string bracketed = "[ffff:ffff:ffff:ffff:ffff:ffff:255.255.255.255]:65535";
    ASSERT_EQ(bracketed.size(), 53u);
    EXPECT_EQ(sm_set_current_krb_internet_address(bracketed.c_str()), 1);
    EXPECT_EQ(sm_get_current_krb_internet_address(), bracketed);

    EXPECT_EQ(sm_set_current_krb_internet_address(repeat(54, '1').c_str()), 1);
    EXPECT_EQ(sm_set_current_krb_internet_address(repeat(55, '2').c_str()), 0);
    EXPECT_EQ(sm_get_current_krb_internet_address(), repeat(54, '1'));
    EXPECT_TRUE(logged(Level::Warn, "IP address for Kerberos data is too long"));
}

TEST_F(KerberosData, NoAddressTextsStoreNoAddress) {
    for (const char *none : {"", "0.0.0.0", "0.0.0.0:88"}) {
        ASSERT_EQ(sm_set_current_krb_internet_address("192.0.2.7:88"), 1);
        EXPECT_EQ(sm_set_current_krb_internet_address(none), 1) << none;
        EXPECT_EQ(sm_compare_current_krb_internet_address("0.0.0.0"), 1) << none;
        EXPECT_STREQ(sm_get_current_krb_internet_address(), "0.0.0.0");
    }
    EXPECT_TRUE(logged(Level::LibInfo, "Null IP address passed into Kerberos data."));
    EXPECT_TRUE(logged(Level::LibInfo, "Null IP address in Kerberos data."));
}

TEST_F(KerberosData, NullAddressIsRefused) {
    ASSERT_EQ(sm_set_current_krb_internet_address("192.0.2.7"), 1);
    EXPECT_EQ(sm_set_current_krb_internet_address(nullptr), 0);
    EXPECT_STREQ(sm_get_current_krb_internet_address(), "192.0.2.7");
    EXPECT_EQ(sm_compare_current_krb_internet_address(nullptr), 0);
}

}  // namespace
