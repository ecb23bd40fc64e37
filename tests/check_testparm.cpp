// Samba's own parser reads every smb.conf the builders write in the tests:
// each line is taken as the parameter we meant, and testparm has nothing to
// say beyond what the device's older SMB client needs.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "smb_scenarios.h"
#include "tavrel/SambaConfig.h"
#include "tavrel/samba_config.h"
#include "tavrel_test.h"

namespace {

using namespace smb_scenarios;

// What current Samba no longer accepts but the device's SMB client needs.
// A line testparm refuses outright stops it from reading further, so such a
// line is taken out before the file is handed over; the others stay, and
// only their notices are allowed.
constexpr std::array<std::string_view, 1> kRefusedLines = {"security = server"};
constexpr std::array<std::string_view, 3> kAllowedNotices = {
    "Unknown parameter encountered: \"display charset\"",
    "Ignoring unknown parameter \"display charset\"",
    "WARNING: The \"client ntlmv2 auth\" option is deprecated",
};
// Words with which testparm reports what it could not take.
constexpr std::array<std::string_view, 5> kComplaints = {"Unknown", "Ignoring", "WARNING", "Error", "invalid"};
constexpr std::string_view kParsed = "doing parameter ";

std::string trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return "";
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

std::vector<std::string> lines_of(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class Testparm : public tavrel_test::TavrelTest {
protected:
    // Runs testparm on the written file and checks its verdict.
    void expect_samba_reads(const std::string &fixed) {
        const auto text = read(fixed);
        ASSERT_TRUE(text.has_value()) << fixed << " was not written";
        std::string handed_over;
        std::vector<std::string> parameters;  // "name = value", as written
        for (const std::string &line : lines_of(*text)) {
            const std::string entry = trim(line);
            if (std::ranges::find(kRefusedLines, entry) != kRefusedLines.end()) continue;
            handed_over += line + "\n";
            if (!entry.empty() && entry.front() != '[') parameters.push_back(entry);
        }
        write("/tmp/testparm.conf", handed_over);
        const auto run = tavrel_test::run_program({"testparm", "-s", "-d", "5", path("/tmp/testparm.conf")});
        EXPECT_EQ(run.status, 0) << run.err;

        std::vector<std::string> parsed;
        for (const std::string &line : lines_of(run.err)) {
            if (line.starts_with(kParsed)) parsed.push_back(trim(std::string_view(line).substr(kParsed.size())));
            const bool complaint =
                std::ranges::any_of(kComplaints, [&](std::string_view w) { return line.find(w) != line.npos; });
            const bool allowed =
                std::ranges::any_of(kAllowedNotices, [&](std::string_view n) { return line.find(n) != line.npos; });
            EXPECT_FALSE(complaint && !allowed) << fixed << ": " << line;
        }
        // A line testparm could not parse, or one a trailing backslash
        // joined to the next, shows up as a difference here.
        EXPECT_EQ(parsed, parameters) << *text;
    }
};

class TestparmAuth : public Testparm, public ::testing::WithParamInterface<AuthScenario> {};

TEST_P(TestparmAuth, ReadsAuthenticationFile) {
    prepare(GetParam());
    ASSERT_EQ(build_smb_conf_for_authentication(), 1);
    expect_samba_reads("/etc/smb.conf.auth");
}

std::vector<AuthScenario> written_auth_scenarios() {
    auto all = auth_scenarios();
    std::erase_if(all, [](const AuthScenario &s) { return s.result != 1; });
    return all;
}

INSTANTIATE_TEST_SUITE_P(Situations, TestparmAuth, ::testing::ValuesIn(written_auth_scenarios()),
                         [](const auto &test) { return test.param.name; });

class TestparmFiling : public Testparm, public ::testing::WithParamInterface<FilingScenario> {};

TEST_P(TestparmFiling, ReadsFilingFile) {
    load(GetParam().settings());
    std::string server = GetParam().server, folder = GetParam().path;
    ASSERT_EQ(build_smb_conf_for_filing(server.data(), folder.data()), 0);
    expect_samba_reads("/etc/smb.conf.file");
}

INSTANTIATE_TEST_SUITE_P(Requests, TestparmFiling, ::testing::ValuesIn(filing_scenarios()),
                         [](const auto &test) { return test.param.name; });

}  // namespace
