// The tool's remembered settings: [state] put in force before the command,
// --state printed after it, and the hand-off of a request file.
#include "tavrel_test.h"

namespace {

class ToolState : public tavrel_test::TavrelTest {
protected:
    // `--state -s SETTINGS handoff smb REQUEST`, both files written under the root.
    tavrel_test::ToolRun handoff(const std::string &settings, const std::string &request) const {
        write("/s.toml", "[state]\n" + settings);
        write("/req", request);
        return tavrel_test::run_tool({"--state", "-s", path("/s.toml"), "handoff", "smb", path("/req")});
    }
};

TEST_F(ToolState, HandoffShowsTheNewDomainAmongAllTenLines) {
    const auto run = handoff("current_domain = \"OLD\"\ncurrent_address = \"192.0.2.10\"\nauth_service = 2\n"
                             "current_realm = \"\\n\"\nkrb_address = \"[2001:db8::7]:88\"\n",
                             "alice\nCORP\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "auth_service=2\nnew_domain=CORP\ncurrent_hostname=\ncurrent_domain=OLD\ncurrent_address=192.0.2.10\n"
              "krb_auth_service=0\nnew_realm=\nkrb_server=\ncurrent_realm=\\n\nkrb_address=[2001:db8::7]:88\n");
}

TEST_F(ToolState, OneCharacterDomainFailsAndLeavesTheMarker) {
    const auto run = handoff("new_domain = \"CORP\"\n", "alice\nX\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("\nnew_domain=\\n\n"), std::string::npos) << run.out;
}

// A value the library refuses is a settings error, and the command does not run.
TEST_F(ToolState, RefusedStateIsASettingsErrorNamingItsPlace) {
    for (const std::string &value : {"current_hostname = \"" + std::string(256, 'h') + "\"",
                                    std::string("current_address = \"192.168.100.200:65535:1\""),
                                    std::string("krb_auth_service = 4")}) {
        const auto run = handoff(value + "\n", "alice\nCORP\n");
        EXPECT_EQ(run.status, 2) << value;
        const std::string key = value.substr(0, value.find(' '));
        const std::string expected = "tavrel: " + path("/s.toml") + ":2:" + std::to_string(key.size() + 4) +
                                     ": [state] " + key + ": the library refuses this value\n";
        EXPECT_NE(run.err.find(expected), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "") << value;
    }
}

}  // namespace
