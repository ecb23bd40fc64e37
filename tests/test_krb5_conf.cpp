// The four /etc/krb5.conf builders and the smart-card krb5.conf: each written
// file compared whole with its golden file tests/data/krb/<case>.conf (which
// check_verify_krb5_conf.cpp hands to Heimdal), what a failure or a refusal
// leaves behind, the realm remembered, and the message that tells why.
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tavrel/tavrel.h"
#include "tavrel_test.h"

namespace {

using host::Level;

// What the fixed path holds afterwards: the case's golden file (the builder
// returns 1), or (it returns 0) the previous file or nothing.
enum class File { written, kept, removed };

struct Case {
    const char *name;
    std::string settings;  // TOML snapshot
    int (*build)();
    File file;
    const char *current_realm;  // remembered afterwards; null: none
    const char *message;        // in exactly one record's message, or null
    bool smart_card = false;    // writes /usr/heimdal/etc/krb5.conf
};
void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }

// Every case starts from these files, to show what a failure leaves behind.
constexpr std::array<const char *, 2> kFixed = {"/etc/krb5.conf", "/usr/heimdal/etc/krb5.conf"};
constexpr char kPrevious[] = "# previous\n";

// Added to every case's settings but one that brings its own [platform].
const std::string kPlatform =
    "[platform]\nfips = false\nhosts = { \"kdc2.corp.example\" = \"192.0.2.2\", "
    "\"kdc6.corp.example\" = \"2001:db8::6\", \"corp.example\" = \"192.0.2.9\" }\n";

// A stored service: KDC by host name or address (the other ""), port 88, and
// a backup KDC by address (0.0.0.0: none).
std::string service(const std::string &realm, const std::string &kdc, const std::string &address,
                    const std::string &backup_address = "0.0.0.0", int backup_port = 88) {
    return "[[kerberos]]\nrealm = \"" + realm + "\"\nkdc = \"" + kdc + "\"\nkdc_address = \"" + address +
           "\"\nkdc_port = 88\nbackup_kdc = \"\"\nbackup_kdc_address = \"" + backup_address +
           "\"\nbackup_kdc_port = " + std::to_string(backup_port) + "\n";
}
const std::string kCorp = service("CORP.EXAMPLE", "", "192.0.2.7");
const std::string kOrg = service("EXAMPLE.ORG", "", "192.0.2.20");

// The caller-driven builders on a writable copy of the caller's realm; once
// the file is written, the builder has upper-cased that copy in place.
template <typename Build>
int with_realm(const char *realm, Build build) {
    std::string copy = realm ? realm : "";
    const int result = build(realm ? copy.data() : nullptr);
    if (result == 1) {
        EXPECT_TRUE(std::none_of(copy.begin(), copy.end(), [](unsigned char ch) { return std::islower(ch); }))
            << copy;
    }
    return result;
}
int realm_only(const char *realm) { return with_realm(realm, cf_build_krb_config_file_with_realm_only); }
int with_service(const char *realm, int service) {
    return with_realm(realm, [=](char *r) { return cf_build_krb_conf_file_with_this(r, service); });
}
int cac(const char *realm, const char *kdc, int port = 88, int win2k = 0) {
    return with_realm(realm, [=](char *r) { return cf_build_krb_conf_file_for_CAC(r, kdc, port, win2k); });
}
int record(krb_server_settings r) { return cf_build_krb_conf_with_XML_data(&r); }
// The record builder on a sound record that damage spoils.
int spoilt(void (*damage)(krb_server_settings &)) {
    krb_server_settings r{"CORP.EXAMPLE", "", "192.0.2.5", 88, "", "", 0};
    damage(r);
    return record(r);
}

