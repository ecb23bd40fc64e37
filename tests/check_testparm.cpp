// Samba's own parser reads every smb.conf the builder tests expect (they hold
// the builders to these files byte for byte): each entry is taken as the
// parameter we meant, and testparm has nothing to say beyond what the
// device's older SMB client needs.

#include <fstream>
#include <span>

#include "tavrel_test.h"

namespace {

namespace fs = std::filesystem;

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

const std::string kExpected = tavrel_test::source_path("tests/data/smb");

// Every expected file, as "auth/<name>.conf" or "file/<name>.conf".
std::vector<std::string> expected_files() {
    std::vector<std::string> files;
    for (const auto &entry : fs::recursive_directory_iterator(kExpected))
        if (entry.path().extension() == ".conf") files.push_back(fs::relative(entry.path(), kExpected).string());
    std::ranges::sort(files);
    return files;
}

class Testparm : public tavrel_test::TavrelTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(Testparm, ReadsEveryEntryAsWritten) {
    std::ifstream file(kExpected + "/" + GetParam());
    std::string handed_over;
    std::vector<std::string> entries;  // "name = value", as written after the tab
    for (std::string line; std::getline(file, line);) {
        if (std::ranges::find(kRefusedLines, line) != std::end(kRefusedLines)) continue;
        handed_over += line + "\n";
        if (line.starts_with('\t')) entries.push_back(line.substr(1));
    }
    write("/tmp/testparm.conf", handed_over);
    const auto run = tavrel_test::run_program({"testparm", "-s", "-d", "5", path("/tmp/testparm.conf")});
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<std::string> parsed;
    std::istringstream notices(run.err);
    for (std::string line; std::getline(notices, line);) {
        if (line.starts_with(kParsed)) parsed.push_back(line.substr(kParsed.size()));
        EXPECT_FALSE(mentions_any(line, kComplaints) && !mentions_any(line, kAllowedNotices)) << line;
    }
    // A line testparm could not parse, or one a trailing backslash joined to
    // the next, shows up as a difference here.
    EXPECT_EQ(parsed, entries);
}

INSTANTIATE_TEST_SUITE_P(Expected, Testparm, ::testing::ValuesIn(expected_files()), [](const auto &test) {
    const fs::path file = test.param;
    return file.parent_path().string() + "_" + file.stem().string();
});

}  // namespace
