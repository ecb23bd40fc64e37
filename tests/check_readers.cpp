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

#include "tavrel_test.h"

namespace {

// ---- testparm ------------------------------------------------------------------

// What current Samba no longer accepts but the device's SMB client needs.
// A line testparm refuses outright stops it from reading further, so such a
// line is taken out before the file is handed over; the others stay, and
// only their notices are allowed.
constexpr std::string_view kRefusedLine = "\tsecurity = server";
const std::regex kAllowedNotices(R"(Unknown parameter encountered: "display charset"|)"
                                 R"(Ignoring unknown parameter "display charset"|)"
                                 R"(WARNING: The "client ntlmv2 auth" option is deprecated)");
// Words with which testparm reports what it could not take.
const std::regex kComplaints("Unknown|Ignoring|WARNING|Error|invalid");
constexpr std::string_view kParsed = "doing parameter ";

class Testparm : public tavrel_test::TavrelTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(Testparm, ReadsEveryEntryAsWritten) {
    std::string handed_over;
    std::vector<std::string> entries;  // "name = value", as written after the tab
    for (const std::string &line : tavrel_test::lines_of(tavrel_test::source_text("tests/data/smb/" + GetParam()))) {
        if (line == kRefusedLine) continue;
        handed_over += line + "\n";
        if (line.starts_with('\t')) entries.push_back(line.substr(1));
    }
    write("/tmp/testparm.conf", handed_over);
    const auto run = tavrel_test::run_program({"testparm", "-s", "-d", "5", path("/tmp/testparm.conf")});
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<std::string> parsed;
    for (const std::string &line : tavrel_test::lines_of(run.err)) {
        if (line.starts_with(kParsed)) parsed.push_back(line.substr(kParsed.size()));
        EXPECT_FALSE(std::regex_search(line, kComplaints) && !std::regex_search(line, kAllowedNotices)) << line;
    }
    // A line testparm could not parse, or one a trailing backslash joined to
    // the next, shows up as a difference here.
    EXPECT_EQ(parsed, entries);
}

// "auth/Name.conf" -> "auth_Name"
INSTANTIATE_TEST_SUITE_P(Expected, Testparm, ::testing::ValuesIn(tavrel_test::files_in("tests/data/smb", ".conf")),
                         [](auto &p) { return p.param.substr(0, 4) + "_" + p.param.substr(5, p.param.size() - 10); });

// ---- verify_krb5_conf ----------------------------------------------------------

// What the checker may say about our files, and why that is no fault of theirs.
struct Tolerated { std::regex line; bool smart_card_only; };
const Tolerated kTolerated[] = {
    // The test host names do not resolve on this machine.
    {std::regex(R"(verify_krb5_conf: /realms/[^/]+/(kdc|admin_server): (Name or service not known|)"
                R"(Temporary failure in name resolution|No address associated with hostname|)"
                R"(Non-recoverable failure in name resolution) \([^()]+\))"), false},
    // Its own host check does not know the [address]:port form that Heimdal's library reads.
    {std::regex(R"(verify_krb5_conf: /realms/[^/]+/(kdc|admin_server): failed to parse port number in )"
                R"(\[[0-9A-Fa-f:.]+\](:[0-9]+)?)"), false},
    // The smart-card file must carry this section as the device's PKINIT log-in reads it.
    {std::regex(R"(verify_krb5_conf: /default_realm: unknown entry)"), true},
};

// The checker's lines about a file that the list above does not tolerate.
std::vector<std::string> complaints(const std::string &file, bool smart_card) {
    const tavrel_test::ToolRun run = tavrel_test::run_program({"verify_krb5_conf", file});
    tavrel_test::Lines left = tavrel_test::lines_of(run.out + run.err);
    std::erase_if(left, [&](const std::string &line) {
        return std::ranges::any_of(kTolerated, [&](const Tolerated &t) {
            return (smart_card || !t.smart_card_only) && std::regex_match(line, t.line);
        });
    });
    return left;
}

class VerifyKrb5Conf : public ::testing::TestWithParam<std::string> {};

TEST_P(VerifyKrb5Conf, HeimdalFindsNothingWrong) {
    const bool smart_card = GetParam().starts_with("Cac");  // the cases of the smart-card builder
    EXPECT_EQ(complaints(tavrel_test::source_path("tests/data/krb/" + GetParam()), smart_card), tavrel_test::Lines{});
}

INSTANTIATE_TEST_SUITE_P(GoldenFiles, VerifyKrb5Conf, ::testing::ValuesIn(tavrel_test::files_in("tests/data/krb", ".conf")),
                         [](const auto &p) { return p.param.substr(0, p.param.size() - 5); });

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

// Whether wpa_supplicant took the network of a file, by what it says of it.
bool network_taken(const std::string &out) {
    return out.find("Reading configuration file") != std::string::npos &&
           out.find("Failed to read or parse configuration") == std::string::npos &&
           out.find("this network block will be ignored") == std::string::npos &&
           out.find("Priority group 0") != std::string::npos;
}

// The network of every expected file is taken, with the caller's bytes where
// listed above; none of what the builders refuse would have been, as it would
// have been written (tests/data/8021x-refused).
TEST(WpaSupplicant, TakesEveryExpectedNetworkWithTheCallersBytesAndNoneOfTheRefused) {
    std::size_t bytes_checked = 0;
    for (const auto &[dir, taken] : {std::pair{"tests/data/8021x/", true}, {"tests/data/8021x-refused/", false}})
        for (const std::string &file : tavrel_test::files_in(dir, ".conf")) {
            // Parsing stops once the configuration is read: the interface does not exist.
            const auto run = tavrel_test::run_program({"wpa_supplicant", "-dd", "-K", "-D", "wired", "-i",
                                                       "tavrel-none0", "-c", tavrel_test::source_path(dir + file)});
            const std::string out = run.out + run.err;
            EXPECT_EQ(network_taken(out), taken) << dir << file << "\n" << out;
            if (!taken || !kCallersBytes.contains(file)) continue;
            ++bytes_checked;
            for (const auto &[name, bytes] : kCallersBytes.at(file))
                EXPECT_EQ(reported(out, name), bytes) << file << " " << name;
        }
    EXPECT_EQ(bytes_checked, kCallersBytes.size()) << "a file with the caller's bytes is gone";
}

}  // namespace
