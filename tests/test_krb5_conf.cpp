// The four /etc/krb5.conf builders and the smart-card krb5.conf: whole files
// byte for byte, what a failure leaves behind, the realm remembered, and
// refusals of caller texts that would break a file.
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "krb5_cases.h"
#include "tavrel_test.h"

namespace {

using host::Level;
using krb5_cases::Case;
using krb5_cases::kPrevious;

class Krb5File : public tavrel_test::TavrelTest, public ::testing::WithParamInterface<Case> {};

TEST_P(Krb5File, IsWrittenExactlyAndTheRealmRemembered) {
    const Case &c = GetParam();
    const char *fixed = krb5_cases::fixed_path(c.builder);
    write(fixed, kPrevious);
    EXPECT_EQ(krb5_cases::run(c), c.result);
    EXPECT_EQ(read(fixed), c.file ? std::optional<std::string>(c.file) : std::nullopt);
    const char *current = sm_get_current_realm_name();
    EXPECT_EQ(current ? std::optional<std::string>(current) : std::nullopt,
              c.current_realm ? std::optional<std::string>(c.current_realm) : std::nullopt);
    const auto count = std::count_if(logs().begin(), logs().end(),
                                     [&](const auto &r) { return c.message && r.message == c.message; });
    EXPECT_EQ(count, c.message ? 1 : 0) << c.message;
}

INSTANTIATE_TEST_SUITE_P(Situations, Krb5File, ::testing::ValuesIn(krb5_cases::all()), krb5_cases::case_name);

// Caller texts with a line feed, brace, quote, blank, or no end inside
// their field: one error, and no file is touched.
struct Damage {
    const char *name;
    void (*apply)(krb_server_settings &);
};
void PrintTo(const Damage &d, std::ostream *os) { *os << d.name; }

class Krb5Record : public tavrel_test::TavrelTest, public ::testing::WithParamInterface<Damage> {};

TEST_P(Krb5Record, UnsoundFieldIsRefusedBeforeTheFileIsOpened) {
    write("/etc/krb5.conf", kPrevious);
    krb_server_settings r{};
    std::strcpy(r.realm, "CORP.EXAMPLE");
    std::strcpy(r.kdc_ip_address, "192.0.2.5");
    GetParam().apply(r);
    EXPECT_EQ(cf_build_krb_conf_with_XML_data(&r), 0);
    EXPECT_EQ(read("/etc/krb5.conf"), kPrevious);
    EXPECT_EQ(messages(Level::Error).size(), 1u);
    EXPECT_EQ(sm_get_current_realm_name(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, Krb5Record,
    ::testing::Values(Damage{"RealmUnterminated", [](auto &r) { std::memset(r.realm, 'A', sizeof r.realm); }},
                      Damage{"AddressUnterminated",
                             [](auto &r) { std::memset(r.backup_kdc_ip_address, '1', sizeof r.backup_kdc_ip_address); }},
                      Damage{"RealmLineFeed", [](auto &r) { std::strcpy(r.realm, "CORP.EXAMPLE\n[realms]"); }},
                      Damage{"HostNameBrace", [](auto &r) { std::strcpy(r.kdc_hostname, "kdc}.corp.example"); }},
                      Damage{"AddressQuote", [](auto &r) { std::strcpy(r.kdc_ip_address, "192.0.2.5\""); }},
                      Damage{"BackupHostNameBlank", [](auto &r) { std::strcpy(r.backup_kdc_hostname, "a b"); }}),
    [](const ::testing::TestParamInfo<Damage> &p) { return std::string(p.param.name); });

struct CacArguments {
    const char *realm;
    const char *kdc;
    const char *refused;  // the argument the message names
};
void PrintTo(const CacArguments &a, std::ostream *os) { *os << a.refused; }

class CacRefusal : public tavrel_test::TavrelTest, public ::testing::WithParamInterface<CacArguments> {};

TEST_P(CacRefusal, NamesTheArgumentAndWritesNothing) {
    const CacArguments &a = GetParam();
    std::string realm = a.realm ? a.realm : "";
    EXPECT_EQ(cf_build_krb_conf_file_for_CAC(a.realm ? realm.data() : nullptr, a.kdc, 88, 0), 0);
    EXPECT_FALSE(exists("/usr/heimdal/etc/krb5.conf"));
    const auto errors = messages(Level::Error);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find(std::string("the ") + a.refused + " argument"), std::string::npos) << errors[0];
}

INSTANTIATE_TEST_SUITE_P(Arguments, CacRefusal,
                         ::testing::Values(CacArguments{"CORP.EXAMPLE\n", "dc1", "realm"},
                                           CacArguments{"CORP}", "dc1", "realm"}, CacArguments{"CORP{", "dc1", "realm"},
                                           CacArguments{"CORP#1", "dc1", "realm"}, CacArguments{nullptr, "dc1", "realm"},
                                           CacArguments{"CORP", "dc1\n[x]", "kdc"}, CacArguments{"CORP", "\"dc1", "kdc"},
                                           CacArguments{"CORP", "dc 1", "kdc"}, CacArguments{"CORP", nullptr, "kdc"}));

using Krb5Builders = tavrel_test::TavrelTest;

TEST_F(Krb5Builders, CacUpperCasesTheCallersRealm) {
    char realm[] = "corp.example";
    EXPECT_EQ(cf_build_krb_conf_file_for_CAC(realm, "dc1.corp.example", 88, 0), 1);
    EXPECT_STREQ(realm, "CORP.EXAMPLE");
}

TEST_F(Krb5Builders, NullArgumentsAreRefused) {
    write("/etc/krb5.conf", kPrevious);
    EXPECT_EQ(cf_build_krb_conf_with_XML_data(nullptr), 0);
    EXPECT_TRUE(logged(Level::Error, "No Kerberos Settings for config file!"));
    EXPECT_EQ(cf_build_krb_config_file_with_realm_only(nullptr), 0);
    EXPECT_EQ(cf_build_krb_conf_file_with_this(nullptr, 1), 0);
    EXPECT_EQ(read("/etc/krb5.conf"), kPrevious);
}

TEST_F(Krb5Builders, UnopenableFilesAreReported) {
    std::filesystem::remove_all(path("/etc"));
    std::filesystem::remove_all(path("/usr/heimdal/etc"));
    load(krb5_cases::all()[0].settings);
    EXPECT_EQ(build_krb5_conf(), 0);
    EXPECT_TRUE(logged(Level::Error, "build_krb5_conf - Error opening file /etc/krb5.conf"));
    char realm[] = "CORP.EXAMPLE";
    EXPECT_EQ(cf_build_krb_conf_file_for_CAC(realm, "dc1", 88, 0), 0);
    EXPECT_TRUE(logged(Level::Error, "cf_build_krb_conf_file_for_CAC - Error opening file /usr/heimdal/etc/krb5.conf"));
    EXPECT_EQ(sm_get_current_realm_name(), nullptr);
}

// A file that cannot be written whole is not put in place.
TEST_F(Krb5Builders, FailedWriteKeepsThePreviousFile) {
    write("/etc/krb5.conf", kPrevious);
    load(krb5_cases::all()[0].settings);
    signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 16;
    setrlimit(RLIMIT_FSIZE, &small);
    const int result = build_krb5_conf();
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(read("/etc/krb5.conf"), kPrevious);
    EXPECT_TRUE(logged(Level::Error, "Failed to write /etc/krb5.conf: File too large"));
}

}  // namespace
