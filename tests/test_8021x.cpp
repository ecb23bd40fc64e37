// The supplicant files: what each builder writes, byte for byte, and what a
// failed build logs and leaves behind (the previous file, untouched).
#include <functional>

#include "tavrel/8021x_config.h"
#include "tavrel_test.h"

namespace {

using host::Level;

const std::string kWired = CF_IO_WIRED_CONF_PATH;
const std::string kWireless = CF_IO_WIRELESS_CONF_PATH;

// Secrets the tests pass in; none may reach the log.
const char *const kSecrets[] = {"pw-secret-1", "kp-secret-2", "psk-secret-9", "wep-k", "0123456789"};

const std::string kWirelessHead =
    "ctrl_interface=/var/run/wpa_supplicant\nctrl_interface_group=0\nap_scan=1\n\nnetwork={\n    scan_ssid=1\n";
const std::string kWiredHead =
    "ctrl_interface=/var/run/wpa_supplicant\nctrl_interface_group=0\nap_scan=0\nfast_reauth=0\n\nnetwork={\n";

class Dot1xTest : public tavrel_test::TavrelTest {
protected:
    void TearDown() override {
        for (const char *secret : kSecrets) EXPECT_TRUE(nowhere_in_log(secret)) << secret;
        TavrelTest::TearDown();
    }
};

// ---- Wireless security modes ----------------------------------------------------------

struct WirelessCase {
    const char *name;
    std::function<unsigned()> build;
    std::string body;  // after the wireless header
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

class WirelessFile : public Dot1xTest, public ::testing::WithParamInterface<WirelessCase> {};

TEST_P(WirelessFile, IsWrittenWholeAndPrivate) {
    write(kWireless, "previous\n", 0644);
    EXPECT_EQ(GetParam().build(), 1u);
    EXPECT_EQ(read(kWireless), kWirelessHead + GetParam().body);
    EXPECT_EQ(mode_of(kWireless), 0600u);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, WirelessFile,
    ::testing::Values(
        WirelessCase{"Open", [] { return open_net("office", 0); }, "    ssid=\"office\"\n    key_mgmt=NONE\n}\n"},
        WirelessCase{"OpenWithoutSsid", [] { return open_net(nullptr, 1); }, "    ssid=\"\"\n    key_mgmt=NONE\n}\n"},
        WirelessCase{"OpenGivenPskMode", [] { return open_net("", 2); },
                     "    ssid=\"\"\n    key_mgmt=WPA-PSK\n    proto=RSN WPA\n}\n"},
        WirelessCase{"WepText", [] { return wep("wep-k", 0); },
                     "    ssid=\"office\"\n    key_mgmt=NONE\n    wep_key0=\"wep-k\"\n}\n"},
        WirelessCase{"WepHex", [] { return wep("0123456789", 1); },
                     "    ssid=\"office\"\n    key_mgmt=NONE\n    wep_key0=0123456789\n}\n"},
        WirelessCase{"WepTextWithQuoteAsHexKey", [] { return wep("ab\"cd", 0); },
                     "    ssid=\"office\"\n    key_mgmt=NONE\n    wep_key0=6162226364\n}\n"},
        WirelessCase{"PersonalWpa2", [] { return personal(3, 1, "psk-secret-9"); },
                     "    ssid=\"office\"\n    key_mgmt=WPA-PSK\n    proto=RSN\n    pairwise=CCMP\n"
                     "    group=CCMP TKIP\n    psk=\"psk-secret-9\"\n}\n"},
        WirelessCase{"PersonalWpaTkip", [] { return personal(2, 0, "psk-secret-9"); },
                     "    ssid=\"office\"\n    key_mgmt=WPA-PSK\n    proto=RSN WPA\n    pairwise=TKIP\n"
                     "    group=CCMP TKIP\n    psk=\"psk-secret-9\"\n}\n"},
        WirelessCase{"PersonalCcmpTkipWithoutPsk", [] { return personal(3, 3, nullptr); },
                     "    ssid=\"office\"\n    key_mgmt=WPA-PSK\n    proto=RSN\n    pairwise=CCMP TKIP\n"
                     "    group=CCMP TKIP\n    psk=\"\"\n}\n"},
        WirelessCase{"QuoteInSsidAsHexAndPskKeptQuoted", [] { return personal(3, 2, "a\"b\"c#defg", "x\"y#"); },
                     "    ssid=78227923\n    key_mgmt=WPA-PSK\n    proto=RSN\n    pairwise=CCMP\n"
                     "    group=CCMP TKIP\n    psk=\"a\"b\"c#defg\"\n}\n"}),
    [](const auto &test) { return std::string(test.param.name); });

// ---- Enterprise: every method on both interfaces ---------------------------------------

// Method lines by code, with every optional field present and with every one
// absent; "[W]" marks where the wired 802.1X block goes.
struct MethodLines {
    const char *present;
    const char *absent;
};
const MethodLines kMethodLines[] = {
    {"    identity=\"alice\"\n    password=\"pw-secret-1\"\n    eap=MD5\n[W]", nullptr},
    {"    identity=\"alice\"\n    password=\"pw-secret-1\"\n    eap=PEAP\n[W]    phase2=\"auth=MSCHAPV2\"\n"
     "    ca_cert=\"/c/ca.pem\"\n",
     "    identity=\"alice\"\n    password=\"pw-secret-1\"\n    eap=PEAP\n[W]    phase2=\"auth=MSCHAPV2\"\n"},
    {"    identity=\"alice\"\n    password=\"pw-secret-1\"\n[W]    eap=TLS\n    ca_cert=\"/c/ca.pem\"\n"
     "    client_cert=\"/c/cl.pem\"\n    private_key=\"/c/k.pem\"\n    private_key_passwd=\"kp-secret-2\"\n",
     "    identity=\"alice\"\n[W]    eap=TLS\n    client_cert=\"\"\n    private_key=\"\"\n"
     "    private_key_passwd=\"\"\n"},
    {"    identity=\"alice\"\n    password=\"pw-secret-1\"\n    eap=MSCHAPV2\n[W]", nullptr},
    {"    identity=\"alice\"\n    password=\"pw-secret-1\"\n    eap=LEAP\n[W]", nullptr},
    {"    identity=\"alice\"\n    password=\"pw-secret-1\"\n    anonymous_identity=\"anon\"\n[W]    eap=TTLS\n"
     "    phase2=\"auth=PAP\"\n    ca_cert=\"/c/ca.pem\"\n",
     "    identity=\"alice\"\n    password=\"pw-secret-1\"\n[W]    eap=TTLS\n    phase2=\"auth=PAP\"\n"},
    {"    identity=\"alice\"\n    password=\"pw-secret-1\"\n    anonymous_identity=\"anon\"\n[W]    eap=TTLS\n"
     "    phase2=\"auth=MSCHAPV2\"\n    ca_cert=\"/c/ca.pem\"\n",
     "    identity=\"alice\"\n    password=\"pw-secret-1\"\n[W]    eap=TTLS\n    phase2=\"auth=MSCHAPV2\"\n"},
    {"    identity=\"alice\"\n    eap=TTLS\n    anonymous_identity=\"anon\"\n[W]    phase2=\"auth=TLS\"\n"
     "    ca_cert=\"/c/ca.pem\"\n    ca_cert2=\"/c/ca.pem\"\n    client_cert2=\"/c/cl.pem\"\n"
     "    private_key2=\"/c/k.pem\"\n    private_key2_passwd=\"kp-secret-2\"\n",
     "    identity=\"alice\"\n    eap=TTLS\n[W]    phase2=\"auth=TLS\"\n    client_cert2=\"\"\n    private_key2=\"\"\n"
     "    private_key2_passwd=\"\"\n"},
};

CF_IO_8021x_Params enterprise(int32_t interface, uint32_t eap_type, bool optional_present) {
    CF_IO_8021x_Params p{interface, "corp", 5, 1, eap_type, "alice", "pw-secret-1", "anon", "/c/ca.pem",
                         "/c/cl.pem", "/c/k.pem", "kp-secret-2"};
    if (!optional_present) {
        p.outer_identity = p.ca_cert = p.client_cert = p.private_key = p.private_key_passwd = nullptr;
        if (eap_type == CF_IO_EAP_TLS || eap_type == CF_IO_EAP_TTLS_TLS) p.password = nullptr;
    }
    return p;
}

// The file the enterprise builder should write for the record above.
std::string enterprise_file(int32_t interface, uint32_t eap_type, bool optional_present) {
    const MethodLines &m = kMethodLines[eap_type];
    std::string body = optional_present || !m.absent ? m.present : m.absent;
    const std::string block = interface == CF_IO_IFACE_WIRED ? "    key_mgmt=IEEE8021X\n    eapol_flags=0\n" : "";
    body.replace(body.find("[W]"), 3, block);
    const std::string head = interface == CF_IO_IFACE_WIRED
                                 ? kWiredHead
                                 : kWirelessHead + "    ssid=\"corp\"\n    key_mgmt=WPA-EAP\n    proto=RSN\n"
                                                   "    pairwise=CCMP\n    group=CCMP TKIP\n";
    return head + body + "}\n";
}

std::string enterprise_case_name(const ::testing::TestParamInfo<std::tuple<int32_t, uint32_t, bool>> &test) {
    const auto [interface, code, optional_present] = test.param;
    return std::string(interface ? "Wireless" : "Wired") + "Code" + std::to_string(code) +
           (optional_present ? "AllOptional" : "NoOptional");
}

class EnterpriseFile : public Dot1xTest,
                       public ::testing::WithParamInterface<std::tuple<int32_t, uint32_t, bool>> {};

TEST_P(EnterpriseFile, IsWrittenWholeAndPrivate) {
    const auto [interface, eap_type, optional_present] = GetParam();
    const std::string path = interface == CF_IO_IFACE_WIRED ? kWired : kWireless;
    const CF_IO_8021x_Params p = enterprise(interface, eap_type, optional_present);
    EXPECT_EQ(cf_build_enterprise_8021x_conf_for_authentication(&p), 1u);
    EXPECT_EQ(read(path), enterprise_file(interface, eap_type, optional_present));
    EXPECT_EQ(mode_of(path), 0600u);
    EXPECT_TRUE(logged(Level::Debug, "Config file successfully created"));
}

INSTANTIATE_TEST_SUITE_P(Methods, EnterpriseFile,
                         ::testing::Combine(::testing::Values(0, 1), ::testing::Range(0u, 8u), ::testing::Bool()),
                         enterprise_case_name);

TEST_F(Dot1xTest, QuotedValuesGoOutInHexAndControlFreeOthersVerbatim) {
    CF_IO_8021x_Params p = enterprise(CF_IO_IFACE_WIRED, CF_IO_EAP_TTLS_TLS, true);
    p.user_name = "al\"ice";
    p.outer_identity = "a#n\xc3\xa9";
    p.ca_cert = "/c/\"ca";
    p.private_key_passwd = "kp\"secret-2";
    ASSERT_EQ(cf_build_enterprise_8021x_conf_for_authentication(&p), 1u);
    EXPECT_EQ(read(kWired), kWiredHead +
                                "    identity=616c22696365\n    eap=TTLS\n    anonymous_identity=\"a#n\xc3\xa9\"\n"
                                "    key_mgmt=IEEE8021X\n    eapol_flags=0\n    phase2=\"auth=TLS\"\n"
                                "    ca_cert=2f632f226361\n    ca_cert2=2f632f226361\n    client_cert2=\"/c/cl.pem\"\n"
                                "    private_key2=\"/c/k.pem\"\n    private_key2_passwd=6b70227365637265742d32\n}\n");
}

// ---- Failures ----------------------------------------------------------------------------

constexpr char kOpen[] = "cf_build_wireless_nosecurity_8021x_conf_for_authentication";
constexpr char kWep[] = "cf_build_wireless_wep_8021x_conf_for_authentication";
constexpr char kPersonal[] = "cf_build_wireless_personal_8021x_conf_for_authentication";
constexpr char kEnterprise[] = "cf_build_enterprise_8021x_conf_for_authentication";

struct FailureCase {
    const char *name;
    std::function<unsigned()> build;
    const char *builder;
    std::vector<std::string> between;  // records between the builder's two trace lines
};

// An enterprise build with one change to the wired PEAP record.
std::function<unsigned()> enterprise_with(std::function<void(CF_IO_8021x_Params &)> change) {
    return [change] {
        CF_IO_8021x_Params p = enterprise(CF_IO_IFACE_WIRED, CF_IO_EAP_PEAP_MSCHAPV2, true);
        change(p);
        return cf_build_enterprise_8021x_conf_for_authentication(&p);
    };
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

const std::string kUser = "DEBUG Username for 802.1x is [alice]";

INSTANTIATE_TEST_SUITE_P(
    Cases, BuildFailure,
    ::testing::Values(
        FailureCase{"WithoutRecord", [] { return cf_build_enterprise_8021x_conf_for_authentication(nullptr); },
                    kEnterprise, {"ERROR Config params are not set"}},
        FailureCase{"SecurityMode6", [] { return open_net("office", 6); }, kOpen,
                    {"WARN Unknown Wireless SecMode 6", "ERROR Cannot write out SecType [6]"}},
        FailureCase{"Encryption4", [] { return personal(3, 4, "psk-secret-9"); }, kPersonal,
                    {"WARN Unknown Wireless Encryption Mode 4", "ERROR Cannot write out EncType [4]"}},
        FailureCase{"EncryptionMinus1", [] { return personal(3, -1, "psk-secret-9"); }, kPersonal,
                    {"WARN Unknown Wireless Encryption Mode -1", "ERROR Cannot write out EncType [-1]"}},
        FailureCase{"EapCode8", enterprise_with([](auto &p) { p.eap_type = 8; }), kEnterprise,
                    {"ERROR EAP type [8] is not supported!"}},
        FailureCase{"EapCode9Wireless", enterprise_with([](auto &p) { p.eap_type = 9;
                        p.interface = 1; }),
                    kEnterprise, {"ERROR EAP type [9] is not supported!"}},
        FailureCase{"EapCodeMinus1", enterprise_with([](auto &p) { p.eap_type = static_cast<uint32_t>(-1); }),
                    kEnterprise, {"ERROR EAP type [-1] is not supported!"}},
        FailureCase{"NoUserName", enterprise_with([](auto &p) { p.user_name = nullptr; }), kEnterprise,
                    {"WARN No user name configured", "ERROR Cannot write out username [(null)]"}},
        FailureCase{"EmptyCaCertPath", enterprise_with([](auto &p) { p.ca_cert = ""; }), kEnterprise,
                    {kUser, "WARN String for the cert file path failed to write to config file for 802.1x",
                     "ERROR Cannot write out ca_cert path info"}},
        FailureCase{"Interface2", enterprise_with([](auto &p) { p.interface = 2; }), kEnterprise,
                    {"WARN Null file pointer for 802.1x settings", "ERROR Cannot write out username [alice]"}},
        // Mends: values that would break the line or be read otherwise, and masked secrets.
        FailureCase{"LineFeedInPassword", enterprise_with([](auto &p) { p.password = "pw-secret-1\neap=MD5"; }),
                    kEnterprise,
                    {kUser, "WARN Value for [password] holds a control character; not written to config file",
                     "ERROR Cannot write out password"}},
        FailureCase{"TabInTlsPassword",
                    enterprise_with([](auto &p) { p.eap_type = CF_IO_EAP_TLS;
                        p.password = "pw-secret-1\t"; }),
                    kEnterprise,
                    {kUser, "WARN Value for [password] holds a control character; not written to config file",
                     "ERROR Cannot write out password [(hidden)]"}},
        FailureCase{"PskCutAtComment", [] { return personal(3, 1, "psk-secret-9\"x#y"); }, kPersonal,
                    {"WARN Value for [psk] would be cut short at a '#'; not written to config file",
                     "ERROR Cannot write out PSK [(hidden)]"}},
        FailureCase{"WepWithoutKey", [] { return wep(nullptr, 0); }, kWep,
                    {"WARN Null file pointer or key for wireless configuration",
                     "ERROR Cannot write out SecType [(null)]"}},
        FailureCase{"EmptyWepKey", [] { return wep("", 0); }, kWep,
                    {"WARN String for the key failed to write to config file for wireless configuration",
                     "ERROR Cannot write out SecType [(hidden)]"}},
        FailureCase{"HexWepKeyNotHex", [] { return wep("0123456789#", 1); }, kWep,
                    {"WARN Value for [wep_key0] is not all hex digits; not written to config file",
                     "ERROR Cannot write out SecType [(hidden)]"}}),
    [](const auto &test) { return std::string(test.param.name); });

class MissingPassword : public Dot1xTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(MissingPassword, FailsTheMethodsThatNeedOne) {
    write(kWired, "previous wired\n");
    CF_IO_8021x_Params p = enterprise(CF_IO_IFACE_WIRED, GetParam(), true);
    p.password = nullptr;
    EXPECT_EQ(cf_build_enterprise_8021x_conf_for_authentication(&p), 0u);
    EXPECT_EQ(log_lines(), (std::vector<std::string>{std::string("LIBENTER ") + kEnterprise, kUser,
                                                     "WARN Null password pointer", "ERROR Cannot write out password",
                                                     std::string("LIBRETURN ") + kEnterprise}));
    EXPECT_EQ(read(kWired), "previous wired\n");
}

INSTANTIATE_TEST_SUITE_P(Codes, MissingPassword, ::testing::Values(0u, 1u, 3u, 4u, 5u, 6u));

}  // namespace
