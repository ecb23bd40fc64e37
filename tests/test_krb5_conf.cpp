// The four /etc/krb5.conf builders and the smart-card krb5.conf: each written
// file compared whole with its golden file tests/data/krb/<case>.conf (which
// check_readers.cpp hands to Heimdal), what a failure or a refusal
// leaves behind, the realm remembered, and the messages that tell why.
#include <cstring>
#include <span>

#include "builds.h"

namespace {

using namespace tavrel_test::builds;

// Every case starts from these files, to show what a failure leaves behind.
constexpr const char *kFixed[] = {"/etc/krb5.conf", "/usr/heimdal/etc/krb5.conf"};
constexpr char kPrevious[] = "# previous\n", kNoName[] = "\n", kRealm[] = "CORP.EXAMPLE";

// Added to every case's settings but one that brings its own [platform].
const std::string kPlatform =
    "[platform]\nfips = false\nhosts = { \"kdc2.corp.example\" = \"192.0.2.2\", "
    "\"kdc6.corp.example\" = \"2001:db8::6\", \"corp.example\" = \"192.0.2.9\" }\n";

// A stored service: KDC by host name or address (the other ""), port 88, and
// a backup KDC by address (0.0.0.0: none).
std::string service(const std::string &realm, const std::string &kdc, const std::string &address,
                    const std::string &backup_address = "0.0.0.0", int backup_port = 88, const std::string &backup = "") {
    return "[[kerberos]]\nrealm = \"" + realm + "\"\nkdc = \"" + kdc + "\"\nkdc_address = \"" + address +
           "\"\nkdc_port = 88\nbackup_kdc = \"" + backup + "\"\nbackup_kdc_address = \"" + backup_address +
           "\"\nbackup_kdc_port = " + std::to_string(backup_port) + "\n";
}
const std::string kCorp = service(kRealm, "", "192.0.2.7");
const std::string kSevenUnset = "[[kerberos]]\n[[kerberos]]\n[[kerberos]]\n[[kerberos]]\n[[kerberos]]\n[[kerberos]]\n[[kerberos]]\n";
// As long as a realm buffer holds.
const std::string kLabel(63, 'R'), kLongestRealm = kLabel + "." + kLabel + "." + kLabel + "." + kLabel;

// The record builder on a sound record whose text field (in declaration
// order) holds the text, or (null) is filled to its end without a NUL.
constexpr const char *kRecordFields[] = {"realm", "kdc_hostname", "kdc_ip_address", "backup_kdc_hostname",
                                         "backup_kdc_ip_address"};
int spoilt(int field, const char *text) {
    krb_server_settings r{"CORP.EXAMPLE", "", "192.0.2.5", 88, "", "", 0};
    const std::span<char> f = std::array<std::span<char>, 5>{r.realm, r.kdc_hostname, r.kdc_ip_address,
                                                              r.backup_kdc_hostname, r.backup_kdc_ip_address}[field];
    text ? (void)std::strcpy(f.data(), text) : (void)std::memset(f.data(), 'A', f.size());
    return record(r);
}

// The golden file of a written case; or the builder returns 0 and leaves the
// previous file, or none.
enum class F { written, kept, removed };

struct Case {
    const char *name;
    std::string settings;                    // TOML snapshot
    F file;
    const char *realm;                       // remembered afterwards; null: none
    std::vector<std::string> messages = {};  // each in exactly one record's message
    int (*build)() = build_krb5_conf;        // a case named Cac... writes the smart-card file
};
void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }

