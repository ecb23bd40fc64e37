// Streams that fail under a supplicant build: one refused fragment, a failed
// flush, a failed close. Each build fails and the previous file stays.
#include <errno.h>
#include <stdio.h>
#include <unistd.h>

#include <cstdint>
#include <string_view>

#include "file_output.h"
#include "tavrel/8021x_config.h"
#include "tavrel_test.h"

namespace {

struct Failure {
    const char *name;
    const char *fragment;  // the one write refused; null: every write (seen at the flush)
    bool fail_close;
    std::vector<std::string> between;  // records between the builder's trace lines
};
void PrintTo(const Failure &f, std::ostream *os) { *os << f.name; }

const Failure *current = nullptr;

ssize_t write_or_fail(void *cookie, const char *buffer, size_t size) {
    if (!current->fragment || std::string_view(buffer, size) == current->fragment) {
        errno = EIO;
        return -1;
    }
    return ::write(static_cast<int>(reinterpret_cast<intptr_t>(cookie)), buffer, size);
}

int close_or_fail(void *cookie) {
    ::close(static_cast<int>(reinterpret_cast<intptr_t>(cookie)));
    if (current->fail_close) errno = EIO;
    return current->fail_close ? -1 : 0;
}

// A refused fragment needs an unbuffered stream, so that each fragment is
// one write of its own.
FILE *failing_stream(int fd) {
    FILE *stream = fopencookie(reinterpret_cast<void *>(static_cast<intptr_t>(fd)), "w",
                               cookie_io_functions_t{nullptr, write_or_fail, nullptr, close_or_fail});
    if (stream && current->fragment) setvbuf(stream, nullptr, _IONBF, 0);
    return stream;
}

class FailingStream : public tavrel_test::TavrelTest, public ::testing::WithParamInterface<Failure> {
protected:
    void SetUp() override {
        TavrelTest::SetUp();
        current = &GetParam();
        tavrel::testing::stream_opener = failing_stream;
    }
    void TearDown() override {
        tavrel::testing::stream_opener = nullptr;
        TavrelTest::TearDown();
    }
};

TEST_P(FailingStream, FailsTheBuildAndKeepsThePreviousFile) {
    write(CF_IO_WIRED_CONF_PATH, "previous\n");
    const CF_IO_8021x_Params p{CF_IO_IFACE_WIRED, nullptr, 0, 0, CF_IO_EAP_MD5, "alice", "pw-secret-1",
                               nullptr, nullptr, nullptr, nullptr, nullptr};
    EXPECT_EQ(cf_build_enterprise_8021x_conf_for_authentication(&p), 0u);
    const std::string builder = "cf_build_enterprise_8021x_conf_for_authentication";
    std::vector<std::string> expected{"LIBENTER " + builder};
    expected.insert(expected.end(), GetParam().between.begin(), GetParam().between.end());
    expected.push_back("LIBRETURN " + builder);
    EXPECT_EQ(log_lines(), expected);
    EXPECT_EQ(read(CF_IO_WIRED_CONF_PATH), "previous\n");
    EXPECT_TRUE(nowhere_in_log("pw-secret-1"));
}

const std::string kUser = "DEBUG Username for 802.1x is [alice]";

INSTANTIATE_TEST_SUITE_P(
    Cases, FailingStream,
    ::testing::Values(
        Failure{"NetworkOpening", "network={", false,
                {"WARN String [network={] failed to write to config file for 802.1x",
                 "ERROR Cannot write out Header Information"}},
        Failure{"Flush", nullptr, false,
                {kUser, "ERROR Failed to write " CF_IO_WIRED_CONF_PATH ": Input/output error"}},
        Failure{"Close", "never written", true,
                {kUser, "ERROR Failed to close " CF_IO_WIRED_CONF_PATH ": Input/output error"}}),
    [](const auto &test) { return std::string(test.param.name); });

}  // namespace
