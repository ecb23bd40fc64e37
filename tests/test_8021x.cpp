// The supplicant files: what each builder writes, byte for byte (the expected
// files are tests/data/8021x/<case>.conf, which check_wpa_supplicant also has
// wpa_supplicant read), and what a failed build logs and leaves behind (the
// previous file, untouched).
#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>

#include "tavrel/8021x_config.h"
#include "tavrel_test.h"

namespace {

using Build = std::function<unsigned()>;

const std::string kWired = CF_IO_WIRED_CONF_PATH;
const std::string kWireless = CF_IO_WIRELESS_CONF_PATH;

// Secrets the tests pass in; none may reach the log.
const char *const kSecrets[] = {"pw-secret-1", "kp-secret-2", "psk-secret-9", "wep-k", "0123456789"};

class Dot1xTest : public tavrel_test::TavrelTest {
protected:
    void TearDown() override {
        for (const char *secret : kSecrets) EXPECT_TRUE(nowhere_in_log(secret)) << secret;
        TavrelTest::TearDown();
    }
};

unsigned open_net(const char *ssid, uint32_t sec_mode) {
    const CF_IO_Wireless_Params p{ssid, sec_mode, 0, nullptr};
    return cf_build_wireless_nosecurity_8021x_conf_for_authentication(&p);
}
unsigned wep(const char *key, int32_t key_is_hex) {
    const CF_IO_WEP_Params p{"office", CF_IO_SECMODE_WEP, key, 7, 8, 9, key_is_hex};
    return cf_build_wireless_wep_8021x_conf_for_authentication(&p);
}
unsigned personal(uint32_t sec_mode, int32_t enc_mode, const char *psk, const char *ssid = "office") {
    const CF_IO_Wireless_Params p{ssid, sec_mode, enc_mode, psk};
    return cf_build_wireless_personal_8021x_conf_for_authentication(&p);
}

// An enterprise record with every optional field present, or every one
// absent (for TLS methods the password is optional too).
CF_IO_8021x_Params enterprise(int32_t interface, uint32_t eap_type, bool optional_present = true) {
    CF_IO_8021x_Params p{interface, "corp", 5, 1, eap_type, "alice", "pw-secret-1", "anon", "/c/ca.pem",
                         "/c/cl.pem", "/c/k.pem", "kp-secret-2"};
    if (!optional_present) {
        p.outer_identity = p.ca_cert = p.client_cert = p.private_key = p.private_key_passwd = nullptr;
        if (eap_type == CF_IO_EAP_TLS || eap_type == CF_IO_EAP_TTLS_TLS) p.password = nullptr;
    }
    return p;
}
// A build of the wired PEAP record after one change.
Build enterprise_with(std::function<void(CF_IO_8021x_Params &)> change) {
    return [=] {
        CF_IO_8021x_Params p = enterprise(CF_IO_IFACE_WIRED, CF_IO_EAP_PEAP_MSCHAPV2);
        change(p);
        return cf_build_enterprise_8021x_conf_for_authentication(&p);
    };
}

// ---- Files written whole ------------------------------------------------------------------

struct FileCase {
    std::string file;  // the expected file, tests/data/8021x/<file>.conf; "wired-..." for the wired one
    Build build;
};
void PrintTo(const FileCase &c, std::ostream *os) { *os << c.file; }

std::vector<FileCase> file_cases() {
    std::vector<FileCase> cases{
        {"open", [] { return open_net("office", 0); }},
        {"open-no-ssid", [] { return open_net(nullptr, 1); }},
        {"open-psk-mode", [] { return open_net("", 2); }},
        {"wep-text", [] { return wep("wep-k", 0); }},
        {"wep-hex", [] { return wep("0123456789", 1); }},
        {"wep-quote-as-hex", [] { return wep("ab\"cd", 0); }},
        {"personal-wpa2", [] { return personal(3, 1, "psk-secret-9"); }},
        {"personal-wpa-tkip", [] { return personal(2, 0, "psk-secret-9"); }},
        {"personal-no-psk", [] { return personal(3, 3, nullptr); }},
        {"personal-quote-in-ssid", [] { return personal(3, 2, "a\"b\"c#defg", "x\"y#"); }},
        // Values with a double quote go out in hex; a '#' or non-ASCII bytes alone stay quoted.
        {"wired-quoted", enterprise_with([](auto &p) {
             p.eap_type = CF_IO_EAP_TTLS_TLS;
             p.user_name = "al\"ice";
             p.outer_identity = "a#n\xc3\xa9";
             p.ca_cert = "/c/\"ca";
             p.private_key_passwd = "kp\"secret-2";
         })}};
    // Every method on both interfaces; "-bare": every optional field absent.
    const char *const methods[] = {"md5", "peap", "tls", "mschapv2", "leap", "ttls-pap", "ttls-mschapv2", "ttls-tls"};
    for (const int32_t interface : {CF_IO_IFACE_WIRED, CF_IO_IFACE_WIRELESS})
        for (uint32_t code = 0; code < 8; ++code)
            for (const bool present : {true, false}) {
                const std::string file = std::string(interface ? "wireless-" : "wired-") + methods[code];
                cases.push_back({file + (present ? "" : "-bare"),
                                 enterprise_with([=](auto &p) { p = enterprise(interface, code, present); })});
            }
    return cases;
}

std::string expected_file(const std::string &name) {
    std::ifstream in(tavrel_test::source_path("tests/data/8021x/" + name + ".conf"), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class File : public Dot1xTest, public ::testing::WithParamInterface<FileCase> {};

TEST_P(File, IsWrittenWholeAndPrivate) {
    const std::string path = GetParam().file.starts_with("wired") ? kWired : kWireless;
    write(path, "previous\n", 0644);
    EXPECT_EQ(GetParam().build(), 1u);
    EXPECT_EQ(read(path), expected_file(GetParam().file));
    EXPECT_EQ(mode_of(path), 0600u);
}

INSTANTIATE_TEST_SUITE_P(Cases, File, ::testing::ValuesIn(file_cases()), [](const auto &test) {
    std::string name = test.param.file;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
});

// ---- Failures ----------------------------------------------------------------------------

constexpr char kOpen[] = "cf_build_wireless_nosecurity_8021x_conf_for_authentication";
constexpr char kWep[] = "cf_build_wireless_wep_8021x_conf_for_authentication";
constexpr char kPersonal[] = "cf_build_wireless_personal_8021x_conf_for_authentication";
constexpr char kEnterprise[] = "cf_build_enterprise_8021x_conf_for_authentication";

struct FailureCase {
    std::string name;
    Build build;
    const char *builder;
    std::vector<std::string> between;  // records between the builder's two trace lines
};
void PrintTo(const FailureCase &c, std::ostream *os) { *os << c.name; }

const std::string kUser = "DEBUG Username for 802.1x is [alice]";
const std::string kControl = "WARN Value for [password] holds a control character; not written to config file";

std::vector<FailureCase> failure_cases() {
    std::vector<FailureCase> cases{
        {"WithoutRecord", [] { return cf_build_enterprise_8021x_conf_for_authentication(nullptr); }, kEnterprise,
         {"ERROR Config params are not set"}},
        {"SecurityMode6", [] { return open_net("office", 6); }, kOpen,
         {"WARN Unknown Wireless SecMode 6", "ERROR Cannot write out SecType [6]"}},
        {"Encryption4", [] { return personal(3, 4, "psk-secret-9"); }, kPersonal,
         {"WARN Unknown Wireless Encryption Mode 4", "ERROR Cannot write out EncType [4]"}},
        {"EncryptionMinus1", [] { return personal(3, -1, "psk-secret-9"); }, kPersonal,
         {"WARN Unknown Wireless Encryption Mode -1", "ERROR Cannot write out EncType [-1]"}},
        {"EapCode8", enterprise_with([](auto &p) { p.eap_type = 8; }), kEnterprise,
         {"ERROR EAP type [8] is not supported!"}},
        {"EapCode9Wireless", enterprise_with([](auto &p) { p.eap_type = 9; p.interface = CF_IO_IFACE_WIRELESS; }),
         kEnterprise, {"ERROR EAP type [9] is not supported!"}},
        {"EapCodeMinus1", enterprise_with([](auto &p) { p.eap_type = static_cast<uint32_t>(-1); }), kEnterprise,
         {"ERROR EAP type [-1] is not supported!"}},
        {"NoUserName", enterprise_with([](auto &p) { p.user_name = nullptr; }), kEnterprise,
         {"WARN No user name configured", "ERROR Cannot write out username [(null)]"}},
        {"EmptyCaCertPath", enterprise_with([](auto &p) { p.ca_cert = ""; }), kEnterprise,
         {kUser, "WARN String for the cert file path failed to write to config file for 802.1x",
          "ERROR Cannot write out ca_cert path info"}},
        {"Interface2", enterprise_with([](auto &p) { p.interface = 2; }), kEnterprise,
         {"WARN Null file pointer for 802.1x settings", "ERROR Cannot write out username [alice]"}},
        // Values that would break the line or be read otherwise; secrets masked.
        {"LineFeedInPassword", enterprise_with([](auto &p) { p.password = "pw-secret-1\neap=MD5"; }), kEnterprise,
         {kUser, kControl, "ERROR Cannot write out password"}},
        {"TabInTlsPassword", enterprise_with([](auto &p) { p.eap_type = CF_IO_EAP_TLS; p.password = "pw-secret-1\t"; }),
         kEnterprise, {kUser, kControl, "ERROR Cannot write out password [(hidden)]"}},
        {"PskCutAtComment", [] { return personal(3, 1, "psk-secret-9\"x#y"); }, kPersonal,
         {"WARN Value for [psk] would be cut short at a '#'; not written to config file",
          "ERROR Cannot write out PSK [(hidden)]"}},
        {"WepWithoutKey", [] { return wep(nullptr, 0); }, kWep,
         {"WARN Null file pointer or key for wireless configuration", "ERROR Cannot write out SecType [(null)]"}},
        {"EmptyWepKey", [] { return wep("", 0); }, kWep,
         {"WARN String for the key failed to write to config file for wireless configuration",
          "ERROR Cannot write out SecType [(hidden)]"}},
        {"HexWepKeyNotHex", [] { return wep("0123456789#", 1); }, kWep,
         {"WARN Value for [wep_key0] is not all hex digits; not written to config file",
          "ERROR Cannot write out SecType [(hidden)]"}}};
    // Every method that needs a password (TLS ones leave the line out).
    for (const uint32_t code : {0u, 1u, 3u, 4u, 5u, 6u})
        cases.push_back({"NoPasswordCode" + std::to_string(code),
                         enterprise_with([code](auto &p) { p.eap_type = code; p.password = nullptr; }), kEnterprise,
                         {kUser, "WARN Null password pointer", "ERROR Cannot write out password"}});
    return cases;
}

class BuildFailure : public Dot1xTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(BuildFailure, KeepsThePreviousFilesAndLogsInOrder) {
    write(kWired, "previous wired\n", 0644);
    write(kWireless, "previous wireless\n", 0644);
    EXPECT_EQ(GetParam().build(), 0u);
    std::vector<std::string> expected{std::string("LIBENTER ") + GetParam().builder};
    expected.insert(expected.end(), GetParam().between.begin(), GetParam().between.end());
    expected.push_back(std::string("LIBRETURN ") + GetParam().builder);
    EXPECT_EQ(log_lines(), expected);
    EXPECT_EQ(read(kWired), "previous wired\n");
    EXPECT_EQ(read(kWireless), "previous wireless\n");
    EXPECT_EQ(mode_of(kWireless), 0644u);
}

INSTANTIATE_TEST_SUITE_P(Cases, BuildFailure, ::testing::ValuesIn(failure_cases()),
                         [](const auto &test) { return test.param.name; });

}  // namespace