const std::vector<Case> kCases = {
    {"UnresolvedHostNameAndBackupAddress", service(kRealm, "kdc1.corp.example", "", "192.0.2.7"), F::written, kRealm},
    {"OnlyServiceOne", service(kRealm, "kdc2.corp.example", ""), F::written, kRealm, {"Some Failures [8] where"}},
    {"OnlyServiceFiveGivesNoDefaultRealm", "[[kerberos]]\n[[kerberos]]\n[[kerberos]]\n[[kerberos]]\n" + kCorp,
     F::removed, nullptr, {"Could not set the default Kerberos realm"}},
    {"NoUsableServiceRemovesFile", "[[kerberos]]\nrealm = \"CORP.EXAMPLE\"\n", F::removed, kRealm,
     {"All realms for Kerberos are set incorrectly"}},
    // Only the primary's address is logged.
    {"HostNamesResolvingToIpv6", service(kRealm, "kdc6.corp.example", "", "0.0.0.0", 88, "kdc6.corp.example"),
     F::written, kRealm, {"New IPv6 address is [[2001:db8::6]]"}},
    {"LowerCaseRealmAndAllZeroBackupOn88", service("corp.example", "", "192.0.2.7", "::"), F::written, kRealm},
    {"AllZeroIpv6BackupOnPort750IsWritten", service(kRealm, "", "192.0.2.7", "::", 750), F::written, kRealm},
    {"FipsModeLeavesOutEnctypes", "[platform]\nfips = true\n" + kCorp, F::written, kRealm},
    // Each stored text that would break the file leaves its service out (the
    // first usable one gives the default realm), or a backup its primary KDC alone.
    {"StoredTextsThatWouldBreakTheFileAreLeftOut",
     service("CORP}.EXAMPLE", "", "192.0.2.7") + service("TWO.EXAMPLE", "kdc\\n[realms]", "") +
         service("THREE.EXAMPLE", "", "192.0.2.7\\\"") + service("FOUR.EXAMPLE", "", "192.0.2.7", "192.0.2.8}") +
         service("EXAMPLE.ORG", "", "192.0.2.20"),
     F::written, "TWO.EXAMPLE",
     {"Realm [1] is not set in datastore", "Could not retrieve hostname for service ID [2]",
      "Could not retrieve IP address for service ID [3]", "Could not retrieve backup IP address for service ID [4]"}},
    // The caller-driven builders leave the no-name marker as the current realm.
    {"RecordAddressWinsOverHostName", "", F::written, kNoName, {},
     [] { return record({"corp.example", "kdc2.corp.example", "192.0.2.5", 88, "kdc6.corp.example", "", 750}); }},
    // A caller's buffer may hold old bytes after the NUL of an empty address.
    {"RecordStaleBytesAfterEmptyAddress", "", F::written, kNoName, {},
     [] { return record({"CORP.EXAMPLE", "kdc2.corp.example", "\0" "192.0.2.5", 88, "", "", 0}); }},
    {"RecordPorts0And65535LeftOff", "", F::written, kNoName, {},
     [] { return record({"CORP.EXAMPLE", "", "2001:db8::5", 0, "kdc1.corp.example", "", 65535}); }},
    {"RecordWithoutKdcKeepsPreviousFile", "", F::kept, kNoName, {"Could not write out hostname for kerberos"},
     [] { return record({"CORP.EXAMPLE", "", "", 0, "", "192.0.2.8", 0}); }},
    {"RealmOnlyWithServiceOnePort", "[attributes]\n32 = { address = \"\", port = 750 }\n", F::written, kNoName,
     {"Kerberos Configuration Setup Successful"}, [] { return realm_only("corp.example"); }},
    {"RealmOnlyWithoutServiceOnePort", "", F::written, kNoName,
     {"Port Value For Kerberos Server Not available, using [88]"}, [] { return realm_only(kRealm); }},
    {"RealmOnlyUnresolvedRemovesFile", "", F::removed, kNoName, {"Unable to get ip address for realm [unknown.ex]"},
     [] { return realm_only("unknown.ex"); }},
    // Service 9, the last: its KDCs, not service 8's, under the caller's realm.
    {"ServiceKdcsUnderCallerRealm",
     kSevenUnset + service("ONE.EXAMPLE", "", "192.0.2.1") + service("", "kdc2.corp.example", "", "192.0.2.8", 750),
     F::written, kNoName, {}, [] { return with_service("corp.example", 9); }},
    {"RecordLongestRealm", kCorp, F::written, kNoName, {}, [] { return spoilt(0, kLongestRealm.c_str()); }},
    {"ServiceLongestRealm", kCorp, F::written, kNoName, {}, [] { return with_service(kLongestRealm.c_str(), 1); }},
    {"ServiceUnusableRemovesFile", kCorp + "[attributes]\n35 = { error = 5 }\n", F::removed, kNoName,
     {"Server Settings [1] are unusable"}, [] { return with_service(kRealm, 1); }},
    {"Cac", "", F::written, nullptr, {}, [] { return cac("corp.example", "dc1.corp.example"); }},
    {"CacIpv6KdcPort0AnyNonZeroWin2k", "", F::written, nullptr, {},
     [] { return cac("corp.example", "2001:db8::3", 0, 5); }},
};

