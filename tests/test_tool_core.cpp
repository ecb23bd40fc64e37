// The tool's options, exit statuses and core commands, run as a program.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "tavrel_test.h"

namespace {

using tavrel_test::repeat;
using tavrel_test::run_tool;
using tavrel_test::ToolRun;

class Tool : public tavrel_test::TavrelTest {
protected:
    // Writes a settings file under the test root and returns its path.
    std::string settings(const std::string &toml) {
        write("/settings.toml", toml);
        return path("/settings.toml");
    }
    static std::string office() { return tavrel_test::source_path("examples/office.toml"); }
};

bool contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

TEST_F(Tool, UsageErrorsExitTwoWithAMessage) {
    for (const std::vector<std::string> &args : std::vector<std::vector<std::string>>{
             {}, {"frobnicate"}, {"--frob", "init"}, {"read", "realm"}, {"init", "extra"}, {"-s"},
             {"read", "colour", "36"}, {"read", "realm", "x36"}, {"event", "4294967296"}}) {
        const ToolRun run = run_tool(args);
        EXPECT_EQ(run.status, 2) << testing::PrintToString(args);
        EXPECT_TRUE(run.err.starts_with("tavrel: ")) << run.err;
    }
    EXPECT_TRUE(contains(run_tool({"read", "realm"}).err, "usage: tavrel read KIND ID"));
}

TEST_F(Tool, HelpListsEveryCoreCommandAndVersionAnswers) {
    const ToolRun help = run_tool({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char *line : {"init", "event ID", "read KIND ID", "all", "-s, --settings FILE", "-r, --root DIR"})
        EXPECT_TRUE(contains(help.out, line)) << line;
    const ToolRun version = run_tool({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "tavrel 1.0.0\n");
}

TEST_F(Tool, UnusableSettingsExitTwoNamingFileLineAndColumn) {
    const std::string file = settings("[network]\naddress = \"192.0.2.1\"\nmask = \"x\"\n");
    const ToolRun run = run_tool({"-s", file, "init"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "tavrel: " + file + ":3:1: unknown key 'mask' in [network]\n");
    EXPECT_EQ(run_tool({"-s", path("/missing.toml"), "init"}).status, 2);
    EXPECT_EQ(run_tool({"-s", root(), "init"}).status, 2) << "a directory is no settings file";
}

TEST_F(Tool, InitWithTheOfficeSnapshotStartsTheLibrary) {
    const ToolRun run = run_tool({"-v", "-s", office(), "init"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(contains(run.err, "Initializing for network scan\n")) << run.err;
}

TEST_F(Tool, EventsAreClassifiedAndLogged) {
    const ToolRun auth = run_tool({"-v", "event", "31"});
    EXPECT_EQ(auth.status, 0);
    EXPECT_TRUE(contains(auth.err, "LIBINFO tavrel_init:")) << auth.err;
    EXPECT_TRUE(contains(auth.err, " Doing Client Callback from SVCMON for Authentication\n")) << auth.err;
    const ToolRun invalid = run_tool({"event", "345"});
    EXPECT_EQ(invalid.status, 0);
    EXPECT_TRUE(contains(invalid.err, "ERROR tavrel_init:")) << invalid.err;
    EXPECT_TRUE(contains(invalid.err, " tavrel_event_callback - Invalid attribute id in Service Monitor event: 345\n"))
        << invalid.err;
}

struct ReadCase {
    std::string name;
    std::string attributes;  // body of [attributes]
    std::string kind, id;
    int status;
    std::string out;
};

void PrintTo(const ReadCase &c, std::ostream *os) { *os << c.name; }

class ToolRead : public Tool, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ToolRead, PrintsTheValueOnSuccessOnly) {
    const ToolRun run = run_tool({"-s", settings("[attributes]\n" + GetParam().attributes + "\n"), "read",
                                  GetParam().kind, GetParam().id});
    EXPECT_EQ(run.status, GetParam().status) << run.err;
    EXPECT_EQ(run.out, GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ToolRead,
    ::testing::Values(
        ReadCase{"RealmOfTwoRefused", "36 = \"ab\"", "realm", "36", 1, ""},
        ReadCase{"RealmOfThreeInCapitals", "36 = \"abc\"", "realm", "36", 0, "ABC\n"},
        ReadCase{"Protocol", "288 = 4", "protocol", "288", 0, "4\n"},
        ReadCase{"Port65535", "263 = { address = \"\", port = 65535 }", "port", "263", 0, "65535\n"},
        ReadCase{"Port65536", "263 = { address = \"\", port = 65536 }", "port", "263", 1, ""},
        ReadCase{"Sharename127", "278 = \"" + repeat(127) + "\"", "sharename", "278", 0, repeat(127) + "\n"},
        ReadCase{"Sharename128", "278 = \"" + repeat(128) + "\"", "sharename", "278", 1, ""},
        ReadCase{"DnsName", "80 = \"dc1.corp.example\"", "dns-name", "80", 0, "dc1.corp.example\n"},
        ReadCase{"JustTheAddress", "79 = { address = \"192.0.2.10\", port = 445 }", "address", "79", 0,
                 "192.0.2.10\n"},
        ReadCase{"AddressAndPort", "79 = { address = \"192.0.2.10\", port = 445 }", "address-port", "79", 0,
                 "192.0.2.10:445\n"},
        ReadCase{"Ipv6InBrackets", "32 = { address = \"2001:db8::7\", port = 88 }", "address-port", "32", 0,
                 "[2001:db8::7]:88\n"},
        ReadCase{"MismatchedId", "36 = { id = 99, value = \"CORP.EXAMPLE\" }", "realm", "36", 1, ""},
        ReadCase{"ErrorRecord", "36 = { error = 5 }", "realm", "36", 1, ""},
        ReadCase{"NtDomain", "78 = \"CORP\"", "nt-domain", "78", 0, "CORP\n"},
        ReadCase{"NtDomainId79Refused", "79 = \"CORP\"", "nt-domain", "79", 1, ""},
        ReadCase{"Absent", "", "dns-name", "80", 1, ""}),
    [](const auto &param_info) { return param_info.param.name; });

TEST_F(Tool, RootGetsTheOutputDirectories) {
    const std::string out = path("/out");
    EXPECT_EQ(run_tool({"-r", out, "event", "31"}).status, 0);
    for (const char *dir : {"/etc/pam.d", "/etc/wpa_supplicant/eth0", "/etc/wpa_supplicant/wlan0", "/usr/heimdal/etc"}) {
        struct stat st;
        EXPECT_EQ(::stat((out + dir).c_str(), &st), 0) << dir;
    }
}

TEST_F(Tool, AllWithoutInputsRunsNothingAndSucceeds) {
    const ToolRun run = run_tool({"-s", settings("[network]\n"), "all"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
}

}  // namespace
