// wpa_supplicant reads every file test_8021x expects the builders to write
// (tests/data/8021x/), and reads back exactly the caller's bytes: double
// quotes, '#' and non-ASCII bytes included.
#include <filesystem>
#include <sstream>

#include "tavrel/8021x_config.h"
#include "tavrel_test.h"

namespace {

const std::string kWired = CF_IO_WIRED_CONF_PATH;
const std::string kWireless = CF_IO_WIRELESS_CONF_PATH;

// Parses the file as wpa_supplicant does before it needs an interface (the
// interface does not exist, so it stops right after); -K shows keys.
std::string read_back(const std::string &file) {
    const auto run =
        tavrel_test::run_program({"wpa_supplicant", "-dd", "-K", "-D", "wired", "-i", "tavrel-none0", "-c", file});
    const std::string out = run.out + run.err;
    EXPECT_NE(out.find("Reading configuration file"), std::string::npos) << out;
    EXPECT_EQ(out.find("Failed to read or parse configuration"), std::string::npos) << out;
    EXPECT_NE(out.find("Priority group 0"), std::string::npos) << out;
    return out;
}

// A value as wpa_supplicant reports it: "NAME - hexdump(len=N): 61 62" on one
// line, or "NAME - hexdump_ascii(len=N):" and then lines of "     61 62 ...  ab"
// (up to 16 bytes, then the printable text).
std::optional<std::string> reported(const std::string &out, const std::string &name) {
    for (const std::string kind : {"hexdump_ascii", "hexdump"}) {
        const std::size_t at = out.find("\n" + name + " - " + kind + "(len=");
        if (at == std::string::npos) continue;
        const std::size_t length = std::stoul(out.substr(out.find("(len=", at) + 5));
        std::istringstream lines(out.substr(out.find("):", at) + 2));
        std::string line, hex;
        std::getline(lines, hex);  // the bytes of a plain hexdump; nothing for hexdump_ascii
        for (std::size_t n = 0; kind == "hexdump_ascii" && n < length && std::getline(lines, line); n += 16)
            hex += " " + line.substr(5, 48);
        std::istringstream in(hex);
        std::string bytes, token;
        while (bytes.size() < length && in >> token) bytes += static_cast<char>(std::stoi(token, nullptr, 16));
        return bytes;
    }
    return std::nullopt;
}

TEST(WpaSupplicantReads, EveryExpectedFile) {
    int files = 0;
    for (const auto &entry : std::filesystem::directory_iterator(tavrel_test::source_path("tests/data/8021x"))) {
        SCOPED_TRACE(entry.path().filename().string());
        read_back(entry.path());
        ++files;
    }
    EXPECT_GT(files, 0);
}

class WpaSupplicantReadsBack : public tavrel_test::TavrelTest {
protected:
    // The file was built; each value as wpa_supplicant reports it is the caller's bytes.
    void expect(unsigned built, const std::string &fixed,
                const std::vector<std::pair<std::string, std::string>> &values) {
        ASSERT_EQ(built, 1u);
        const std::string out = read_back(path(fixed));
        for (const auto &[key, bytes] : values) EXPECT_EQ(reported(out, key), bytes) << key;
    }
};

TEST_F(WpaSupplicantReadsBack, TheCallersBytes) {
    const CF_IO_Wireless_Params open{"caf\xc3\xa9#1", CF_IO_SECMODE_NONE, 0, nullptr};
    expect(cf_build_wireless_nosecurity_8021x_conf_for_authentication(&open), kWireless, {{"ssid", "caf\xc3\xa9#1"}});

    for (const auto &[key, key_is_hex, bytes] : {std::tuple<const char *, int32_t, std::string>{"ab\"c#", 0, "ab\"c#"},
                                                  {"k#\xc3\xa9y", 0, "k#\xc3\xa9y"},
                                                  {"0123456789", 1, "\x01\x23\x45\x67\x89"}}) {
        const CF_IO_WEP_Params wep{"x\"y", CF_IO_SECMODE_WEP, key, 0, 0, 0, key_is_hex};
        expect(cf_build_wireless_wep_8021x_conf_for_authentication(&wep), kWireless,
               {{"wep_key0", bytes}, {"ssid", "x\"y"}});
    }

    for (const char *psk : {"ab\"cdefgh", "a\"b\"c#defgh", "#abc\"def\"gh\"", "pass phrase #1"}) {
        const CF_IO_Wireless_Params personal{"o#\"ffice", CF_IO_SECMODE_WPA2_PSK, CF_IO_ENCMODE_CCMP, psk};
        expect(cf_build_wireless_personal_8021x_conf_for_authentication(&personal), kWireless,
               {{"PSK (ASCII passphrase)", psk}, {"ssid", "o#\"ffice"}});
    }

    const CF_IO_8021x_Params wired{CF_IO_IFACE_WIRED, nullptr, 0, 0, CF_IO_EAP_TTLS_TLS, "al\"ice#", nullptr,
                                   "a#n\xc3\xa9\"", "/c/\"ca#", "/c/\xc3\xa9#.pem", "/c/\"k", "kp\"se#cret"};
    expect(cf_build_enterprise_8021x_conf_for_authentication(&wired), kWired,
           {{"identity", "al\"ice#"}, {"anonymous_identity", "a#n\xc3\xa9\""}, {"ca_cert", "/c/\"ca#"},
            {"ca_cert2", "/c/\"ca#"}, {"client_cert2", "/c/\xc3\xa9#.pem"}, {"private_key2", "/c/\"k"},
            {"private_key2_passwd", "kp\"se#cret"}});

    const CF_IO_8021x_Params wireless{CF_IO_IFACE_WIRELESS, "c#\"orp", CF_IO_SECMODE_WPA2_EAP, CF_IO_ENCMODE_AES,
                                      CF_IO_EAP_PEAP_MSCHAPV2, "\"", "pw\"se#c\xc3\xa9", nullptr, "/c/ca#1",
                                      nullptr, nullptr, nullptr};
    expect(cf_build_enterprise_8021x_conf_for_authentication(&wireless), kWireless,
           {{"ssid", "c#\"orp"}, {"identity", "\""}, {"password", "pw\"se#c\xc3\xa9"}, {"ca_cert", "/c/ca#1"}});
}

}  // namespace
