// The supplicant files: what each builder writes, byte for byte (the expected
// files are tests/data/8021x/<case>.conf, which check_readers also has
// wpa_supplicant read), and what a failed build logs and leaves behind (the
// previous file, untouched). No secret a test passes in may reach the log.
#include <regex>

#include "builds.h"

namespace {

using namespace tavrel_test::builds;

// ---- What failures log -------------------------------------------------------------------

constexpr char kOpen[] = "cf_build_wireless_nosecurity_8021x_conf_for_authentication";
constexpr char kWep[] = "cf_build_wireless_wep_8021x_conf_for_authentication";
constexpr char kPersonal[] = "cf_build_wireless_personal_8021x_conf_for_authentication";
constexpr char kEnterprise[] = "cf_build_enterprise_8021x_conf_for_authentication";

const std::string kUser = "DEBUG Username for 802.1x is [alice]";

// An identity line of 1999 characters: one more than wpa_supplicant reads.
const std::string kLongName(1984, 'n');

std::string refusal(const char *key, const char *what) {
    return std::string("WARN Value for [") + key + "] " + what + "; not written to config file";
}

// ---- Cases -------------------------------------------------------------------------------

// A build that writes the expected file tests/data/8021x/<name>.conf ("wired-..." for the
// wired one), or one that fails with the records its builder logs between its trace lines.
struct Case {
    std::string name;
    Build build;
    const char *builder = nullptr;
    std::vector<std::string> between = {};
};
void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }

