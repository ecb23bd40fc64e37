// The real readers of the files read every file the builder tests expect
// (they hold the builders to these files byte for byte): Samba's testparm
// takes each smb.conf entry as the parameter we meant and has nothing to say
// beyond what the device's older SMB client needs; Heimdal's
// verify_krb5_conf finds no parse error, no unknown entry, nothing but the
// complaints listed; wpa_supplicant loads every supplicant file and reads
// back exactly the caller's bytes from those that hold a double quote, a
// '#', control or non-ASCII bytes or a hex key. At each limit of a value,
// what the builders write wpa_supplicant reads, and what they refuse it
// would have refused too.
#include <regex>
#include <span>

#include "tavrel_test.h"

namespace {

// ---- testparm ------------------------------------------------------------------

// What current Samba no longer accepts but the device's SMB client needs.
// A line testparm refuses outright stops it from reading further, so such a
// line is taken out before the file is handed over; the others stay, and
// only their notices are allowed.
constexpr std::string_view kRefusedLines[] = {"\tsecurity = server"};
constexpr std::string_view kAllowedNotices[] = {
    "Unknown parameter encountered: \"display charset\"",
    "Ignoring unknown parameter \"display charset\"",
    "WARNING: The \"client ntlmv2 auth\" option is deprecated",
};
// Words with which testparm reports what it could not take.
constexpr std::string_view kComplaints[] = {"Unknown", "Ignoring", "WARNING", "Error", "invalid"};
constexpr std::string_view kParsed = "doing parameter ";

bool mentions_any(std::string_view line, std::span<const std::string_view> words) {
    return std::ranges::any_of(words, [&](std::string_view w) { return line.find(w) != line.npos; });
}

class Testparm : public tavrel_test::TavrelTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(Testparm, ReadsEveryEntryAsWritten) {
    std::string handed_over;
    std::vector<std::string> entries;  // "name = value", as written after the tab
    for (const std::string &line : tavrel_test::lines_of(tavrel_test::source_text("tests/data/smb/" + GetParam()))) {
        if (std::ranges::find(kRefusedLines, line) != std::end(kRefusedLines)) continue;
        handed_over += line + "\n";
        if (line.starts_with('\t')) entries.push_back(line.substr(1));
    }
    write("/tmp/testparm.conf", handed_over);
    const auto run = tavrel_test::run_program({"testparm", "-s", "-d", "5", path("/tmp/testparm.conf")});
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<std::string> parsed;
    for (const std::string &line : tavrel_test::lines_of(run.err)) {
        if (line.starts_with(kParsed)) parsed.push_back(line.substr(kParsed.size()));
        EXPECT_FALSE(mentions_any(line, kComplaints) && !mentions_any(line, kAllowedNotices)) << line;
    }
    // A line testparm could not parse, or one a trailing backslash joined to
    // the next, shows up as a difference here.
    EXPECT_EQ(parsed, entries);
}

INSTANTIATE_TEST_SUITE_P(Expected, Testparm, ::testing::ValuesIn(tavrel_test::files_in("tests/data/smb", ".conf")),
                         [](const auto &test) {
                             std::string name = test.param;  // "auth/Name.conf" -> "auth_Name"
                             name[4] = '_';
                             name.resize(name.size() - 5);
                             return name;
                         });

// ---- verify_krb5_conf ----------------------------------------------------------

// What the checker may say about our files, and why that is no fault of theirs.
struct Tolerated {
    const char *why;
    std::regex line;
    bool smart_card_only;
};
const std::vector<Tolerated> &tolerated() {
    static const std::vector<Tolerated> list = {
        {"the test host names do not resolve on this machine",
         std::regex(R"(verify_krb5_conf: /realms/[^/]+/(kdc|admin_server): )"
                    R"((Name or service not known|Temporary failure in name resolution|)"
                    R"(No address associated with hostname|Non-recoverable failure in name resolution) \([^()]+\))"),
         false},
        {"its own host check does not know the [address]:port form that Heimdal's library reads",
         std::regex(R"(verify_krb5_conf: /realms/[^/]+/(kdc|admin_server): )"
                    R"(failed to parse port number in \[[0-9A-Fa-f:.]+\](:[0-9]+)?)"),
         false},
        {"the smart-card file must carry this section as the device's PKINIT log-in reads it",
         std::regex(R"(verify_krb5_conf: /default_realm: unknown entry)"), true},
    };
    return list;
}

// The checker's lines about a file that the list above does not tolerate.
std::vector<std::string> complaints(const std::string &file, bool smart_card) {
    const tavrel_test::ToolRun run = tavrel_test::run_program({"verify_krb5_conf", file});
    std::vector<std::string> left;
    for (const std::string &line : tavrel_test::lines_of(run.out + run.err)) {
        const bool ok = std::any_of(tolerated().begin(), tolerated().end(), [&](const Tolerated &t) {
            return (smart_card || !t.smart_card_only) && std::regex_match(line, t.line);
        });
        if (!ok) left.push_back(line);
    }
    return left;
}

class VerifyKrb5Conf : public ::testing::TestWithParam<std::string> {};

TEST_P(VerifyKrb5Conf, HeimdalFindsNothingWrong) {
    const bool smart_card = GetParam().starts_with("Cac");  // the cases of the smart-card builder
    EXPECT_EQ(complaints(tavrel_test::source_path("tests/data/krb/" + GetParam()), smart_card), tavrel_test::Lines{});
}

INSTANTIATE_TEST_SUITE_P(GoldenFiles, VerifyKrb5Conf, ::testing::ValuesIn(tavrel_test::files_in("tests/data/krb", ".conf")),
                         [](const auto &p) { return p.param.substr(0, p.param.size() - 5); });

// The checker does report what these tests rely on it to report.
using VerifyKrb5ConfItself = tavrel_test::TavrelTest;

TEST_F(VerifyKrb5ConfItself, ReportsParseErrorsAndUnknownEntries) {
    write("/etc/krb5.conf", "[libdefaults]\n\tfoo = 1\n[default_realm]\n\tx = Y\n[realms]\n\tX = {\n");
    EXPECT_FALSE(complaints(path("/etc/krb5.conf"), true).empty());  // unclosed {
    write("/etc/krb5.conf", "[libdefaults]\n\tfoo = 1\n[default_realm]\n\tx = Y\n");
    EXPECT_EQ(complaints(path("/etc/krb5.conf"), false).size(), 2u);
}

// ---- wpa_supplicant ------------------------------------------------------------

// A value as wpa_supplicant -dd -K reports it: "NAME - hexdump(len=N): 61 62" on
// one line, or "NAME - hexdump_ascii(len=N):" and then lines of up to 16 bytes,
// "     61 62 ...  ab", whose hex columns stand at 5 to 52.
std::optional<std::string> reported(const std::string &out, const std::string &name) {
    const std::string head = "\n" + name + " - hexdump";
    const std::size_t at = out.find(head);
    if (at == std::string::npos) return std::nullopt;
    const std::size_t length = std::stoul(out.substr(out.find("(len=", at) + 5));
    const bool ascii = out.compare(at + head.size(), 6, "_ascii") == 0;
    std::istringstream lines(out.substr(out.find("):", at) + 2));
    std::string bytes, line;
    const auto take = [&](const std::string &columns) {
        std::istringstream hex(columns);
        std::string token;
        while (bytes.size() < length && hex >> token) bytes += static_cast<char>(std::stoi(token, nullptr, 16));
    };
    std::getline(lines, line);
    if (!ascii) take(line);
    while (ascii && bytes.size() < length && std::getline(lines, line)) take(line.substr(5, 48));
    return bytes;
}

// The caller's bytes, by expected file and the name wpa_supplicant reports the value under.
const std::map<std::string, std::map<std::string, std::string>> kCallersBytes{
    {"wep-hex.conf", {{"wep_key0", "\x01\x23\x45\x67\x89"}}},
    {"wep-quote-as-hex.conf", {{"wep_key0", "ab\"cd"}}},
    {"wired-control-bytes.conf",
     {{"identity", "al\tice"}, {"password", "pw-secret-1\x7f\n"}, {"anonymous_identity", "an\ton"}}},
    {"personal-quote-in-ssid.conf", {{"ssid", "x\"y#"}, {"PSK (ASCII passphrase)", "#a\"b\"c#d\"efg"}}},
    {"wired-quoted.conf",
     {{"identity", "al\"ice"}, {"anonymous_identity", "a#n\xc3\xa9"}, {"ca_cert", "/c/\"ca"}, {"ca_cert2", "/c/\"ca"},
      {"client_cert2", "/c/cl.pem"}, {"private_key2_passwd", "kp\"secret-2"}}},
    {"wireless-quoted.conf",
     {{"ssid", "caf\xc3\xa9#1"}, {"identity", "\""}, {"password", "pw\"secret#\xc3\xa9"}, {"ca_cert", "/c/ca#1"}}},
};

// What wpa_supplicant makes of a file. Parsing stops once the configuration
// is read: the interface does not exist.
struct Verdict {
    bool network_loaded;
    std::string out;
};
Verdict read_config(const std::string &file) {
    const auto run =
        tavrel_test::run_program({"wpa_supplicant", "-dd", "-K", "-D", "wired", "-i", "tavrel-none0", "-c", file});
    const std::string out = run.out + run.err;
    const bool loaded = out.find("Reading configuration file") != std::string::npos &&
                        out.find("Failed to read or parse configuration") == std::string::npos &&
                        out.find("this network block will be ignored") == std::string::npos &&
                        out.find("Priority group 0") != std::string::npos;
    return {loaded, out};
}

TEST(WpaSupplicant, ReadsEveryExpectedFileAndTheCallersBytes) {
    std::size_t files = 0, with_bytes = 0;
    for (const std::string &file : tavrel_test::files_in("tests/data/8021x", ".conf")) {
        SCOPED_TRACE(file);
        const Verdict verdict = read_config(tavrel_test::source_path("tests/data/8021x/" + file));
        const std::string &out = verdict.out;
        EXPECT_TRUE(verdict.network_loaded) << out;
        ++files;
        if (!kCallersBytes.contains(file)) continue;
        ++with_bytes;
        for (const auto &[name, bytes] : kCallersBytes.at(file)) EXPECT_EQ(reported(out, name), bytes) << name;
    }
    EXPECT_GT(files, kCallersBytes.size());
    EXPECT_EQ(with_bytes, kCallersBytes.size());
}

// ---- Limits of the values ---------------------------------------------------------

enum class Value { ssid, psk, wep_text, wep_hex };

struct Limit {
    std::string name;
    Value value;
    std::string text;
    // When refused: what the builder warns. Accepted values are written and read back.
    std::string refusal = {};
    // Where wpa_supplicant reports the value it read, when accepted.
    std::string reported_as = {};
};
void PrintTo(const Limit &l, std::ostream *os) { *os << l.name; }

std::string refused(const char *key, const char *what) {
    return std::string("Value for [") + key + "] " + what + "; not written to config file";
}

const std::string kHex64(64, 'a');

const Limit kLimits[] = {
    {"Ssid32", Value::ssid, std::string(32, 's'), {}, "ssid"},
    {"Ssid33", Value::ssid, std::string(33, 's'), refused("ssid", "is longer than 32 bytes")},
    {"Psk7", Value::psk, "1234567", refused("psk", "is not 8 to 63 printable ASCII characters")},
    {"Psk8", Value::psk, "12345678", {}, "PSK (ASCII passphrase)"},
    {"Psk63", Value::psk, std::string(63, 'p'), {}, "PSK (ASCII passphrase)"},
    {"Psk64NotHex", Value::psk, std::string(63, 'a') + "g", refused("psk", "is not 8 to 63 printable ASCII characters")},
    {"Psk64HexIsTheKey", Value::psk, kHex64, {}, "PSK"},
    {"Psk65", Value::psk, std::string(65, 'a'), refused("psk", "is not 8 to 63 printable ASCII characters")},
    {"WepText5", Value::wep_text, "abcde", {}, "wep_key0"},
    {"WepText13", Value::wep_text, std::string(13, 'w'), {}, "wep_key0"},
    {"WepText16", Value::wep_text, std::string(16, 'w'), {}, "wep_key0"},
    {"WepText6", Value::wep_text, "abcdef", refused("wep_key0", "is not 5, 13 or 16 characters")},
    {"WepText17", Value::wep_text, std::string(17, 'w'), refused("wep_key0", "is not 5, 13 or 16 characters")},
    {"WepHex10", Value::wep_hex, "0123456789", {}, "wep_key0"},
    {"WepHex10Capitals", Value::wep_hex, "ABCDEF0189", {}, "wep_key0"},
    {"WepHex26", Value::wep_hex, std::string(26, 'a'), {}, "wep_key0"},
    {"WepHex32", Value::wep_hex, std::string(32, 'b'), {}, "wep_key0"},
    {"WepHex11", Value::wep_hex, "01234567890", refused("wep_key0", "is not 10, 26 or 32 hex digits")},
    {"WepHex12", Value::wep_hex, "012345678901", refused("wep_key0", "is not 10, 26 or 32 hex digits")},
};

// The bytes wpa_supplicant should report for an accepted value.
std::string bytes_of(const Limit &l) {
    if (l.value != Value::wep_hex && !(l.value == Value::psk && l.text == kHex64)) return l.text;
    std::string bytes;
    for (std::size_t i = 0; i + 1 < l.text.size(); i += 2) bytes += static_cast<char>(std::stoi(l.text.substr(i, 2), nullptr, 16));
    return bytes;
}

class ValueLimit : public tavrel_test::TavrelTest, public ::testing::WithParamInterface<Limit> {
protected:
    unsigned build(const Limit &l) {
        const char *text = l.text.c_str();
        switch (l.value) {
        case Value::ssid: {
            const CF_IO_Wireless_Params p{text, CF_IO_SECMODE_NONE, 0, nullptr};
            return cf_build_wireless_nosecurity_8021x_conf_for_authentication(&p);
        }
        case Value::psk: {
            const CF_IO_Wireless_Params p{"office", CF_IO_SECMODE_WPA2_PSK, 1, text};
            return cf_build_wireless_personal_8021x_conf_for_authentication(&p);
        }
        case Value::wep_text:
        case Value::wep_hex: {
            const CF_IO_WEP_Params p{"office", CF_IO_SECMODE_WEP, text, 0, 0, 0, l.value == Value::wep_hex};
            return cf_build_wireless_wep_8021x_conf_for_authentication(&p);
        }
        }
        return 0;
    }

