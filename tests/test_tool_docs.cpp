// The man page and the bash completion name what `tavrel --help` lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>

#include "tavrel_test.h"

namespace {

using tavrel_test::run_program;
using tavrel_test::run_tool;
using tavrel_test::source_text;

struct Help {
    std::vector<std::string> options;   // "-s", "--settings", ...
    std::vector<std::string> commands;  // "init", "event", ...
};

// The left column of the Options and Commands sections.
Help help() {
    const tavrel_test::ToolRun run = run_tool({"--help"});
    EXPECT_EQ(run.status, 0);
    Help result;
    std::istringstream lines(run.out);
    std::string line, section;
    while (std::getline(lines, line)) {
        if (!line.starts_with("  ")) {
            section = line;
            continue;
        }
        std::istringstream words(line);
        std::string word;
        if (section == "Commands:" && words >> word) result.commands.push_back(word);
        while (section == "Options:" && words >> word && word.starts_with("-"))
            result.options.push_back(word.ends_with(",") ? word.substr(0, word.size() - 1) : word);
    }
    return result;
}

std::vector<std::string> sorted(std::vector<std::string> words) {
    std::ranges::sort(words);
    return words;
}

// What the completion offers for the words typed so far (the last one the word being completed).
std::vector<std::string> complete(const std::vector<std::string> &words) {
    std::string script = "source \"$1\"; COMP_WORDS=(";
    for (const std::string &word : words) script += " '" + word + "'";
    script += "); COMP_CWORD=" + std::to_string(words.size() - 1) + "; _tavrel; printf '%s\\n' \"${COMPREPLY[@]}\"";
    const tavrel_test::ToolRun run =
        run_program({"bash", "-c", script, "bash", tavrel_test::source_path("tools/tavrel.bash-completion")});
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<std::string> offered;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty()) offered.push_back(line);
    return sorted(offered);
}

TEST(ToolDocs, CompletionOffersTheHelpsOptionsAndCommands) {
    const Help listed = help();
    ASSERT_GT(listed.commands.size(), 10u);
    EXPECT_EQ(complete({"tavrel", ""}), sorted(listed.commands));
    EXPECT_EQ(complete({"tavrel", "-"}), sorted(listed.options));
    EXPECT_EQ(complete({"tavrel", "-s", "x.toml", "--dry-run", "krb5-c"}), std::vector<std::string>{"krb5-cac"});
    for (const auto &[words, expected] : std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>>{
             {{"tavrel", "find", ""}, {"filing", "krb-realm", "smb-domain"}},
             {{"tavrel", "handoff", "k"}, {"kerberos"}},
             {{"tavrel", "smb-auth", "--"}, {"--request"}},
             {{"tavrel", "krb5-cac", "CORP", "dc1", "88", ""}, {"--win2k"}},
             {{"tavrel", "read", "address"}, {"address", "address-port"}}})
        EXPECT_EQ(complete(words), expected) << testing::PrintToString(words);
}

TEST(ToolDocs, ManPageNamesEveryOptionAndCommandAndTheVersion) {
    // Unescaped, so "\-\-dry\-run" reads as "--dry-run".
    const std::string page = std::regex_replace(source_text("tools/tavrel.1"), std::regex(R"(\\-)"), "-");
    ASSERT_FALSE(page.empty());
    const Help listed = help();
    for (const std::string &option : listed.options)
        EXPECT_TRUE(std::regex_search(page, std::regex("\n\\.(B|BR)[^\n]* " + option + "[ \n]"))) << option;
    for (const std::string &command : listed.commands)
        EXPECT_TRUE(std::regex_search(page, std::regex("\n\\.TP\n\\.(B|BR|BI) " + command + "[ \n]"))) << command;
    std::string version = run_tool({"--version"}).out;  // "tavrel 1.0.0\n"
    if (!version.empty()) version.pop_back();
    EXPECT_TRUE(std::regex_search(page, std::regex("\n\\.TH TAVREL 1 \\S+ \"" + version + "\""))) << version;
}

}  // namespace