class Krb5Build : public tavrel_test::TavrelTest, public ::testing::WithParamInterface<Case> {};

TEST_P(Krb5Build, LeavesTheExpectedFileRealmAndMessages) {
    const Case &c = GetParam();
    const bool smart_card = std::string_view(c.name).starts_with("Cac");
    load(c.settings.find("[platform]") == std::string::npos ? c.settings + kPlatform : c.settings);
    for (const char *fixed : kFixed) write(fixed, kPrevious);
    EXPECT_EQ(c.build(), c.file == F::written ? 1 : 0);
    const std::string written = tavrel_test::source_text("tests/data/krb/" + std::string(c.name) + ".conf");
    EXPECT_EQ(read(kFixed[smart_card]),
              c.file == F::removed ? std::nullopt : std::optional(c.file == F::kept ? kPrevious : written));
    EXPECT_EQ(read(kFixed[!smart_card]), kPrevious);
    EXPECT_STREQ(sm_get_current_realm_name(), c.realm);
    for (const std::string &m : c.messages)
        EXPECT_EQ(std::ranges::count_if(logs(), [&](const auto &r) { return r.message.find(m) != m.npos; }), 1) << m;
}

INSTANTIATE_TEST_SUITE_P(Situations, Krb5Build, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case> &p) { return std::string(p.param.name); });

using Krb5Builders = tavrel_test::TavrelTest;

// Caller texts that are null (a record field: without its NUL) or would
// change a file's structure are refused before any file is opened, with one
// error that names the argument.
TEST_F(Krb5Builders, RefusesCallerTextsThatWouldBreakAFile) {
    const auto refused = [&](int result, const std::string &names) {
        EXPECT_EQ(result, 0);
        const auto errors = messages(host::Level::Error);
        EXPECT_TRUE(errors.size() == 1 && errors[0].find(names) != names.npos) << ::testing::PrintToString(errors);
        host::log_clear();
    };
    for (const char *fixed : kFixed) write(fixed, kPrevious);
    // The last two are refused as realms only: a realm also opens its own block, where a
    // leading '[' would open a section and a trailing '*' would make MIT read another realm.
    for (const char *bad : {static_cast<const char *>(nullptr), "C\n[realms]", "C\r", "C}", "C{", "C\"", "C#", "C D", "A=B",
                            ";EVIL", "[EVIL]", "CORP.EXAMPLE*"}) {
        SCOPED_TRACE(::testing::PrintToString(bad));
        const bool realm_alone = bad && (bad[0] == '[' || std::string_view(bad).ends_with('*'));
        for (int f = 0; f < (realm_alone ? 1 : 5); ++f)
            refused(spoilt(f, bad), std::string("setting ") + kRecordFields[f] + " ");
        refused(realm_only(bad), "is not a qualified realm");
        refused(with_service(bad, 1), "is not a qualified realm");
        refused(cac(bad, "dc1"), "Refusing the realm argument");
        if (!realm_alone) refused(cac("CORP", bad), "Refusing the kdc argument");
    }
    refused(spoilt(0, "CORP."), "Realm [CORP.] is not a qualified realm");
    refused(cf_build_krb_conf_with_XML_data(nullptr), "No Kerberos Settings for config file!");
    refused(with_service("CORP.EXAMPLE", 0), "Server Setting [0] is not in range");
    refused(with_service("CORP.EXAMPLE", 10), "Server Setting [10] is not in range");
    for (const char *fixed : kFixed) EXPECT_EQ(read(fixed), kPrevious);
    EXPECT_EQ(sm_get_current_realm_name(), nullptr);
}

}  // namespace
