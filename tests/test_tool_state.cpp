// The tool's remembered settings: [state] put in force before the command,
// --state printed after it, and the hand-off of a request file.
#include <gtest/gtest.h>

#include <string>

#include "tavrel_test.h"

namespace {

using tavrel_test::run_tool;

class ToolState : public tavrel_test::TavrelTest {
protected:
    // A file in the private root, by its name there.
    std::string file(const std::string &name, const std::string &text) const {
        write("/" + name, text);
        return path("/" + name);
    }
};

TEST_F(ToolState, HandoffShowsTheNewDomainAmongAllTenLines) {
    const std::string settings = file("s.toml",
                                      "[state]\n"
                                      "current_domain = \"OLD\"\n"
                                      "current_address = \"192.0.2.10\"\n"
                                      "auth_service = 2\n"
                                      "current_realm = \"\\n\"\n"
                                      "krb_address = \"[2001:db8::7]:88\"\n");
    const std::string request = file("req", "alice\nCORP\n");
    const auto run = run_tool({"--state", "-s", settings, "handoff", "smb", request});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "auth_service=2\n"
              "new_domain=CORP\n"
              "current_hostname=\n"
              "current_domain=OLD\n"
              "current_address=192.0.2.10\n"
              "krb_auth_service=0\n"
              "new_realm=\n"
              "krb_server=\n"
              "current_realm=\\n\n"
              "krb_address=[2001:db8::7]:88\n");
}

TEST_F(ToolState, OneCharacterDomainFailsAndLeavesTheMarker) {
    const std::string settings = file("s.toml", "[state]\nnew_domain = \"CORP\"\n");
    const auto run = run_tool({"--state", "-s", settings, "handoff", "smb", file("req", "alice\nX\n")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("\nnew_domain=\\n\n"), std::string::npos) << run.out;
}

// A value the library refuses is a settings error, and the command does not run.
class ToolStateRefused : public ToolState, public ::testing::WithParamInterface<std::string> {};

TEST_P(ToolStateRefused, IsASettingsErrorNamingTheFile) {
    const std::string settings = file("s.toml", "[state]\n" + GetParam() + "\n");
    const auto run = run_tool({"--state", "-s", settings, "handoff", "smb", file("req", "alice\nCORP\n")});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(settings), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
}

INSTANTIATE_TEST_SUITE_P(Values, ToolStateRefused,
                         ::testing::Values("current_hostname = \"" + std::string(256, 'h') + "\"",
                                           "current_address = \"192.168.100.200:65535:1\"", "krb_auth_service = 4"),
                         [](const auto &param_info) { return param_info.param.substr(0, param_info.param.find(' ')); });

}  // namespace
