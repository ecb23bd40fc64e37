// The krb5.conf situations the tests build: settings, builder, arguments and
// the exact file expected. test_krb5_conf.cpp pins each file byte for byte;
// check_verify_krb5_conf.cpp hands the same files to Heimdal's checker.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "settings.h"
#include "tavrel/tavrel.h"

namespace krb5_cases {

enum class Builder { stored, record, realm_only, with_service, cac };

struct Case {
    const char *name;
    const char *settings;  // TOML snapshot
    Builder builder;
    const char *realm;  // caller's realm (realm_only, with_service, cac)
    int number;         // service (with_service) or port (cac)
    int result;
    const char *file;           // whole file expected afterwards; null: no file
    const char *current_realm;  // remembered afterwards; null: none
    const char *message;        // logged exactly once, or null
    const char *kdc = nullptr;  // cac
    int win2k = 0;              // cac
};

// Every case starts from this file, to show what a failure leaves behind.
constexpr char kPrevious[] = "# previous\n";

constexpr const char *fixed_path(Builder b) {
    return b == Builder::cac ? "/usr/heimdal/etc/krb5.conf" : "/etc/krb5.conf";
}

#define HOSTS                                                                                      \
    "hosts = { \"kdc2.corp.example\" = \"192.0.2.2\", \"kdc6.corp.example\" = \"2001:db8::6\", " \
    "\"corp.example\" = \"192.0.2.9\" }\n"
#define PLATFORM "[platform]\nfips = false\n" HOSTS
// A service with its KDC by address (a host name when address is "") and no backup.
#define SERVICE(realm, address)                                                                       \
    "[[kerberos]]\nrealm = \"" realm "\"\nkdc = \"\"\nkdc_address = \"" address "\"\nkdc_port = 88\n" \
    "backup_kdc = \"\"\nbackup_kdc_address = \"0.0.0.0\"\nbackup_kdc_port = 88\n"
#define SERVICE_BY_NAME(kdc) \
    PLATFORM SERVICE("CORP.EXAMPLE", "") "[attributes]\n34 = \"" kdc "\"\n"
#define ENCTYPES_LINE(kind) \
    "\tdefault_" kind "_enctypes = aes256-cts-hmac-sha1-96 aes128-cts-hmac-sha1-96 des3-cbc-sha1-kd des3-cbc-sha1\n"
#define CONF(default_realm, entries) \
    "[libdefaults]\n" ENCTYPES_LINE("tkt") ENCTYPES_LINE("tgs") "\tdefault_realm = " default_realm "\n\n[realms]\n" entries
#define ENTRY(realm, kdcs) "\t" realm " = {" kdcs "\n\t}\n\n"
#define KDC(text) "\n\t\tkdc = " text
#define CORP(kdcs) CONF("CORP.EXAMPLE", ENTRY("CORP.EXAMPLE", kdcs))
#define ORG_ENTRY ENTRY("EXAMPLE.ORG", KDC("192.0.2.20:88"))
#define TWO_SERVICES(first_address) PLATFORM SERVICE("CORP.EXAMPLE", first_address) SERVICE("EXAMPLE.ORG", "192.0.2.20")
#define CAC(kdc, win2k)                                                                                            \
    "[logging]\n\tdefault = FILE:/var/log/krb5libs.log\n\n[libdefaults]\n\tdefault_realm = corp.example\n"          \
    "\tkdc_timesync = 1\n\tdns_lookup_realm = false\n\tdns_lookup_kdc = false\n\tticket_lifetime = 19h\n"            \
    "\tforwardable = yes\n\n[realms]\n\tCORP.EXAMPLE = {\n\t\tkdc = " kdc "\n\t\tadmin_server = " kdc               \
    "\n\t\tpkinit_win2k = " win2k "\n\t\tpkinit_require_eku = false\n\t\tpkinit_require_krbtgt_otherName = false\n" \
    "\t}\n\n[default_realm]\n\tlocalhost = CORP.EXAMPLE\n\n[appdefaults]\n"                                          \
    "\tpkinit_anchors = DIR:/usr/smart/etc/ssl/trusted\n\tpam = {\n\t\tticket_lifetime = 19h\n\t\tforwardable = true\n\t}\n"

inline const std::vector<Case> &all() {
    using B = Builder;
    static const std::vector<Case> cases = {
        // ---- build_krb5_conf ----
        {"UnresolvedHostNameAndBackupAddress",
         PLATFORM "[[kerberos]]\nrealm = \"CORP.EXAMPLE\"\nkdc = \"kdc1.corp.example\"\nkdc_port = 88\n"
                  "backup_kdc = \"\"\nbackup_kdc_address = \"192.0.2.7\"\nbackup_kdc_port = 88\n",
         B::stored, nullptr, 0, 1, CORP(KDC("kdc1.corp.example:88") KDC("192.0.2.7:88")), "CORP.EXAMPLE",
         "Unable to get valid IP, using hostname instead"},
        {"OnlyServiceOne", SERVICE_BY_NAME("kdc2.corp.example"), B::stored, nullptr, 0, 1, CORP(KDC("192.0.2.2:88")),
         "CORP.EXAMPLE", "Some Failures [8] where detected when building krb.conf"},
        {"EmptyFirstRealmGivesSecondAsDefault", PLATFORM SERVICE("", "192.0.2.7") SERVICE("EXAMPLE.ORG", "192.0.2.20"),
         B::stored, nullptr, 0, 1, CONF("EXAMPLE.ORG", ORG_ENTRY), "EXAMPLE.ORG",
         "get_a_default_domain_for_Kerberos invalid Kerberos realm for entry (1)"},
        {"OnlyServiceFiveGivesNoDefaultRealm",
         PLATFORM "[attributes]\n56 = \"CORP.EXAMPLE\"\n52 = { address = \"192.0.2.5\", port = 88 }\n"
                  "54 = \"\"\n53 = { address = \"0.0.0.0\", port = 88 }\n55 = \"\"\n",
         B::stored, nullptr, 0, 0, nullptr, nullptr, "Could not set the default Kerberos realm"},
        {"NoUsableServiceRemovesFile", PLATFORM "[[kerberos]]\nrealm = \"CORP.EXAMPLE\"\n", B::stored, nullptr, 0, 0,
         nullptr, "CORP.EXAMPLE", "All realms for Kerberos are set incorrectly"},
        {"HostNameResolvingToIpv6", SERVICE_BY_NAME("kdc6.corp.example"), B::stored, nullptr, 0, 1,
         CORP(KDC("[2001:db8::6]:88")), "CORP.EXAMPLE", "New IPv6 address is [[2001:db8::6]]"},
        {"UnspecifiedIpv6BackupOnPort88IsLeftOut",
         PLATFORM SERVICE("CORP.EXAMPLE", "192.0.2.7") "[attributes]\n33 = { address = \"::\", port = 88 }\n",
         B::stored, nullptr, 0, 1, CORP(KDC("192.0.2.7:88")), "CORP.EXAMPLE", nullptr},
        {"UnspecifiedIpv6BackupOnPort750IsWritten",
         PLATFORM SERVICE("CORP.EXAMPLE", "192.0.2.7") "[attributes]\n33 = { address = \"::\", port = 750 }\n",
         B::stored, nullptr, 0, 1, CORP(KDC("192.0.2.7:88") KDC("[::]:750")), "CORP.EXAMPLE", nullptr},
        {"UnreadableBackupHostNameKeepsClosedEntry", TWO_SERVICES("192.0.2.7") "[attributes]\n35 = { error = 5 }\n",
         B::stored, nullptr, 0, 1, CONF("CORP.EXAMPLE", ENTRY("CORP.EXAMPLE", KDC("192.0.2.7:88")) ORG_ENTRY),
         "CORP.EXAMPLE", "Could not retrieve backup hostname for service ID [1]"},
        {"LowerCaseRealmInCapitals", PLATFORM SERVICE("corp.example", "192.0.2.7"), B::stored, nullptr, 0, 1,
         CORP(KDC("192.0.2.7:88")), "CORP.EXAMPLE", nullptr},
        {"FipsModeLeavesOutEnctypes", "[platform]\nfips = true\n" HOSTS SERVICE("CORP.EXAMPLE", "192.0.2.7"),
         B::stored, nullptr, 0, 1,
         "[libdefaults]\n\tdefault_realm = CORP.EXAMPLE\n\n[realms]\n" ENTRY("CORP.EXAMPLE", KDC("192.0.2.7:88")),
         "CORP.EXAMPLE", nullptr},
        // Stored texts that would break the file leave their service out.
        {"StoredHostNameWithBrace", TWO_SERVICES("") "[attributes]\n34 = \"kdc}.corp.example\"\n", B::stored, nullptr,
         0, 1, CONF("CORP.EXAMPLE", ORG_ENTRY), "CORP.EXAMPLE", "Could not retrieve hostname for service ID [1]"},
        {"StoredHostNameWithLineFeed", TWO_SERVICES("") "[attributes]\n34 = \"kdc\\n[realms]\"\n", B::stored, nullptr,
         0, 1, CONF("CORP.EXAMPLE", ORG_ENTRY), "CORP.EXAMPLE", "Could not retrieve hostname for service ID [1]"},
        {"StoredAddressWithQuote",
         TWO_SERVICES("192.0.2.7") "[attributes]\n32 = { address = \"192.0.2.7\\\"\", port = 88 }\n", B::stored,
         nullptr, 0, 1, CONF("CORP.EXAMPLE", ORG_ENTRY), "CORP.EXAMPLE",
         "Could not retrieve IP address for service ID [1]"},
        {"StoredRealmWithBrace", PLATFORM SERVICE("CORP}.EXAMPLE", "192.0.2.7") SERVICE("EXAMPLE.ORG", "192.0.2.20"),
         B::stored, nullptr, 0, 1, CONF("EXAMPLE.ORG", ORG_ENTRY), "EXAMPLE.ORG", "Realm [1] is not set in datastore"},

        // ---- cf_build_krb_conf_with_XML_data ----
        {"RecordAddressWinsOverHostName",
         PLATFORM "[krb5_record]\nrealm = \"CORP.EXAMPLE\"\nkdc_hostname = \"kdc2.corp.example\"\n"
                  "kdc_ip_address = \"192.0.2.5\"\nkdc_port = 88\n",
         B::record, nullptr, 0, 1, CORP(KDC("192.0.2.5:88")), "\n", "Could not set backup hostname for krb config file"},
        {"RecordPorts0And65535LeftOff",
         PLATFORM "[krb5_record]\nrealm = \"CORP.EXAMPLE\"\nkdc_ip_address = \"192.0.2.5\"\nkdc_port = 0\n"
                  "backup_kdc_ip_address = \"192.0.2.8\"\nbackup_kdc_port = 65535\n",
         B::record, nullptr, 0, 1, CORP(KDC("192.0.2.5") KDC("192.0.2.8")), "\n", nullptr},
        {"RecordHostNamesResolvedOrKept",
         PLATFORM "[krb5_record]\nrealm = \"corp.example\"\nkdc_hostname = \"kdc2.corp.example\"\nkdc_port = 88\n"
                  "backup_kdc_hostname = \"kdc1.corp.example\"\nbackup_kdc_port = 750\n",
         B::record, nullptr, 0, 1,
         CONF("corp.example", ENTRY("CORP.EXAMPLE", KDC("192.0.2.2:88") KDC("kdc1.corp.example:750"))), "\n",
         nullptr},
        {"RecordIpv6Bracketed",
         PLATFORM "[krb5_record]\nrealm = \"CORP.EXAMPLE\"\nkdc_ip_address = \"2001:db8::5\"\nkdc_port = 88\n"
                  "backup_kdc_hostname = \"kdc6.corp.example\"\nbackup_kdc_port = 750\n",
         B::record, nullptr, 0, 1, CORP(KDC("[2001:db8::5]:88") KDC("[2001:db8::6]:750")), "\n", nullptr},
        {"RecordWithoutKdcKeepsPreviousFile",
         PLATFORM "[krb5_record]\nrealm = \"CORP.EXAMPLE\"\nbackup_kdc_ip_address = \"192.0.2.8\"\n", B::record,
         nullptr, 0, 0, kPrevious, "\n", "Could not write out hostname for kerberos config file"},

        // ---- cf_build_krb_config_file_with_realm_only ----
        {"RealmOnlyWithServiceOnePort", PLATFORM "[attributes]\n32 = { address = \"\", port = 750 }\n",
         B::realm_only, "corp.example", 0, 1, CONF("corp.example", ENTRY("CORP.EXAMPLE", KDC("192.0.2.9:750"))), "\n",
         "Kerberos Configuration Setup Successful"},
        {"RealmOnlyWithoutServiceOnePort", PLATFORM, B::realm_only, "CORP.EXAMPLE", 0, 1, CORP(KDC("192.0.2.9:88")),
         "\n", "Port Value For Kerberos Server Not available, using [88]"},
        {"RealmOnlyUnresolvedRemovesFile", PLATFORM, B::realm_only, "unknown.example", 0, 0, nullptr, "\n",
         "Unable to get ip address for realm [unknown.example]"},
        {"RealmOnlyWithBraceRefused", PLATFORM, B::realm_only, "corp}.example", 0, 0, kPrevious, nullptr,
         "Realm [corp}.example] is not a qualified realm"},

        // ---- cf_build_krb_conf_file_with_this ----
        {"ServiceKdcsUnderCallerRealm",
         PLATFORM SERVICE("ONE.EXAMPLE", "192.0.2.1") "[attributes]\n39 = \"kdc2.corp.example\"\n40 = \"\"\n"
             "37 = { address = \"\", port = 88 }\n38 = { address = \"192.0.2.8\", port = 750 }\n",
         B::with_service, "corp.example", 2, 1,
         CONF("corp.example", ENTRY("CORP.EXAMPLE", KDC("192.0.2.2:88") KDC("192.0.2.8:750"))), "\n", nullptr},
        {"Service0Refused", PLATFORM, B::with_service, "CORP.EXAMPLE", 0, 0, kPrevious, nullptr,
         "Server Setting [0] is not in range"},
        {"Service10Refused", PLATFORM, B::with_service, "CORP.EXAMPLE", 10, 0, kPrevious, nullptr,
         "Server Setting [10] is not in range"},
        {"ServiceUnusableRemovesFile", PLATFORM SERVICE("CORP.EXAMPLE", "192.0.2.7") "[attributes]\n35 = { error = 5 }\n",
         B::with_service, "CORP.EXAMPLE", 1, 0, nullptr, "\n", "Server Settings [1] are unusable"},
        {"CallerRealmWithQuoteRefused", PLATFORM, B::with_service, "CORP\".EXAMPLE", 1, 0, kPrevious, nullptr,
         "Realm [CORP\".EXAMPLE] is not a qualified realm"},

        // ---- cf_build_krb_conf_file_for_CAC ----
        {"Cac", PLATFORM, B::cac, "corp.example", 88, 1, CAC("dc1.corp.example:88", "no"), nullptr, nullptr,
         "dc1.corp.example", 0},
        {"CacWin2kAnyNonZero", PLATFORM, B::cac, "corp.example", 88, 1, CAC("dc1.corp.example:88", "yes"), nullptr,
         nullptr, "dc1.corp.example", 5},
        {"CacPort0", PLATFORM, B::cac, "corp.example", 0, 1, CAC("192.0.2.3:0", "no"), nullptr, nullptr, "192.0.2.3"},
        {"CacNegativePort", PLATFORM, B::cac, "corp.example", -1, 1, CAC("dc1.corp.example:-1", "no"), nullptr,
         nullptr, "dc1.corp.example"},
        {"CacIpv6KdcBracketed", PLATFORM, B::cac, "corp.example", 88, 1, CAC("[2001:db8::3]:88", "no"), nullptr,
         nullptr, "2001:db8::3"},
    };
    return cases;
}

#undef HOSTS
#undef PLATFORM
#undef SERVICE
#undef SERVICE_BY_NAME
#undef ENCTYPES_LINE
#undef CONF
#undef ENTRY
#undef KDC
#undef CORP
#undef ORG_ENTRY
#undef TWO_SERVICES
#undef CAC

// Copies a settings text into a record field (the loader has checked its size).
template <std::size_t N>
void fill(char (&field)[N], const host::Text &text) {
    if (text && text->size() < N) std::memcpy(field, text->c_str(), text->size() + 1);
}

// Loads the case's settings and runs its builder.
inline int run(const Case &c) {
    const host::Settings settings = host::load_settings_text(c.settings, c.name);
    host::apply_settings(settings);
    host::log_set_echo(host::Echo::Quiet);
    std::string realm = c.realm ? c.realm : "";
    krb_server_settings record{};
    switch (c.builder) {
    case Builder::stored:
        return build_krb5_conf();
    case Builder::record:
        fill(record.realm, settings.krb5_record->realm);
        fill(record.kdc_hostname, settings.krb5_record->kdc_hostname);
        fill(record.kdc_ip_address, settings.krb5_record->kdc_ip_address);
        fill(record.backup_kdc_hostname, settings.krb5_record->backup_kdc_hostname);
        fill(record.backup_kdc_ip_address, settings.krb5_record->backup_kdc_ip_address);
        record.kdc_port = static_cast<int32_t>(settings.krb5_record->kdc_port);
        record.backup_kdc_port = static_cast<int32_t>(settings.krb5_record->backup_kdc_port);
        return cf_build_krb_conf_with_XML_data(&record);
    case Builder::realm_only:
        return cf_build_krb_config_file_with_realm_only(realm.data());
    case Builder::with_service:
        return cf_build_krb_conf_file_with_this(realm.data(), c.number);
    case Builder::cac:
        return cf_build_krb_conf_file_for_CAC(realm.data(), c.kdc, c.number, c.win2k);
    }
    return -1;
}

// Test names in listings show the case, not its bytes.
inline void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }
inline std::string case_name(const ::testing::TestParamInfo<Case> &info) { return info.param.name; }

}  // namespace krb5_cases