    // The file as it would have been written had the value not been refused.
    std::string unrefused_file(const Limit &l) const {
        std::string lines = "ctrl_interface=/var/run/wpa_supplicant\nap_scan=1\n\nnetwork={\n";
        const std::string quoted = "\"" + l.text + "\"";
        switch (l.value) {
        case Value::ssid: lines += "    ssid=" + quoted + "\n    key_mgmt=NONE\n"; break;
        case Value::psk: lines += "    ssid=\"office\"\n    key_mgmt=WPA-PSK\n    psk=" + quoted + "\n"; break;
        case Value::wep_text: lines += "    ssid=\"office\"\n    key_mgmt=NONE\n    wep_key0=" + quoted + "\n"; break;
        case Value::wep_hex: lines += "    ssid=\"office\"\n    key_mgmt=NONE\n    wep_key0=" + l.text + "\n"; break;
        }
        const std::string file = "/unrefused.conf";
        write(file, lines + "}\n");
        return path(file);
    }
};

TEST_P(ValueLimit, IsWrittenWhenWpaSupplicantReadsItAndRefusedWhenItWouldNot) {
    const Limit &l = GetParam();
    write(CF_IO_WIRELESS_CONF_PATH, "previous\n");
    const unsigned built = build(l);
    if (l.refusal.empty()) {
        ASSERT_EQ(built, 1u);
        const Verdict verdict = read_config(path(CF_IO_WIRELESS_CONF_PATH));
        EXPECT_TRUE(verdict.network_loaded) << verdict.out;
        EXPECT_EQ(reported(verdict.out, l.reported_as), bytes_of(l)) << verdict.out;
        return;
    }
    EXPECT_EQ(built, 0u);
    EXPECT_TRUE(logged(host::Level::Warn, l.refusal));
    EXPECT_EQ(read(CF_IO_WIRELESS_CONF_PATH), "previous\n");
    const Verdict verdict = read_config(unrefused_file(l));
    EXPECT_FALSE(verdict.network_loaded) << verdict.out;
}

INSTANTIATE_TEST_SUITE_P(Limits, ValueLimit, ::testing::ValuesIn(kLimits),
                         [](const auto &test) { return test.param.name; });

}  // namespace
