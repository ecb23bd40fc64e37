// The tool's options, exit statuses and commands, run as a program.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <regex>

#include "tavrel_test.h"

namespace {

using tavrel_test::run_tool;
using tavrel_test::ToolRun;

class Tool : public tavrel_test::TavrelTest {
protected:
    // Writes a settings file under the test root and returns its path.
    std::string settings(const std::string &toml) {
        write("/settings.toml", toml);
        return path("/settings.toml");
    }
};

// Exit status, then standard error with the log records' line numbers taken out.
std::string outcome(const ToolRun &run) {
    return std::to_string(run.status) + " " + std::regex_replace(run.err, std::regex(R"((\w+):\d+ )"), "$1 ");
}

// Unusable arguments or settings exit 2 with a message; a value the library refuses exits 1.
TEST_F(Tool, UsageErrorsExitTwoAndRefusalsOne) {
    for (const std::vector<std::string> &args : std::vector<std::vector<std::string>>{
             {}, {"frobnicate"}, {"--frob", "init"}, {"init", "extra"}, {"-s"}, {"read", "colour", "36"},
             {"read", "realm", "x36"}, {"event", "4294967296"}, {"-s", path("/missing.toml"), "init"},
             {"-s", root(), "init"}, {"krb5-cac", "CORP", "dc1", "eighty-eight"},
             {"krb5-cac", "CORP", "dc1", "88", "--win3k"}, {"krb5-service", "CORP.EXAMPLE", "one"}})
        EXPECT_TRUE(outcome(run_tool(args)).starts_with("2 tavrel: ")) << testing::PrintToString(args);
    EXPECT_TRUE(outcome(run_tool({"read", "realm"})).starts_with("2 tavrel: usage: tavrel read KIND ID"));
    const std::string file = settings("[network]\naddress = \"192.0.2.1\"\nmask = \"x\"\n");
    EXPECT_EQ(outcome(run_tool({"-s", file, "init"})), "2 tavrel: " + file + ":3:1: unknown key 'mask' in [network]\n");
    for (const std::vector<std::string> &args : std::vector<std::vector<std::string>>{
             {"krb5-service", "CORP.EXAMPLE", "10"}, {"krb5-record"}, {"krb5-cac", "CORP\"", "dc1", "88"}})
        EXPECT_EQ(run_tool(args).status, 1) << testing::PrintToString(args);
}

TEST_F(Tool, CommandsDoTheirWorkUnderTheRoot) {
    const ToolRun init = run_tool({"-v", "-r", path("/out"), "-s", tavrel_test::source_path("examples/office.toml"), "init"});
    EXPECT_EQ(init.status, 0) << init.err;
    EXPECT_NE(init.err.find("Initializing for network scan\n"), std::string::npos) << init.err;
    for (const char *dir : {"/etc/pam.d", "/etc/wpa_supplicant/eth0", "/etc/wpa_supplicant/wlan0", "/usr/heimdal/etc"})
        EXPECT_TRUE(std::filesystem::is_directory(path("/out") + dir)) << dir << ": -r makes the output directories";
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

}  // namespace
