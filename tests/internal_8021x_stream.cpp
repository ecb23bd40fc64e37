// A stream that refuses the one fragment "network={" fails a supplicant build
// at its header: the builder's messages in order, and the previous file kept.
// (Failed flushes and closes are the file-output helper's own tests.)
#include <errno.h>
#include <stdio.h>
#include <unistd.h>

#include <cstdint>
#include <string_view>

#include "file_output.h"
#include "tavrel/8021x_config.h"
#include "tavrel_test.h"

namespace {

int descriptor(void *cookie) { return static_cast<int>(reinterpret_cast<intptr_t>(cookie)); }

ssize_t write_all_but_network_opening(void *cookie, const char *buffer, size_t size) {
    if (std::string_view(buffer, size) == "network={") {
        errno = EIO;
        return -1;
    }
    return ::write(descriptor(cookie), buffer, size);
}

int close_descriptor(void *cookie) { return ::close(descriptor(cookie)); }

// Unbuffered, so that each fragment is one write of its own.
FILE *failing_stream(int fd) {
    FILE *stream = fopencookie(reinterpret_cast<void *>(static_cast<intptr_t>(fd)), "w",
                               {nullptr, write_all_but_network_opening, nullptr, close_descriptor});
    if (stream) setvbuf(stream, nullptr, _IONBF, 0);
    return stream;
}

class FailingStream : public tavrel_test::TavrelTest {
protected:
    void TearDown() override {
        tavrel::testing::stream_opener = nullptr;
        TavrelTest::TearDown();
    }
};

TEST_F(FailingStream, RefusedNetworkOpeningFailsTheBuildAndKeepsThePreviousFile) {
    tavrel::testing::stream_opener = failing_stream;
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
