// wpa_supplicant reads the files the builders write, and reads back exactly
// the caller's bytes: double quotes, '#' and non-ASCII bytes included.
#include <sstream>

#include "tavrel/8021x_config.h"
#include "tavrel_test.h"

namespace {

const std::string kWired = CF_IO_WIRED_CONF_PATH;
const std::string kWireless = CF_IO_WIRELESS_CONF_PATH;

class WpaSupplicantReads : public tavrel_test::TavrelTest {
protected:
    // Parses the file as wpa_supplicant does before it needs an interface
    // (the interface does not exist, so it stops right after); -K shows keys.
    std::string read_back(const std::string &fixed) {
        const auto run = tavrel_test::run_program(
            {"wpa_supplicant", "-dd", "-K", "-D", "wired", "-i", "tavrel-none0", "-c", path(fixed)});
        const std::string out = run.out + run.err;
        EXPECT_NE(out.find("Reading configuration file"), std::string::npos) << out;
        EXPECT_EQ(out.find("Failed to read or parse configuration"), std::string::npos) << out;
        EXPECT_NE(out.find("Priority group 0"), std::string::npos) << out;
        return out;
    }
};

// A value as wpa_supplicant reports it: "NAME - hexdump(len=N): 61 62" on one
// line, or "NAME - hexdump_ascii(len=N):" and then lines of "     61 62 ...  ab"
// (up to 16 bytes, then the printable text).
std::optional<std::string> reported(const std::string &out, const std::string &name) {
    for (const bool ascii : {true, false}) {
        const std::string header = "\n" + name + (ascii ? " - hexdump_ascii(len=" : " - hexdump(len=");
        std::size_t at = out.find(header);
        if (at == std::string::npos) continue;
        at += header.size();
        const std::size_t length = std::stoul(out.substr(at));
        std::string hex;
        std::size_t line_end = out.find('\n', at);
        if (!ascii) hex = out.substr(out.find(':', at) + 1, line_end - out.find(':', at) - 1);
        for (std::size_t read = 0; ascii && read < length; read += 16) {
            const std::size_t next_end = out.find('\n', line_end + 1);
            hex += " " + out.substr(line_end + 1, next_end - line_end - 1).substr(5, 48);
            line_end = next_end;
        }
        std::istringstream in(hex);
        std::string bytes, token;
        while (bytes.size() < length && in >> token) bytes += static_cast<char>(std::stoi(token, nullptr, 16));
        return bytes;
    }
    return std::nullopt;
}

TEST_F(WpaSupplicantReads, EveryMethodOnBothInterfaces) {
    for (const int32_t interface : {CF_IO_IFACE_WIRED, CF_IO_IFACE_WIRELESS}) {
        for (uint32_t code = 0; code < 8; ++code) {
            for (const bool optional_present : {true, false}) {
                SCOPED_TRACE(testing::Message() << "interface " << interface << " code " << code
                                                << (optional_present ? " all optional" : " no optional"));
                CF_IO_8021x_Params p{interface, "corp", 5, 1, code, "alice", "pw-1", "anon", "/c/ca.pem",
                                     "/c/cl.pem", "/c/k.pem", "kp-2"};
                if (!optional_present)
                    p.outer_identity = p.ca_cert = p.client_cert = p.private_key = p.private_key_passwd = nullptr;
                ASSERT_EQ(cf_build_enterprise_8021x_conf_for_authentication(&p), 1u);
                const std::string out = read_back(interface == CF_IO_IFACE_WIRED ? kWired : kWireless);
                EXPECT_EQ(reported(out, "identity"), "alice");
            }
        }
    }
}

TEST_F(WpaSupplicantReads, WirelessModesWithTheirKeys) {
    const CF_IO_Wireless_Params open{"caf\xc3\xa9#1", CF_IO_SECMODE_NONE, 0, nullptr};
    ASSERT_EQ(cf_build_wireless_nosecurity_8021x_conf_for_authentication(&open), 1u);
    EXPECT_EQ(reported(read_back(kWireless), "ssid"), "caf\xc3\xa9#1");

    const struct {
        const char *key;
        int32_t key_is_hex;
        std::string bytes;
    } wep_keys[] = {
        {"ab\"c#", 0, "ab\"c#"}, {"k#\xc3\xa9y", 0, "k#\xc3\xa9y"}, {"0123456789", 1, "\x01\x23\x45\x67\x89"}};
    for (const auto &k : wep_keys) {
        const CF_IO_WEP_Params wep{"x\"y", CF_IO_SECMODE_WEP, k.key, 0, 0, 0, k.key_is_hex};
        ASSERT_EQ(cf_build_wireless_wep_8021x_conf_for_authentication(&wep), 1u) << k.key;
        const std::string out = read_back(kWireless);
        EXPECT_EQ(reported(out, "wep_key0"), k.bytes);
        EXPECT_EQ(reported(out, "ssid"), "x\"y");
    }

    for (const char *psk : {"ab\"cdefgh", "a\"b\"c#defgh", "#abc\"def\"gh\"", "pass phrase #1"}) {
        const CF_IO_Wireless_Params personal{"o#\"ffice", CF_IO_SECMODE_WPA2_PSK, CF_IO_ENCMODE_CCMP, psk};
        ASSERT_EQ(cf_build_wireless_personal_8021x_conf_for_authentication(&personal), 1u) << psk;
        const std::string out = read_back(kWireless);
        EXPECT_EQ(reported(out, "PSK (ASCII passphrase)"), psk);
        EXPECT_EQ(reported(out, "ssid"), "o#\"ffice");
    }
}

TEST_F(WpaSupplicantReads, EnterpriseValuesWithQuotesCommentsAndNonAscii) {
    struct Case {
        CF_IO_8021x_Params record;
        std::vector<std::pair<std::string, std::string>> values;  // key as reported, bytes
    };
    const Case cases[] = {
        {{CF_IO_IFACE_WIRED, nullptr, 0, 0, CF_IO_EAP_TTLS_TLS, "al\"ice#", nullptr, "a#n\xc3\xa9\"", "/c/\"ca#",
          "/c/\xc3\xa9#.pem", "/c/\"k", "kp\"se#cret"},
         {{"identity", "al\"ice#"},
          {"anonymous_identity", "a#n\xc3\xa9\""},
          {"ca_cert", "/c/\"ca#"},
          {"ca_cert2", "/c/\"ca#"},
          {"client_cert2", "/c/\xc3\xa9#.pem"},
          {"private_key2", "/c/\"k"},
          {"private_key2_passwd", "kp\"se#cret"}}},
        {{CF_IO_IFACE_WIRELESS, "c#\"orp", CF_IO_SECMODE_WPA2_EAP, CF_IO_ENCMODE_AES, CF_IO_EAP_PEAP_MSCHAPV2,
          "\"", "pw\"se#c\xc3\xa9", nullptr, "/c/ca#1", nullptr, nullptr, nullptr},
         {{"ssid", "c#\"orp"}, {"identity", "\""}, {"password", "pw\"se#c\xc3\xa9"}, {"ca_cert", "/c/ca#1"}}},
    };
    for (const Case &c : cases) {
        ASSERT_EQ(cf_build_enterprise_8021x_conf_for_authentication(&c.record), 1u);
        const std::string out = read_back(c.record.interface == CF_IO_IFACE_WIRED ? kWired : kWireless);
        for (const auto &[key, bytes] : c.values) EXPECT_EQ(reported(out, key), bytes) << key;
    }
}

}  // namespace