std::vector<Case> cases() {
    std::vector<Case> cases{
        {"open", [] { return open_net({"office", 0, 0, nullptr}); }},
        {"open-no-ssid", [] { return open_net({nullptr, 2, 0, nullptr}); }},
        {"wep-text", [] { return wep("wep-k", 0); }},
        {"wep-hex", [] { return wep("0123456789", 1); }},
        {"wep-quote-as-hex", [] { return wep("ab\"cd", 0); }},
        {"personal-wpa2", [] { return personal({"office", 3, 1, "psk-secret-9"}); }},
        {"personal-wpa-tkip", [] { return personal({"office", 2, 0, "psk-secret-9"}); }},
        {"personal-no-psk", [] { return personal({"office", 3, 3, nullptr}); }},
        // Values with a double quote go out in hex, but a psk stays quoted (it is refused
        // only where a '#' follows an odd number of its quotes); a '#' or non-ASCII bytes alone stay quoted.
        {"personal-quote-in-ssid", [] { return personal({"x\"y#", 3, 2, "#a\"b\"c#d\"efg"}); }},
        {"wired-quoted", [] { return dot1x({CF_IO_IFACE_WIRED, "corp", 5, 1, CF_IO_EAP_TTLS_TLS, "al\"ice", "pw-secret-1", "a#n\xc3\xa9", "/c/\"ca", "/c/cl.pem", "/c/k.pem", "kp\"secret-2"}); }},
        // Control bytes go out in hex too, which wpa_supplicant reads back whole.
        {"wired-control-bytes", [] { return dot1x({CF_IO_IFACE_WIRED, "corp", 5, 1, CF_IO_EAP_PEAP_MSCHAPV2, "al\tice", "pw-secret-1\x7f\n", "an\ton", "/c/ca.pem", "/c/cl.pem", "/c/k.pem", "kp-secret-2"}); }},
        {"wireless-quoted", [] { return dot1x({CF_IO_IFACE_WIRELESS, "caf\xc3\xa9#1", 5, 1, CF_IO_EAP_PEAP_MSCHAPV2, "\"", "pw\"secret#\xc3\xa9", "anon", "/c/ca#1", "/c/cl.pem", "/c/k.pem", "kp-secret-2"}); }},
        // The longest and shortest values wpa_supplicant reads (a psk of 64 hex digits is the key itself).
        {"limit-ssid32", [] { return open_net({std::string(32, 's').c_str(), 0, 0, nullptr}); }},
        {"limit-psk8", [] { return personal({"office", 3, 1, "12345678"}); }},
        {"limit-psk63", [] { return personal({"office", 3, 1, std::string(63, 'p').c_str()}); }},
        {"limit-psk64-hex", [] { return personal({"office", 3, 1, std::string(64, 'a').c_str()}); }},
        {"limit-wep-text13", [] { return wep(std::string(13, 'w').c_str(), 0); }},
        {"limit-wep-text16", [] { return wep(std::string(16, 'w').c_str(), 0); }},
        {"limit-wep-hex26", [] { return wep(std::string(26, 'a').c_str(), 1); }},
        {"limit-wep-hex32", [] { return wep(std::string(32, 'b').c_str(), 1); }},
        {"limit-wep-hex-capitals", [] { return wep("ABCDEF0189", 1); }}};
    // Every method on both interfaces (wireless: mode 5, encryption 1); "-bare": every
    // optional field absent (for TLS methods the password too).
    const char *const methods[] = {"md5", "peap", "tls", "mschapv2", "leap", "ttls-pap", "ttls-mschapv2", "ttls-tls"};
    for (const int32_t iface : {CF_IO_IFACE_WIRED, CF_IO_IFACE_WIRELESS})
        for (uint32_t code = 0; code < 8; ++code) {
            const std::string name = (iface ? "wireless-" : "wired-") + std::string(methods[code]);
            const bool tls = code == CF_IO_EAP_TLS || code == CF_IO_EAP_TTLS_TLS;
            const CF_IO_8021x_Params bare{iface, "corp", 5, 1, code, "alice", tls ? nullptr : "pw-secret-1",
                                          nullptr, nullptr, nullptr, nullptr, nullptr};
            cases.push_back({name, [=] { return dot1x(full(iface, code)); }});
            cases.push_back({name + "-bare", [=] { return dot1x(bare); }});
        }
    // Failures: the previous files stay untouched.
    const std::string psk = "ERROR Cannot write out PSK [(hidden)]", wep_key = "ERROR Cannot write out SecType [(hidden)]";
    const std::string passphrase = refusal("psk", "is not 8 to 63 printable ASCII characters");
    cases.insert(cases.end(), {
        {"WithoutRecord", [] { return cf_build_enterprise_8021x_conf_for_authentication(nullptr); }, kEnterprise, {"ERROR Config params are not set"}},
        {"SecurityMode6", [] { return open_net({"office", 6, 0, nullptr}); }, kOpen, {"WARN Unknown Wireless SecMode 6", "ERROR Cannot write out SecType [6]"}},
        {"Encryption4", [] { return personal({"office", 3, 4, "psk-secret-9"}); }, kPersonal, {"WARN Unknown Wireless Encryption Mode 4", "ERROR Cannot write out EncType [4]"}},
        {"EncryptionMinus1", [] { return personal({"office", 3, -1, "psk-secret-9"}); }, kPersonal, {"WARN Unknown Wireless Encryption Mode -1", "ERROR Cannot write out EncType [-1]"}},
        {"NoUserName", enterprise([](auto &p) { p.user_name = nullptr; }), kEnterprise, {"WARN No user name configured", "ERROR Cannot write out username [(null)]"}},
        {"EmptyCaCertPath", enterprise([](auto &p) { p.ca_cert = ""; }), kEnterprise, {kUser, "DEBUG Outer Identity for 802.1x is [anon]", "WARN String for the cert file path failed to write to config file for 802.1x", "ERROR Cannot write out ca_cert path info"}},
        {"TtlsNoOuterIdentityEmptyCaCertPath", [] { return dot1x({CF_IO_IFACE_WIRED, "corp", 5, 1, CF_IO_EAP_TTLS_PAP, "alice", "pw-secret-1", nullptr, "", "/c/cl.pem", "/c/k.pem", "kp-secret-2"}); }, kEnterprise, {kUser, "INFO Outer Identity is NULL", "WARN String for the cert file path failed to write to config file for 802.1x", "ERROR Cannot write out ca_cert path info"}},
        {"Interface2", enterprise([](auto &p) { p.interface = 2; }), kEnterprise, {"WARN Null file pointer for 802.1x settings", "ERROR Cannot write out username [alice]"}},
        // Values that would break the line or be read otherwise, or that wpa_supplicant
        // would not take (tests/data/8021x-refused/); secrets masked.
        {"LineFeedInPsk", [] { return personal({"office", 3, 1, "psk-secret-9\npsk=x"}); }, kPersonal, {refusal("psk", "holds a control character"), psk}},
        {"IdentityLineTooLongToRead", enterprise([](auto &p) { p.user_name = kLongName.c_str(); }), kEnterprise, {refusal("identity", "is too long for a config file line"), "ERROR Cannot write out username [" + kLongName + "]"}},
        {"PskCutAtComment", [] { return personal({"office", 3, 1, "psk-secret-9\"x#y"}); }, kPersonal, {refusal("psk", "would be cut short at a '#'"), psk}},
        {"WepWithoutKey", [] { return wep(nullptr, 0); }, kWep, {"WARN Null file pointer or key for wireless configuration", "ERROR Cannot write out SecType [(null)]"}},
        {"EmptyWepKey", [] { return wep("", 0); }, kWep, {"WARN String for the key failed to write to config file for wireless configuration", wep_key}},
        {"HexWepKeyNotHex", [] { return wep("012345678#", 1); }, kWep, {refusal("wep_key0", "is not 10, 26 or 32 hex digits"), wep_key}},
        {"Ssid33", [] { return open_net({std::string(33, 's').c_str(), 0, 0, nullptr}); }, kOpen, {refusal("ssid", "is longer than 32 bytes"), "ERROR Cannot write out username [" + std::string(33, 's') + "]"}},
        {"Psk7", [] { return personal({"office", 3, 1, "1234567"}); }, kPersonal, {passphrase, psk}},
        {"PskNotAscii", [] { return personal({"office", 3, 1, "p\xc3\xa4ssphrase"}); }, kPersonal, {passphrase, psk}},
        {"Psk64NotHex", [] { return personal({"office", 3, 1, (std::string(63, 'a') + "g").c_str()}); }, kPersonal, {passphrase, psk}},
        // A WEP key is one of three lengths, each written above, so one other length of each kind
        // shows the refusal (the hex one with a non-hex digit).
        {"WepText6", [] { return wep("abcdef", 0); }, kWep, {refusal("wep_key0", "is not 5, 13 or 16 characters"), wep_key}}});
    for (const int32_t code : {8, 9, -1})  // 9 on the wireless interface
        cases.push_back({code < 0 ? "EapCodeMinus1" : "EapCode" + std::to_string(code),
                         [code] { return dot1x(full(code == 9, code)); }, kEnterprise,
                         {"ERROR EAP type [" + std::to_string(code) + "] is not supported!"}});
    // Every method that needs a password (TLS ones leave the line out).
    for (const uint32_t code : {0u, 1u, 3u, 4u, 5u, 6u})
        cases.push_back({"NoPasswordCode" + std::to_string(code), enterprise([](auto &p) { p.password = nullptr; }, code),
                         kEnterprise, {kUser, "WARN Null password pointer", "ERROR Cannot write out password"}});
    return cases;
}