using F = File;
const std::vector<Case> kCases = {
    {"UnresolvedHostNameAndBackupAddress", service("CORP.EXAMPLE", "kdc1.corp.example", "", "192.0.2.7"),
     build_krb5_conf, F::written, "CORP.EXAMPLE", "Unable to get valid IP, using hostname instead"},
    {"OnlyServiceOne", service("CORP.EXAMPLE", "kdc2.corp.example", ""), build_krb5_conf, F::written, "CORP.EXAMPLE",
     "Some Failures [8] where detected when building krb.conf"},
    {"EmptyFirstRealmGivesSecondAsDefault", service("", "", "192.0.2.7") + kOrg, build_krb5_conf, F::written,
     "EXAMPLE.ORG", "get_a_default_domain_for_Kerberos invalid Kerberos realm for entry (1)"},
    {"OnlyServiceFiveGivesNoDefaultRealm", "[[kerberos]]\n[[kerberos]]\n[[kerberos]]\n[[kerberos]]\n" + kCorp,
     build_krb5_conf, F::removed, nullptr, "Could not set the default Kerberos realm"},
    {"NoUsableServiceRemovesFile", "[[kerberos]]\nrealm = \"CORP.EXAMPLE\"\n", build_krb5_conf, F::removed,
     "CORP.EXAMPLE", "All realms for Kerberos are set incorrectly"},
    {"HostNameResolvingToIpv6", service("CORP.EXAMPLE", "kdc6.corp.example", ""), build_krb5_conf, F::written,
     "CORP.EXAMPLE", "New IPv6 address is [[2001:db8::6]]"},
    {"AllZeroIpv6BackupOnPort88IsLeftOut", service("CORP.EXAMPLE", "", "192.0.2.7", "::"), build_krb5_conf,
     F::written, "CORP.EXAMPLE", nullptr},
    {"AllZeroIpv6BackupOnPort750IsWritten", service("CORP.EXAMPLE", "", "192.0.2.7", "::", 750), build_krb5_conf,
     F::written, "CORP.EXAMPLE", nullptr},
    {"UnreadableBackupHostNameKeepsClosedEntry", kCorp + kOrg + "[attributes]\n35 = { error = 5 }\n",
     build_krb5_conf, F::written, "CORP.EXAMPLE", "Could not retrieve backup hostname for service ID [1]"},
    {"LowerCaseRealmInCapitals", service("corp.example", "", "192.0.2.7"), build_krb5_conf, F::written,
     "CORP.EXAMPLE", nullptr},
    {"FipsModeLeavesOutEnctypes", "[platform]\nfips = true\n" + kCorp, build_krb5_conf, F::written, "CORP.EXAMPLE",
     nullptr},
    // Stored texts that would break the file leave their service out.
    {"StoredHostNameWithBrace", service("CORP.EXAMPLE", "kdc}.corp.example", "") + kOrg, build_krb5_conf,
     F::written, "CORP.EXAMPLE", "Could not retrieve hostname for service ID [1]"},
    {"StoredHostNameWithLineFeed", service("CORP.EXAMPLE", "kdc\\n[realms]", "") + kOrg, build_krb5_conf,
     F::written, "CORP.EXAMPLE", "Could not retrieve hostname for service ID [1]"},
    {"StoredAddressWithQuote", service("CORP.EXAMPLE", "", "192.0.2.7\\\"") + kOrg, build_krb5_conf, F::written,
     "CORP.EXAMPLE", "Could not retrieve IP address for service ID [1]"},
    {"StoredRealmWithBrace", service("CORP}.EXAMPLE", "", "192.0.2.7") + kOrg, build_krb5_conf, F::written,
     "EXAMPLE.ORG", "Realm [1] is not set in datastore"},

    {"RecordAddressWinsOverHostName",
     "", [] { return record({"CORP.EXAMPLE", "kdc2.corp.example", "192.0.2.5", 88, "", "", 0}); }, F::written,
     "\n", "Could not set backup hostname for krb config file"},
    {"RecordPorts0And65535LeftOff",
     "", [] { return record({"CORP.EXAMPLE", "", "192.0.2.5", 0, "", "192.0.2.8", 65535}); }, F::written, "\n",
     nullptr},
    {"RecordHostNamesResolvedOrKept",
     "", [] { return record({"corp.example", "kdc2.corp.example", "", 88, "kdc1.corp.example", "", 750}); },
     F::written, "\n", nullptr},
    {"RecordIpv6Bracketed",
     "", [] { return record({"CORP.EXAMPLE", "", "2001:db8::5", 88, "kdc6.corp.example", "", 750}); }, F::written,
     "\n", nullptr},
    {"RecordWithoutKdcKeepsPreviousFile", "", [] { return record({"CORP.EXAMPLE", "", "", 0, "", "192.0.2.8", 0}); },
     F::kept, "\n", "Could not write out hostname for kerberos config file"},

    {"RealmOnlyWithServiceOnePort", "[attributes]\n32 = { address = \"\", port = 750 }\n",
     [] { return realm_only("corp.example"); }, F::written, "\n", "Kerberos Configuration Setup Successful"},
    {"RealmOnlyWithoutServiceOnePort", "", [] { return realm_only("CORP.EXAMPLE"); }, F::written, "\n",
     "Port Value For Kerberos Server Not available, using [88]"},
    {"RealmOnlyUnresolvedRemovesFile", "", [] { return realm_only("unknown.example"); }, F::removed, "\n",
     "Unable to get ip address for realm [unknown.example]"},

    {"ServiceKdcsUnderCallerRealm",
     service("ONE.EXAMPLE", "", "192.0.2.1") + service("", "kdc2.corp.example", "", "192.0.2.8", 750),
     [] { return with_service("corp.example", 2); }, F::written, "\n", nullptr},
    {"ServiceUnusableRemovesFile", kCorp + "[attributes]\n35 = { error = 5 }\n",
     [] { return with_service("CORP.EXAMPLE", 1); }, F::removed, "\n", "Server Settings [1] are unusable"},

    {"Cac", "", [] { return cac("corp.example", "dc1.corp.example"); }, F::written, nullptr, nullptr, true},
    {"CacWin2kAnyNonZero", "", [] { return cac("corp.example", "dc1.corp.example", 88, 5); }, F::written, nullptr,
     nullptr, true},
    {"CacPort0", "", [] { return cac("corp.example", "192.0.2.3", 0); }, F::written, nullptr, nullptr, true},
    {"CacNegativePort", "", [] { return cac("corp.example", "dc1.corp.example", -1); }, F::written, nullptr, nullptr,
     true},
    {"CacIpv6KdcBracketed", "", [] { return cac("corp.example", "2001:db8::3"); }, F::written, nullptr, nullptr, true},

    // Caller texts that are null, would break a file, or end outside their
    // field are refused before any file is opened.
    {"RecordNull", "", [] { return cf_build_krb_conf_with_XML_data(nullptr); }, F::kept, nullptr,
     "No Kerberos Settings for config file!"},
    {"RecordRealmUnterminated", "", [] { return spoilt([](auto &r) { std::memset(r.realm, 'A', sizeof r.realm); }); },
     F::kept, nullptr, "setting realm is not terminated within its 256 bytes"},
    {"RecordBackupAddressUnterminated", "",
     [] { return spoilt([](auto &r) { std::memset(r.backup_kdc_ip_address, '1', sizeof r.backup_kdc_ip_address); }); },
     F::kept, nullptr, "setting backup_kdc_ip_address is not terminated within its 40 bytes"},
    {"RecordRealmLineFeed", "", [] { return spoilt([](auto &r) { std::strcpy(r.realm, "CORP.EXAMPLE\n[realms]"); }); },
     F::kept, nullptr, "setting realm holds a blank, control or reserved character"},
    {"RecordHostNameBrace", "", [] { return spoilt([](auto &r) { std::strcpy(r.kdc_hostname, "kdc}.example"); }); },
     F::kept, nullptr, "setting kdc_hostname holds a blank, control or reserved character"},
    {"RecordAddressQuote", "", [] { return spoilt([](auto &r) { std::strcpy(r.kdc_ip_address, "192.0.2.5\""); }); },
     F::kept, nullptr, "setting kdc_ip_address holds a blank, control or reserved character"},
    {"RecordBackupHostNameBlank", "", [] { return spoilt([](auto &r) { std::strcpy(r.backup_kdc_hostname, "a b"); }); },
     F::kept, nullptr, "setting backup_kdc_hostname holds a blank, control or reserved character"},
    {"RealmOnlyNull", "", [] { return realm_only(nullptr); }, F::kept, nullptr,
     "Realm [(null)] is not a qualified realm"},
    {"RealmOnlyBrace", "", [] { return realm_only("corp}.example"); }, F::kept, nullptr,
     "Realm [corp}.example] is not a qualified realm"},
    {"ServiceNullRealm", "", [] { return with_service(nullptr, 1); }, F::kept, nullptr,
     "Realm [(null)] is not a qualified realm"},
    {"ServiceRealmQuote", "", [] { return with_service("CORP\".EXAMPLE", 1); }, F::kept, nullptr,
     "Realm [CORP\".EXAMPLE] is not a qualified realm"},
    {"Service0", "", [] { return with_service("CORP.EXAMPLE", 0); }, F::kept, nullptr,
     "Server Setting [0] is not in range"},
    {"Service10", "", [] { return with_service("CORP.EXAMPLE", 10); }, F::kept, nullptr,
     "Server Setting [10] is not in range"},
    {"CacRealmLineFeed", "", [] { return cac("CORP\n", "dc1"); }, F::kept, nullptr, "Refusing the realm argument"},
    {"CacRealmClosingBrace", "", [] { return cac("CORP}", "dc1"); }, F::kept, nullptr, "Refusing the realm argument"},
    {"CacRealmOpeningBrace", "", [] { return cac("CORP{", "dc1"); }, F::kept, nullptr, "Refusing the realm argument"},
    {"CacRealmHash", "", [] { return cac("CORP#1", "dc1"); }, F::kept, nullptr, "Refusing the realm argument"},
    {"CacRealmNull", "", [] { return cac(nullptr, "dc1"); }, F::kept, nullptr, "Refusing the realm argument"},
    {"CacKdcLineFeed", "", [] { return cac("CORP", "dc1\n[x]"); }, F::kept, nullptr, "Refusing the kdc argument"},
    {"CacKdcQuote", "", [] { return cac("CORP", "\"dc1"); }, F::kept, nullptr, "Refusing the kdc argument"},
    {"CacKdcBlank", "", [] { return cac("CORP", "dc 1"); }, F::kept, nullptr, "Refusing the kdc argument"},
    {"CacKdcNull", "", [] { return cac("CORP", nullptr); }, F::kept, nullptr, "Refusing the kdc argument"},
};

