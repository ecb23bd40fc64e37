// wpa_supplicant reads every file test_8021x expects the builders to write
// (tests/data/8021x/), and from those that hold a double quote, a '#',
// non-ASCII bytes or a hex key it reads back exactly the caller's bytes.
#include <filesystem>
#include <map>
#include <sstream>

#include "tavrel_test.h"

namespace {

// A value as wpa_supplicant -dd -K reports it: "NAME - hexdump(len=N): 61 62", or
// "NAME - hexdump_ascii(len=N):" and then "     61 62 ...  ab" (one line for the
// values of up to 16 bytes used here).
std::optional<std::string> reported(const std::string &out, const std::string &name) {
    const std::size_t at = out.find("\n" + name + " - hexdump");
    if (at == std::string::npos) return std::nullopt;
    const std::size_t length = std::stoul(out.substr(out.find("(len=", at) + 5));
    std::istringstream hex(out.substr(out.find("):", at) + 2));
    std::string bytes, token;
    while (bytes.size() < length && hex >> token) bytes += static_cast<char>(std::stoi(token, nullptr, 16));
    return bytes;
}

// The caller's bytes, by expected file and the name wpa_supplicant reports the value under.
const std::map<std::string, std::map<std::string, std::string>> kCallersBytes{
    {"wep-hex.conf", {{"wep_key0", "\x01\x23\x45\x67\x89"}}},
    {"wep-quote-as-hex.conf", {{"wep_key0", "ab\"cd"}}},
    {"personal-quote-in-ssid.conf", {{"ssid", "x\"y#"}, {"PSK (ASCII passphrase)", "#a\"b\"c#d\"efg"}}},
    {"wired-quoted.conf",
     {{"identity", "al\"ice"}, {"anonymous_identity", "a#n\xc3\xa9"}, {"ca_cert", "/c/\"ca"}, {"ca_cert2", "/c/\"ca"},
      {"client_cert2", "/c/cl.pem"}, {"private_key2_passwd", "kp\"secret-2"}}},
    {"wireless-quoted.conf",
     {{"ssid", "caf\xc3\xa9#1"}, {"identity", "\""}, {"password", "pw\"secret#\xc3\xa9"}, {"ca_cert", "/c/ca#1"}}},
};

// Parsing stops once the configuration is read: the interface does not exist.
TEST(WpaSupplicant, ReadsEveryExpectedFileAndTheCallersBytes) {
    std::size_t files = 0, with_bytes = 0;
    for (const auto &entry : std::filesystem::directory_iterator(tavrel_test::source_path("tests/data/8021x"))) {
        const std::string file = entry.path().filename();
        SCOPED_TRACE(file);
        const auto run = tavrel_test::run_program(
            {"wpa_supplicant", "-dd", "-K", "-D", "wired", "-i", "tavrel-none0", "-c", entry.path()});
        const std::string out = run.out + run.err;
        EXPECT_NE(out.find("Reading configuration file"), std::string::npos) << out;
        EXPECT_EQ(out.find("Failed to read or parse configuration"), std::string::npos) << out;
        EXPECT_NE(out.find("Priority group 0"), std::string::npos) << out;
        ++files;
        if (!kCallersBytes.contains(file)) continue;
        ++with_bytes;
        for (const auto &[name, bytes] : kCallersBytes.at(file)) EXPECT_EQ(reported(out, name), bytes) << name;
    }
    EXPECT_GT(files, kCallersBytes.size());
    EXPECT_EQ(with_bytes, kCallersBytes.size());
}

}  // namespace
