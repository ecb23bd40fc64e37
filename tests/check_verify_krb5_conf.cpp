// Every krb5.conf the unit tests pin (the golden files of tests/data/krb/)
// goes through Heimdal's verify_krb5_conf: no parse error, no unknown entry,
// nothing but the complaints listed below.
#include <regex>

#include "tavrel_test.h"

namespace {

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
    std::istringstream lines(run.out + run.err);
    for (std::string line; std::getline(lines, line);) {
        const bool ok = std::any_of(tolerated().begin(), tolerated().end(), [&](const Tolerated &t) {
            return (smart_card || !t.smart_card_only) && std::regex_match(line, t.line);
        });
        if (!ok) left.push_back(line);
    }
    return left;
}

const std::string kGoldenDir = tavrel_test::source_path("tests/data/krb");

// The golden krb5.conf files by name.
std::vector<std::string> golden_files() {
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(kGoldenDir))
        if (entry.path().extension() == ".conf")
            names.push_back(entry.path().stem());
    std::sort(names.begin(), names.end());
    return names;
}

class VerifyKrb5Conf : public ::testing::TestWithParam<std::string> {};

TEST_P(VerifyKrb5Conf, HeimdalFindsNothingWrong) {
    const bool smart_card = GetParam().starts_with("Cac");  // the cases of the smart-card builder
    EXPECT_EQ(complaints(kGoldenDir + "/" + GetParam() + ".conf", smart_card), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(GoldenFiles, VerifyKrb5Conf, ::testing::ValuesIn(golden_files()),
                         [](const ::testing::TestParamInfo<std::string> &p) { return p.param; });

// The checker does report what these tests rely on it to report.
using VerifyKrb5ConfItself = tavrel_test::TavrelTest;

TEST_F(VerifyKrb5ConfItself, ReportsParseErrorsAndUnknownEntries) {
    write("/etc/krb5.conf", "[libdefaults]\n\tfoo = 1\n[default_realm]\n\tx = Y\n[realms]\n\tX = {\n");
    EXPECT_FALSE(complaints(path("/etc/krb5.conf"), true).empty());  // unclosed {
    write("/etc/krb5.conf", "[libdefaults]\n\tfoo = 1\n[default_realm]\n\tx = Y\n");
    EXPECT_EQ(complaints(path("/etc/krb5.conf"), false).size(), 2u);
}

}  // namespace
