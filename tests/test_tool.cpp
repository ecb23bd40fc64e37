// The tavrel tool run as a program: options, exit statuses and commands;
// the remembered settings ([state] put in force before the command, --state
// printed after it); --dry-run, whose diff is what the command would do to
// the root, writing nothing there; and the man page and bash completion,
// which name what `tavrel --help` lists.
#include <fstream>
#include <regex>

#include "tavrel_test.h"

namespace {

namespace fs = std::filesystem;
using tavrel_test::Lines;
using tavrel_test::run_tool;
using tavrel_test::ToolRun;

class Tool : public tavrel_test::TavrelTest {
protected:
    // Writes a settings file under the test root and returns its path.
    std::string settings(const std::string &toml) const {
        write("/settings.toml", toml);
        return path("/settings.toml");
    }
    // `--state -s SETTINGS handoff smb REQUEST`, with [state] as given.
    ToolRun handoff(const std::string &state, const std::string &request) const {
        write("/req", request);
        return run_tool({"--state", "-s", settings("[state]\n" + state), "handoff", "smb", path("/req")});
    }
};

// Exit status, then standard error with the log records' line numbers taken out.
std::string outcome(const ToolRun &run) {
    return std::to_string(run.status) + " " + std::regex_replace(run.err, std::regex(R"((\w+):\d+ )"), "$1 ");
}

Lines operator+(Lines a, const Lines &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Unusable arguments or settings exit 2 with a message; a value the library refuses exits 1.
TEST_F(Tool, UsageErrorsExitTwoAndRefusalsOne) {
    for (const auto &[start, runs] : std::vector<std::pair<std::string, std::vector<Lines>>>{
             {"2 tavrel: ",
              {{}, {"frobnicate"}, {"--frob", "init"}, {"init", "extra"}, {"-s"}, {"read", "colour", "36"},
               {"read", "realm", "x36"}, {"event", "4294967296"}, {"-s", path("/missing.toml"), "init"},
               {"-s", root(), "init"}, {"krb5-cac", "CORP", "dc1", "eighty-eight"},
               {"krb5-cac", "CORP", "dc1", "88", "--win3k"}, {"krb5-service", "CORP.EXAMPLE", "one"}}},
             {"2 tavrel: usage: tavrel read KIND ID", {{"read", "realm"}}},
             {"1 ", {{"krb5-service", "CORP.EXAMPLE", "10"}, {"krb5-record"}, {"krb5-cac", "CORP\"", "dc1", "88"}}}})
        for (const Lines &args : runs)
            EXPECT_TRUE(outcome(run_tool(args)).starts_with(start)) << testing::PrintToString(args);
    const std::string file = settings("[network]\naddress = \"192.0.2.1\"\nmask = \"x\"\n");
    EXPECT_EQ(outcome(run_tool({"-s", file, "init"})), "2 tavrel: " + file + ":3:1: unknown key 'mask' in [network]\n");
}

TEST_F(Tool, CommandsDoTheirWorkUnderTheRoot) {
    const ToolRun init = run_tool({"-v", "-r", path("/out"), "-s", tavrel_test::source_path("examples/office.toml"), "init"});
    EXPECT_EQ(init.status, 0) << init.err;
    EXPECT_NE(init.err.find("Initializing for network scan\n"), std::string::npos) << init.err;
    for (const char *dir : {"/etc/pam.d", "/etc/wpa_supplicant/eth0", "/etc/wpa_supplicant/wlan0", "/usr/heimdal/etc"})
        EXPECT_TRUE(fs::is_directory(path("/out") + dir)) << dir << ": -r makes the output directories";
    EXPECT_EQ(outcome(run_tool({"-v", "event", "31"})),
              "0 LIBINFO tavrel_init Doing Client Callback from SVCMON for Authentication\n");
    EXPECT_EQ(outcome(run_tool({"event", "31"})), "0 ") << "LIBINFO shows with -v only";
    EXPECT_EQ(outcome(run_tool({"event", "345"})),
              "0 ERROR tavrel_init tavrel_event_callback - Invalid attribute id in Service Monitor event: 345\n");
    const ToolRun all = run_tool({"-s", settings("[network]\n"), "all"});
    EXPECT_EQ(std::to_string(all.status) + all.out, "0") << "all without inputs runs nothing";
    EXPECT_EQ(outcome(run_tool({"krb5-cac", "corp.example", "dc1.corp.example", "750", "--win2k"})), "0 ");
    EXPECT_NE(read("/usr/heimdal/etc/krb5.conf").value_or("").find(":750\n\t\tpkinit_win2k = yes\n"), std::string::npos);
}

// Exit status and the value printed: every kind, with the edges worth seeing
// through the tool (the readers' own tests hold the rest).
TEST_F(Tool, ReadPrintsTheValueOnSuccessOnly) {
    for (const auto &[attributes, kind, id, expected] : std::vector<std::array<std::string, 4>>{
             {"36 = \"ab\"", "realm", "36", "1 "},
             {"36 = \"abc\"", "realm", "36", "0 ABC\n"},
             {"288 = 4", "protocol", "288", "0 4\n"},
             {"263 = { address = \"\", port = 65535 }", "port", "263", "0 65535\n"},
             {"278 = \"" + tavrel_test::repeat(127) + "\"", "sharename", "278", "0 " + tavrel_test::repeat(127) + "\n"},
             {"80 = \"dc1.corp.example\"", "dns-name", "80", "0 dc1.corp.example\n"},
             {"79 = { address = \"192.0.2.10\", port = 445 }", "address", "79", "0 192.0.2.10\n"},
             {"32 = { address = \"2001:db8::7\", port = 88 }", "address-port", "32", "0 [2001:db8::7]:88\n"},
             {"78 = \"CORP\"", "nt-domain", "78", "0 CORP\n"}}) {
        const ToolRun run = run_tool({"-s", settings("[attributes]\n" + attributes + "\n"), "read", kind, id});
        EXPECT_EQ(std::to_string(run.status) + " " + run.out, expected) << kind << " of " << attributes << ": " << run.err;
    }
}

// ---- Remembered settings ----------------------------------------------------

// The hand-off prints all ten settings afterwards; a one-character domain
// fails and leaves the no-name marker. A value the library refuses is a
// settings error, and the command does not run.
TEST_F(Tool, HandoffShowsTheStateAfterwardsAndRefusedStateIsASettingsError) {
    ToolRun run = handoff("current_domain = \"OLD\"\ncurrent_address = \"192.0.2.10\"\nauth_service = 2\n"
                          "current_realm = \"\\n\"\nkrb_address = \"[2001:db8::7]:88\"\n",
                          "alice\nCORP\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "auth_service=2\nnew_domain=CORP\ncurrent_hostname=\ncurrent_domain=OLD\ncurrent_address=192.0.2.10\n"
              "krb_auth_service=0\nnew_realm=\nkrb_server=\ncurrent_realm=\\n\nkrb_address=[2001:db8::7]:88\n");
    run = handoff("new_domain = \"CORP\"\n", "alice\nX\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("\nnew_domain=\\n\n"), std::string::npos) << run.out;
    for (const std::string &value : {"current_hostname = \"" + std::string(256, 'h') + "\"",
                                    std::string("current_address = \"192.168.100.200:65535:1\""),
                                    std::string("krb_auth_service = 4")}) {
        run = handoff(value + "\n", "alice\nCORP\n");
        const std::string key = value.substr(0, value.find(' '));
        const std::string expected = "tavrel: " + path("/settings.toml") + ":2:" + std::to_string(key.size() + 4) +
                                     ": [state] " + key + ": the library refuses this value\n";
        EXPECT_EQ(std::to_string(run.status) + run.out, "2") << value;
        EXPECT_NE(run.err.find(expected), std::string::npos) << run.err;
    }
}

// ---- --dry-run ----------------------------------------------------------------

// The files under dir with their contents, and with files_only unset its
// directories too (with no contents).
std::map<std::string, std::string> tree(const std::string &dir, bool files_only = false) {
    std::map<std::string, std::string> entries;
    for (const fs::directory_entry &entry : fs::recursive_directory_iterator(dir)) {
        std::ifstream file(entry.path(), std::ios::binary);
        if (entry.is_regular_file() || !files_only)
            entries[entry.path().string().substr(dir.size())] = (std::ostringstream() << file.rdbuf()).str();
    }
    return entries;
}

// Applied with `patch -p1`, the diff turns a copy of the root into what the
// command writes there when run for real; a file the command would write as
// it stands, or a command that fails before writing, prints nothing.
TEST_F(Tool, DryRunDiffTurnsTheRootIntoWhatTheCommandWrites) {
    const std::string office = tavrel_test::source_path("examples/office.toml");
    const Lines cac = {"krb5-cac", "corp.example", "dc1.corp.example", "88"};
    const std::string cac_file = tavrel_test::source_text("tests/data/krb/Cac.conf");
    // Name, files under the root before, command, its exit status, the diff's first two lines.
    using Case = std::tuple<std::string, std::map<std::string, std::string>, Lines, int, std::string>;
    for (const auto &[name, before, command, status, header] : std::vector<Case>{
             {"new file", {}, cac, 0, "--- /dev/null\n+++ b/usr/heimdal/etc/krb5.conf\n"},
             {"changed file", {{"/usr/heimdal/etc/krb5.conf", "[libdefaults]\n\tdefault_realm = OLD\n"}}, cac, 0,
              "--- a/usr/heimdal/etc/krb5.conf\n+++ b/usr/heimdal/etc/krb5.conf\n"},
             {"unchanged file", {{"/usr/heimdal/etc/krb5.conf", cac_file}}, cac, 0, ""},
             {"removed file", {{"/etc/krb5.conf", "[libdefaults]\n"}}, {"krb5"}, 1, "--- a/etc/krb5.conf\n+++ /dev/null\n"},
             {"refused", {}, {"krb5-cac", "corp\"", "dc1.corp.example", "88"}, 1, ""},
             {"every file", {{"/etc/smb.conf.auth", "stale\n"}, {"/etc/pam.d/other", "kept\n"}}, {"-s", office, "all"}, 0,
              "ok /etc/smb.conf.auth\n"}}) {
        SCOPED_TRACE(name);
        const std::string dry = path("/" + name + "/dry"), real = path("/" + name + "/real");
        for (const auto &[file, text] : before) write("/" + name + "/dry" + file, text);
        fs::create_directories(dry);
        fs::copy(dry, real, fs::copy_options::recursive);
        const auto untouched = tree(dry);
        const ToolRun run = run_tool(Lines{"--dry-run", "-r", dry} + command);
        EXPECT_EQ(run.status, status) << run.err;
        EXPECT_TRUE(run.out.starts_with(header) && (!header.empty() || run.out.empty())) << run.out;
        EXPECT_EQ(tree(dry), untouched) << "nothing under the root is written";
        EXPECT_EQ(run_tool(Lines{"-r", real} + command).status, status);
        write("/" + name + ".diff", run.out);
        const ToolRun patch = tavrel_test::run_program({"patch", "-p1", "-s", "-d", dry, "-i", path("/" + name + ".diff")});
        EXPECT_EQ(patch.status, 0) << patch.out << patch.err;
        EXPECT_EQ(tree(dry, true), tree(real, true));
    }
    const ToolRun read = run_tool({"--dry-run", "read", "realm", "36"});  // without -r, under TAVREL_ROOT
    EXPECT_EQ(std::to_string(read.status) + " " + read.out, "1 ");
}

// ---- Documentation ------------------------------------------------------------

// The left column of the Options and Commands sections of --help.
std::map<std::string, Lines> help() {
    const ToolRun run = run_tool({"--help"});
    EXPECT_EQ(run.status, 0);
    std::map<std::string, Lines> listed;
    std::string section;
    for (const std::string &line : tavrel_test::lines_of(run.out)) {
        if (!line.starts_with("  ")) section = line;
        std::istringstream words(line);
        std::string word;
        if (section == "Commands:" && line.starts_with("  ") && words >> word) listed["commands"].push_back(word);
        while (section == "Options:" && line.starts_with("  ") && words >> word && word.starts_with("-"))
            listed["options"].push_back(word.ends_with(",") ? word.substr(0, word.size() - 1) : word);
    }
    for (auto &[kind, words] : listed) std::ranges::sort(words);
    return listed;
}

// What the completion offers for the words typed so far (the last one the word being completed).
Lines complete(const Lines &words) {
    std::string script = "source \"$1\"; COMP_WORDS=(";
    for (const std::string &word : words) script += " '" + word + "'";
    script += "); COMP_CWORD=" + std::to_string(words.size() - 1) + "; _tavrel; printf '%s\\n' \"${COMPREPLY[@]}\"";
    const ToolRun run =
        tavrel_test::run_program({"bash", "-c", script, "bash", tavrel_test::source_path("tools/tavrel.bash-completion")});
    EXPECT_EQ(run.status, 0) << run.err;
    Lines offered = tavrel_test::lines_of(run.out);
    std::erase(offered, "");
    std::ranges::sort(offered);
    return offered;
}

// The completion offers what --help lists, and the man page names all of it and the version.
TEST(ToolDocs, CompletionAndManPageMatchTheHelp) {
    auto listed = help();
    ASSERT_GT(listed["commands"].size(), 10u);
    EXPECT_EQ(complete({"tavrel", ""}), listed["commands"]);
    EXPECT_EQ(complete({"tavrel", "-"}), listed["options"]);
    for (const auto &[words, expected] : std::vector<std::pair<Lines, Lines>>{
             {{"tavrel", "-s", "x.toml", "--dry-run", "krb5-c"}, {"krb5-cac"}},
             {{"tavrel", "find", ""}, {"filing", "krb-realm", "smb-domain"}},
             {{"tavrel", "handoff", "k"}, {"kerberos"}},
             {{"tavrel", "smb-auth", "--"}, {"--request"}},
             {{"tavrel", "krb5-cac", "CORP", "dc1", "88", ""}, {"--win2k"}},
             {{"tavrel", "read", "address"}, {"address", "address-port"}}})
        EXPECT_EQ(complete(words), expected) << testing::PrintToString(words);
    // Unescaped, so "\-\-dry\-run" reads as "--dry-run".
    const std::string page = std::regex_replace(tavrel_test::source_text("tools/tavrel.1"), std::regex(R"(\\-)"), "-");
    ASSERT_FALSE(page.empty());
    for (const std::string &option : listed["options"])
        EXPECT_TRUE(std::regex_search(page, std::regex("\n\\.(B|BR)[^\n]* " + option + "[ \n]"))) << option;
    for (const std::string &command : listed["commands"])
        EXPECT_TRUE(std::regex_search(page, std::regex("\n\\.TP\n\\.(B|BR|BI) " + command + "[ \n]"))) << command;
    std::string version = run_tool({"--version"}).out;  // "tavrel 1.0.0\n"
    if (!version.empty()) version.pop_back();
    EXPECT_TRUE(std::regex_search(page, std::regex("\n\\.TH TAVREL 1 \\S+ \"" + version + "\""))) << version;
}

}  // namespace
