// The file-output helper every builder writes through.
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "file_output.h"
#include "tavrel_test.h"

namespace {

using tavrel::OnFailure;
using tavrel::OutputFile;
using tavrel::Secrecy;

constexpr char kPath[] = "/etc/test.conf";

class FileOutput : public tavrel_test::TavrelTest {
protected:
    bool build(const std::string &text, Secrecy secrecy = Secrecy::normal) {
        OutputFile out("test_source", kPath, secrecy);
        FILE *stream = out.open();
        if (!stream) return false;
        fputs(text.c_str(), stream);
        return out.finish();
    }

    // Anything in the directory besides the target: temporary files left behind.
    std::size_t strays() const {
        std::size_t n = 0;
        for (const auto &entry : std::filesystem::directory_iterator(path("/etc")))
            n += entry.path().filename() != "test.conf" && entry.is_regular_file();
        return n;
    }
};

TEST_F(FileOutput, TextReplacesThePreviousFileOnlyWhenFinished) {
    write(kPath, "old\n");
    OutputFile out("test_source", kPath);
    FILE *stream = out.open();
    ASSERT_NE(stream, nullptr);
    fputs("new\n", stream);
    fflush(stream);
    EXPECT_EQ(read(kPath), "old\n");
    ASSERT_TRUE(out.finish());
    EXPECT_EQ(read(kPath), "new\n");
    EXPECT_EQ(strays(), 0u);
}

TEST_F(FileOutput, FinishedFileHasTheRightMode) {
    struct Case { mode_t previous; Secrecy secrecy; mode_t expected; };
    for (const Case c : {Case{0, Secrecy::normal, 0644}, Case{0640, Secrecy::normal, 0640},
                         Case{0, Secrecy::secret, 0600}, Case{0644, Secrecy::secret, 0600}}) {
        SCOPED_TRACE(c.previous);
        unlink(path(kPath).c_str());
        if (c.previous) write(kPath, "old\n", c.previous);
        ASSERT_TRUE(build("new\n", c.secrecy));
        EXPECT_EQ(mode_of(kPath), c.expected);
    }
}

TEST_F(FileOutput, UnfinishedTextNeverReplacesThePreviousFile) {
    // abandon(keep_previous), abandon(remove_target), and neither (destructor).
    for (int how = 0; how < 3; ++how) {
        write(kPath, "old\n");
        {
            OutputFile out("test_source", kPath);
            FILE *stream = out.open();
            ASSERT_NE(stream, nullptr);
            fputs("partial", stream);
            if (how == 0) out.abandon(OnFailure::keep_previous);
            if (how == 1) out.abandon(OnFailure::remove_target);
        }
        EXPECT_EQ(read(kPath), how == 1 ? std::nullopt : std::optional<std::string>("old\n")) << how;
        EXPECT_EQ(strays(), 0u);
    }
}

TEST_F(FileOutput, ATargetThatIsALinkIsReplacedNotFollowed) {
    write("/etc/elsewhere", "untouched\n");
    ASSERT_EQ(symlink(path("/etc/elsewhere").c_str(), path(kPath).c_str()), 0);
    ASSERT_TRUE(build("new\n"));
    EXPECT_EQ(read("/etc/elsewhere"), "untouched\n");
    EXPECT_EQ(read(kPath), "new\n");
}

TEST_F(FileOutput, MissingDirectoryCannotBeOpened) {
    OutputFile out("test_source", "/no/such/dir/test.conf");
    EXPECT_EQ(out.open(), nullptr);
}

// A file system that runs out of room: past the file-size limit every write
// fails, as on a full disk.
TEST_F(FileOutput, AWriteErrorFailsTheBuildAndKeepsThePreviousFile) {
    write(kPath, "old\n");
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit tiny = saved;
    tiny.rlim_cur = 16;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
    const bool finished = build(std::string(100000, 'x'));
    setrlimit(RLIMIT_FSIZE, &saved);

    EXPECT_FALSE(finished);
    EXPECT_EQ(read(kPath), "old\n");
    EXPECT_EQ(strays(), 0u);
    EXPECT_EQ(log_lines(), std::vector<std::string>{"ERROR Failed to write /etc/test.conf: File too large"});
    EXPECT_EQ(logs().at(0).source, "test_source");
}

// A stream whose close fails, as NFS reports a lost write at close.
FILE *stream_failing_at_close(int fd) {
    cookie_io_functions_t io{};
    io.write = [](void *, const char *, size_t size) { return static_cast<ssize_t>(size); };
    io.close = [](void *cookie) {
        close(static_cast<int>(reinterpret_cast<intptr_t>(cookie)));
        errno = EIO;
        return -1;
    };
    return fopencookie(reinterpret_cast<void *>(static_cast<intptr_t>(fd)), "w", io);
}

TEST_F(FileOutput, ACloseErrorFailsTheBuild) {
    write(kPath, "old\n");
    tavrel::testing::stream_opener = stream_failing_at_close;
    const bool finished = build("new\n");
    tavrel::testing::stream_opener = nullptr;
    EXPECT_FALSE(finished);
    EXPECT_EQ(read(kPath), "old\n");
    EXPECT_EQ(strays(), 0u);
    EXPECT_TRUE(logged(host::Level::Error, "Failed to close /etc/test.conf: Input/output error"));
}

TEST(OutputPath, FixedPathGoesUnderTheRootWhenOneIsSet) {
    struct Case { const char *root; const char *expected; };
    for (const Case c : {Case{nullptr, "/etc/krb5.conf"}, Case{"", "/etc/krb5.conf"},
                         Case{"/tmp/r", "/tmp/r/etc/krb5.conf"}, Case{"/tmp/r/", "/tmp/r/etc/krb5.conf"}}) {
        c.root ? setenv("TAVREL_ROOT", c.root, 1) : unsetenv("TAVREL_ROOT");
        char out[64];
        ASSERT_TRUE(tavrel::resolve_output_path("/etc/krb5.conf", out));
        EXPECT_STREQ(out, c.expected);
    }
    char small[16];
    setenv("TAVREL_ROOT", "/a/long/root/directory", 1);
    EXPECT_FALSE(tavrel::resolve_output_path("/etc/krb5.conf", small));
    unsetenv("TAVREL_ROOT");
}

}  // namespace
