// A build that runs out of room at the fragment "network={" fails at its
// header: the builder's messages in order, and the previous file kept.
#include <string>

#include "file_output.h"
#include "tavrel/8021x_config.h"
#include "tavrel_test.h"

namespace {

class FailingStream : public tavrel_test::TavrelTest {
protected:
    void TearDown() override {
        tavrel::testing::render_capacity = tavrel::kRenderCapacity;
        TavrelTest::TearDown();
    }
};

TEST_F(FailingStream, RefusedNetworkOpeningFailsTheBuildAndKeepsThePreviousFile) {
    // Room for the global lines and the empty line, not for "network={".
    tavrel::testing::render_capacity =
        std::string("ctrl_interface=/var/run/wpa_supplicant\nctrl_interface_group=0\nap_scan=0\nfast_reauth=0\n\n").size();
    write(CF_IO_WIRED_CONF_PATH, "previous\n");
    const CF_IO_8021x_Params p{CF_IO_IFACE_WIRED, nullptr, 0, 0, CF_IO_EAP_MD5, "alice", "pw-secret-1",
                               nullptr, nullptr, nullptr, nullptr, nullptr};
    EXPECT_EQ(cf_build_enterprise_8021x_conf_for_authentication(&p), 0u);
    EXPECT_EQ(log_lines(), (std::vector<std::string>{
                               "LIBENTER cf_build_enterprise_8021x_conf_for_authentication",
                               "WARN String [network={] failed to write to config file for 802.1x",
                               "ERROR Cannot write out Header Information",
                               "LIBRETURN cf_build_enterprise_8021x_conf_for_authentication"}));
    EXPECT_EQ(read(CF_IO_WIRED_CONF_PATH), "previous\n");
}

}  // namespace
