// /etc/pam.d/pam_cac: the whole file for each switch setting, its messages,
// and config-server texts that would change the PAM stack.
#include <filesystem>
#include <string>

#include "pam_cases.h"
#include "tavrel/tavrel.h"
#include "tavrel_test.h"

namespace {

template <typename T>
std::string by_name(const ::testing::TestParamInfo<T> &p) {
    return p.param.name;
}

using host::Level;

class PamCacFile : public tavrel_test::TavrelTest, public ::testing::WithParamInterface<pam_cases::Case> {};

TEST_P(PamCacFile, WritesExactlyTheExpectedLines) {
    const pam_cases::Case &c = GetParam();
    load(c.settings);
    EXPECT_EQ(cf_build_pam_conf_file_for_CAC(), 1);
    EXPECT_EQ(read("/etc/pam.d/pam_cac"), c.file);
    EXPECT_EQ(messages(Level::Warn), c.warning ? std::vector<std::string>{c.warning} : std::vector<std::string>{});
    EXPECT_EQ(messages(Level::Error), c.error ? std::vector<std::string>{c.error} : std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Switches, PamCacFile, ::testing::ValuesIn(pam_cases::all()),
                         by_name<pam_cases::Case>);

using PamCac = tavrel_test::TavrelTest;

// The log numbers lines by their place in the full stack.
TEST_F(PamCac, LogsEachLineByItsIndex) {
    load(pam_cases::all()[0].settings);
    ASSERT_EQ(cf_build_pam_conf_file_for_CAC(), 1);
    const auto info = messages(Level::Info);
    ASSERT_EQ(info.size(), 9u);
    EXPECT_EQ(info.front(),
              "Wrote line 8 to pam.conf: auth required /lib/security/pam_forked.so /lib/security/pam_krb5.so "
              "use_pkinit \\");
    EXPECT_EQ(info.back(), "Wrote line 16 to pam.conf: account required /lib/security/pam_permit.so");
}

TEST_F(PamCac, LogsTheProxyAndServerLinesWithTheirValues) {
    load(PAM_CONFIG("true", "true") PAM_SERVER PAM_URL);
    ASSERT_EQ(cf_build_pam_conf_file_for_CAC(), 1);
    EXPECT_TRUE(logged(Level::Info, "Wrote line 5 to pam.conf:       proxy=proxy.corp.example:8080 \\"));
    EXPECT_TRUE(logged(Level::Info, "Wrote line 6 to pam.conf:       server=http://ocsp.corp.example/status"));
}

TEST_F(PamCac, UnopenableFileIsReported) {
    std::filesystem::remove_all(path("/etc/pam.d"));
    EXPECT_EQ(cf_build_pam_conf_file_for_CAC(), 0);
    EXPECT_TRUE(logged(Level::Error, "Error Opening /etc/pam.d/pam_cac for writing: Error: No such file or directory"));
}

}  // namespace