class Supplicant : public tavrel_test::TavrelTest, public ::testing::WithParamInterface<Case> {};

// Each file holds its own path beforehand. No secret reaches the log (a
// failure's whole log is its case's).
TEST_P(Supplicant, WritesTheFileWholeAndPrivateOrKeepsThePreviousFilesAndLogsInOrder) {
    const Case &c = GetParam();
    for (const char *path : {CF_IO_WIRED_CONF_PATH, CF_IO_WIRELESS_CONF_PATH}) write(path, path);
    EXPECT_EQ(c.build(), c.builder ? 0u : 1u);
    for (const char *secret : {"secret", "wep-k", "0123456789", "ab\"cd", "#a\"b\"c#d\"efg"})
        EXPECT_TRUE(nowhere_in_log(secret)) << secret;
    if (!c.builder) {
        const std::string path = c.name.starts_with("wired") ? CF_IO_WIRED_CONF_PATH : CF_IO_WIRELESS_CONF_PATH;
        EXPECT_EQ(read(path), tavrel_test::source_text("tests/data/8021x/" + c.name + ".conf"));
        EXPECT_EQ(mode_of(path), 0600u);
        return;
    }
    std::vector<std::string> expected = c.between;
    expected.insert(expected.begin(), std::string("LIBENTER ") + c.builder);
    expected.push_back(std::string("LIBRETURN ") + c.builder);
    EXPECT_EQ(log_lines(), expected);
    for (const char *path : {CF_IO_WIRED_CONF_PATH, CF_IO_WIRELESS_CONF_PATH}) EXPECT_EQ(read(path), path);
}

INSTANTIATE_TEST_SUITE_P(Cases, Supplicant, ::testing::ValuesIn(cases()),
                         [](const auto &test) { return std::regex_replace(test.param.name, std::regex("-"), "_"); });

}  // namespace
