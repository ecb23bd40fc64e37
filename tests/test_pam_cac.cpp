// /etc/pam.d/pam_cac: the whole file for each switch setting (the golden files
// tests/data/krb/pam_cac.*), its messages, and config-server texts that would
// add arguments, lines or a comment to the PAM stack.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tavrel/tavrel.h"
#include "tavrel_test.h"

namespace {

using host::Level;
using Messages = std::vector<std::string>;

struct Case {
    const char *name;
    std::string settings;  // TOML snapshot
    const char *file;      // golden file tests/data/krb/pam_cac.<file>
    Messages warnings, errors;
};
void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }

// The [config] table: the two switches ("" leaves one out), then the texts.
std::string config(const std::string &ocsp, const std::string &proxy, const std::string &texts) {
    std::string toml = "[config]\n";
    if (!ocsp.empty()) toml += "\"authentication.smartcard.ocsp.enabled\" = " + ocsp + "\n";
    if (!proxy.empty()) toml += "\"connectivity.ipproxy.enabled\" = " + proxy + "\n";
    return toml + texts;
}
std::string server(const std::string &toml) { return "\"connectivity.ipproxy.server\" = \"" + toml + "\"\n"; }
std::string url(const std::string &toml) { return "\"authentication.smartcard.ocsp.url\" = \"" + toml + "\"\n"; }
const std::string kUrl = url("http://ocsp.corp.example/status");
const std::string kTexts = server("proxy.corp.example:8080") + kUrl;
const Messages kNoServer = {"Unable to retrieve connectivity.ipproxy.server from ConfigServer"};
const Messages kNoUrl = {"Unable to retrieve authentication.smartcard.ocsp.url from ConfigServer"};

const std::vector<Case> kCases = {
    {"OcspOff", config("false", "true", kTexts), "pkinit", {}, {}},
    {"OcspOnWithoutProxy", config("true", "false", kTexts), "ocsp", {}, {}},
    {"OcspOnWithProxy", config("true", "true", kTexts), "ocsp_proxy", {}, {}},
    {"UnreadableProxyServer", config("true", "true", kUrl), "ocsp_empty_proxy", kNoServer, {}},
    {"UnreadableOcspUrl", config("true", "false", ""), "ocsp_empty_server", kNoUrl, {}},
    {"UnreadableOcspSwitch", config("", "true", kTexts), "pkinit", {}, {"Error getting OCSP enablement setting"}},
    {"UnreadableProxySwitch", config("true", "", kTexts), "ocsp", {}, {"Error getting proxy setting"}},
    // Texts that could change the stack are taken as unreadable.
    {"ProxyServerWithBlank", config("true", "true", kUrl + server("proxy:8080 debug")), "ocsp_empty_proxy", kNoServer,
     {}},
    {"ProxyServerWithLineFeed", config("true", "true", kUrl + server("proxy:8080\\nauth sufficient pam_permit.so")),
     "ocsp_empty_proxy", kNoServer, {}},
    {"ProxyServerEndingInBackslash", config("true", "true", kUrl + server("proxy:8080\\\\")), "ocsp_empty_proxy",
     kNoServer, {}},
    {"OcspUrlWithCarriageReturn", config("true", "false", url("http://ocsp\\r")), "ocsp_empty_server", kNoUrl, {}},
    {"OcspUrlWithHash", config("true", "false", url("http://ocsp/#frag")), "ocsp_empty_server", kNoUrl, {}},
};

std::string golden(const std::string &name) {
    std::ifstream in(tavrel_test::source_path("tests/data/krb/pam_cac." + name), std::ios::binary);
    EXPECT_TRUE(in) << "no golden file pam_cac." << name;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class PamCacFile : public tavrel_test::TavrelTest, public ::testing::WithParamInterface<Case> {};

TEST_P(PamCacFile, WritesAndLogsExactlyTheExpectedLines) {
    const Case &c = GetParam();
    load(c.settings);
    EXPECT_EQ(cf_build_pam_conf_file_for_CAC(), 1);
    const std::string file = golden(c.file);
    EXPECT_EQ(read("/etc/pam.d/pam_cac"), file);
    EXPECT_EQ(messages(Level::Warn), c.warnings);
    EXPECT_EQ(messages(Level::Error), c.errors);
    // Each line is logged by its index in the full stack of 17: without the
    // OCSP rule the first is 8; without a proxy line, 5 is skipped.
    Messages wrote;
    std::istringstream lines(file);
    int index = std::count(file.begin(), file.end(), '\n') == 9 ? 8 : 0;
    for (std::string line; std::getline(lines, line); ++index) {
        if (index == 5 && !line.starts_with("      proxy=")) ++index;
        wrote.push_back("Wrote line " + std::to_string(index) + " to pam.conf: " + line);
    }
    EXPECT_EQ(messages(Level::Info), wrote);
}

INSTANTIATE_TEST_SUITE_P(Switches, PamCacFile, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case> &p) { return std::string(p.param.name); });

using PamCac = tavrel_test::TavrelTest;

TEST_F(PamCac, UnopenableFileIsReported) {
    std::filesystem::remove_all(path("/etc/pam.d"));
    EXPECT_EQ(cf_build_pam_conf_file_for_CAC(), 0);
    EXPECT_TRUE(logged(Level::Error, "Error Opening /etc/pam.d/pam_cac for writing: Error: No such file or directory"));
}

}  // namespace
