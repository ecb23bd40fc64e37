// The remembered SMB settings: limits of each field, the no-name marker and
// the no-address text, case-blind compares, and null arguments.
#include <gtest/gtest.h>

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
    EXPECT_EQ(log_lines(), (std::vector<std::string>{
                               "LIBINFO The current hostname in configuration is NULL",
                               "LIBINFO The current domain name in configuration is NULL",
                               "LIBINFO Null IP address in SMB data.",
                           }));
}

TEST_F(SambaData, AuthServiceUsedAcceptsZeroToThree) {
    EXPECT_EQ(sm_set_current_Auth_Service_Used(3), 1);
    EXPECT_EQ(sm_get_current_Auth_Service_Used(), 3u);
    EXPECT_EQ(sm_set_current_Auth_Service_Used(4), 0);
    EXPECT_EQ(sm_set_current_Auth_Service_Used(UINT32_MAX), 0);
    EXPECT_EQ(sm_get_current_Auth_Service_Used(), 3u);
    EXPECT_TRUE(logs().empty());
}

// The new and the current domain follow the same rules.
struct DomainField {
    const char *name;
    int (*set)(const char *);
    const char *(*get)();
};

class SambaDomain : public SambaData, public ::testing::WithParamInterface<DomainField> {};

TEST_P(SambaDomain, StoresUpTo255Characters) {
    EXPECT_EQ(GetParam().set(repeat(255).c_str()), 1);
    EXPECT_EQ(GetParam().get(), repeat(255));
}

TEST_P(SambaDomain, RefusesAndKeepsFieldBeyond255) {
    ASSERT_EQ(GetParam().set("CORP"), 1);
    EXPECT_EQ(GetParam().set(repeat(256).c_str()), 0);
    EXPECT_STREQ(GetParam().get(), "CORP");
    EXPECT_TRUE(logged(Level::Warn, "domain name " + repeat(256) + " exceeds the maximum length of 256"));
}

TEST_P(SambaDomain, EmptyStoresNoNameMarker) {
    EXPECT_EQ(GetParam().set(""), 1);
    EXPECT_STREQ(GetParam().get(), "\n");
}

TEST_P(SambaDomain, RefusesNullAndKeepsField) {
    ASSERT_EQ(GetParam().set("CORP"), 1);
    EXPECT_EQ(GetParam().set(nullptr), 0);
    EXPECT_STREQ(GetParam().get(), "CORP");
    EXPECT_EQ(messages(Level::Warn).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Fields, SambaDomain,
                         ::testing::Values(DomainField{"new", sm_set_new_domain_name, sm_get_new_domain_name},
                                           DomainField{"current", sm_set_current_domain_name,
                                                       sm_get_current_domain_name}),
                         [](const auto &param_info) { return std::string(param_info.param.name); });

TEST_F(SambaData, DomainCompareIsCaseBlindAndExact) {
    ASSERT_EQ(sm_set_current_domain_name("CORP.EXAMPLE"), 1);
    EXPECT_EQ(sm_compare_current_domain_name("corp.example"), 1);
    EXPECT_EQ(sm_compare_current_domain_name("corp"), 0);
    EXPECT_EQ(sm_compare_current_domain_name("corp.example2"), 0);
    EXPECT_EQ(sm_compare_current_domain_name(nullptr), 0);
    ASSERT_EQ(sm_set_current_domain_name(""), 1);
    EXPECT_EQ(sm_compare_current_domain_name("\n"), 1);
    EXPECT_EQ(sm_compare_current_domain_name(""), 0);
}

TEST_F(SambaData, EmptyFieldComparesEqualOnlyToEmptyText) {
    EXPECT_EQ(sm_compare_current_domain_name(""), 1);
    EXPECT_EQ(sm_compare_current_domain_name("\n"), 0);
    EXPECT_EQ(sm_compare_current_hostname(""), 1);
    EXPECT_EQ(sm_compare_current_internet_address("0.0.0.0"), 0);
}

TEST_F(SambaData, HostnameStoresUpTo255AndRefusesLonger) {
    EXPECT_EQ(sm_set_current_hostname(repeat(255).c_str()), 1);
    EXPECT_EQ(sm_get_current_hostname(), repeat(255));
    EXPECT_EQ(sm_set_current_hostname(repeat(256, 'b').c_str()), 0);
    EXPECT_EQ(sm_get_current_hostname(), repeat(255));
    EXPECT_TRUE(logged(Level::Warn, "hostname " + repeat(256, 'b') + " exceeds the maximum length of 255"));
    EXPECT_EQ(sm_compare_current_hostname(repeat(255, 'A').c_str()), 1);
}

TEST_F(SambaData, NullOrEmptyHostnameEmptiesField) {
    for (const char *empty : {static_cast<const char *>(nullptr), ""}) {
        ASSERT_EQ(sm_set_current_hostname("dc1.corp.example"), 1);
        EXPECT_EQ(sm_set_current_hostname(empty), 1);
        EXPECT_STREQ(sm_get_current_hostname(), "");
    }
    EXPECT_EQ(messages(Level::LibInfo),
              (std::vector<std::string>{"Null hostname passed into SMB data.",
                                        "The current hostname in configuration is NULL",
                                        "Null hostname passed into SMB data.",
                                        "The current hostname in configuration is NULL"}));
    EXPECT_EQ(sm_compare_current_hostname(nullptr), 0);
}

TEST_F(SambaData, AddressStoresUpTo22Characters) {
    const std::string longest = "192.168.100.200:65535x";  // 22
    ASSERT_EQ(longest.size(), 22u);
    EXPECT_EQ(sm_set_current_internet_address(longest.c_str()), 1);
    EXPECT_EQ(sm_get_current_internet_address(), longest);
    EXPECT_EQ(sm_set_current_internet_address((longest + "9").c_str()), 0);
    EXPECT_EQ(sm_get_current_internet_address(), longest);
    EXPECT_TRUE(logged(Level::Warn, "IP address for SMB data is too long"));
    EXPECT_EQ(sm_compare_current_internet_address("192.168.100.200:65535X"), 1);
}

TEST_F(SambaData, NoAddressTextsStoreNoAddress) {
    for (const char *none : {"", "0.0.0.0", "0.0.0.0:445"}) {
        ASSERT_EQ(sm_set_current_internet_address("192.0.2.10"), 1);
        EXPECT_EQ(sm_set_current_internet_address(none), 1) << none;
        EXPECT_EQ(sm_compare_current_internet_address("0.0.0.0"), 1) << none;
        EXPECT_STREQ(sm_get_current_internet_address(), "0.0.0.0");
    }
    EXPECT_EQ(messages(Level::LibInfo).size(), 6u);
    EXPECT_TRUE(logged(Level::LibInfo, "Null IP address passed into SMB data."));
    EXPECT_TRUE(logged(Level::LibInfo, "Null IP address in SMB data."));
}

TEST_F(SambaData, NullAddressIsRefused) {
    ASSERT_EQ(sm_set_current_internet_address("192.0.2.10"), 1);
    EXPECT_EQ(sm_set_current_internet_address(nullptr), 0);
    EXPECT_STREQ(sm_get_current_internet_address(), "192.0.2.10");
    EXPECT_EQ(sm_compare_current_internet_address(nullptr), 0);
}

}  // namespace