std::string golden(const std::string &name) {
    std::ifstream in(tavrel_test::source_path("tests/data/krb/" + name + ".conf"), std::ios::binary);
    EXPECT_TRUE(in) << "no golden file for " << name;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::optional<std::string> text_or_null(const char *text) {
    return text ? std::optional<std::string>(text) : std::nullopt;
}

class Krb5Build : public tavrel_test::TavrelTest, public ::testing::WithParamInterface<Case> {};

TEST_P(Krb5Build, LeavesTheExpectedFileRealmAndMessage) {
    const Case &c = GetParam();
    for (const char *fixed : kFixed) write(fixed, kPrevious);
    load(c.settings.find("[platform]") == std::string::npos ? c.settings + kPlatform : c.settings);
    EXPECT_EQ(c.build(), c.file == File::written ? 1 : 0);
    EXPECT_EQ(read(kFixed[c.smart_card]),
              c.file == File::written ? golden(c.name) : text_or_null(c.file == File::kept ? kPrevious : nullptr));
    EXPECT_EQ(read(kFixed[!c.smart_card]), kPrevious);
    EXPECT_EQ(text_or_null(sm_get_current_realm_name()), text_or_null(c.current_realm));
    const auto count = std::count_if(logs().begin(), logs().end(), [&](const auto &r) {
        return c.message && r.message.find(c.message) != std::string::npos;
    });
    EXPECT_EQ(count, c.message ? 1 : 0) << c.message;
}

INSTANTIATE_TEST_SUITE_P(Situations, Krb5Build, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case> &p) { return std::string(p.param.name); });

using Krb5Builders = tavrel_test::TavrelTest;

TEST_F(Krb5Builders, UnopenableFilesAreReported) {
    std::filesystem::remove_all(path("/etc"));
    std::filesystem::remove_all(path("/usr/heimdal/etc"));
    load(kCorp + kPlatform);
    EXPECT_EQ(build_krb5_conf(), 0);
    EXPECT_TRUE(logged(Level::Error, "build_krb5_conf - Error opening file /etc/krb5.conf"));
    EXPECT_EQ(cac("CORP.EXAMPLE", "dc1"), 0);
    EXPECT_TRUE(
        logged(Level::Error, "cf_build_krb_conf_file_for_CAC - Error opening file /usr/heimdal/etc/krb5.conf"));
    EXPECT_EQ(sm_get_current_realm_name(), nullptr);
}

// A file that cannot be written whole is not put in place.
TEST_F(Krb5Builders, FailedWriteKeepsThePreviousFile) {
    write("/etc/krb5.conf", kPrevious);
    load(kCorp + kPlatform);
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
