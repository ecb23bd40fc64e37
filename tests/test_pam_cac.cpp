// /etc/pam.d/pam_cac: the whole file for each switch setting (the golden files
// tests/data/krb/pam_cac.*), its messages, and config-server texts that would
// add arguments, lines or a comment to the PAM stack. (A file that cannot be
// opened is test_output's.)

#include "tavrel_test.h"

namespace {

using host::Level;
using Messages = std::vector<std::string>;

// The [config] table: the two switches ("" leaves one out), then the proxy
// server and OCSP URL texts, TOML-escaped (null leaves one out).
std::string config(const std::string &ocsp, const std::string &proxy, const char *server = "proxy.corp.example:8080",
                   const char *url = "http://ocsp.corp.example/status") {
    std::string toml = "[config]\n";
    if (!ocsp.empty()) toml += "\"authentication.smartcard.ocsp.enabled\" = " + ocsp + "\n";
    if (!proxy.empty()) toml += "\"connectivity.ipproxy.enabled\" = " + proxy + "\n";
    if (server) toml += "\"connectivity.ipproxy.server\" = \"" + std::string(server) + "\"\n";
    if (url) toml += "\"authentication.smartcard.ocsp.url\" = \"" + std::string(url) + "\"\n";
    return toml;
}

struct Case {
    const char *name;
    std::string settings;                             // TOML snapshot
    const char *file;                                 // golden file tests/data/krb/pam_cac.<file>
    const char *warning = nullptr, *error = nullptr;  // the one record at that level; null: none
};

constexpr char kNoServer[] = "Unable to retrieve connectivity.ipproxy.server from ConfigServer";
constexpr char kNoUrl[] = "Unable to retrieve authentication.smartcard.ocsp.url from ConfigServer";
const std::vector<Case> kCases = {
    {"OcspOff", config("false", "true"), "pkinit"},
    {"OcspOnWithoutProxy", config("true", "false"), "ocsp"},
    {"OcspOnWithProxy", config("true", "true"), "ocsp_proxy"},
    {"UnreadableProxyServer", config("true", "true", nullptr), "ocsp_empty_proxy", kNoServer},
    {"UnreadableOcspUrl", config("true", "false", nullptr, nullptr), "ocsp_empty_server", kNoUrl},
    {"UnreadableOcspSwitch", config("", "true"), "pkinit", nullptr, "Error getting OCSP enablement setting"},
    {"UnreadableProxySwitch", config("true", ""), "ocsp", nullptr, "Error getting proxy setting"},
    // Texts that could change the stack are taken as unreadable (a blank is
    // refused with the control characters).
    {"ProxyServerWithLineFeed", config("true", "true", "p\\nauth optional x.so"), "ocsp_empty_proxy", kNoServer},
    {"ProxyServerEndingInBackslash", config("true", "true", "proxy:8080\\\\"), "ocsp_empty_proxy", kNoServer},
    {"OcspUrlWithHash", config("true", "false", nullptr, "http://ocsp/#frag"), "ocsp_empty_server", kNoUrl},
};

using PamCacFile = tavrel_test::TavrelTest;

TEST_F(PamCacFile, WritesAndLogsExactlyTheExpectedLines) {
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.name);
        load(c.settings);
        EXPECT_EQ(cf_build_pam_conf_file_for_CAC(), 1);
        const std::string file = tavrel_test::source_text(std::string("tests/data/krb/pam_cac.") + c.file);
        EXPECT_EQ(read("/etc/pam.d/pam_cac"), file);
        EXPECT_EQ(messages(Level::Warn), c.warning ? Messages{c.warning} : Messages{});
        EXPECT_EQ(messages(Level::Error), c.error ? Messages{c.error} : Messages{});
        // Each line is logged by its index in the full stack of 17: without the
        // OCSP rule the first is 8; without a proxy line, 5 is skipped.
        Messages wrote;
        int index = std::ranges::count(file, '\n') == 9 ? 8 : 0;
        for (const std::string &line : tavrel_test::lines_of(file)) {
            if (index == 5 && !line.starts_with("      proxy=")) ++index;
            wrote.push_back("Wrote line " + std::to_string(index++) + " to pam.conf: " + line);
        }
        EXPECT_EQ(messages(Level::Info), wrote);
        EXPECT_EQ(log_lines().front(), "LIBENTER cf_build_pam_conf_file_for_CAC");
        EXPECT_EQ(log_lines().back(), "LIBRETURN cf_build_pam_conf_file_for_CAC");
    }
}

}  // namespace
