// The file-output helper every builder writes through.
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "file_output.h"
#include "tavrel_test.h"

namespace {

using tavrel::OnFailure;
using tavrel::OutputFile;
using tavrel::Secrecy;
using tavrel_test::TavrelTest;

constexpr char kPath[] = "/etc/test.conf";

class FileOutput : public TavrelTest {
protected:
    // Writes text through the helper and finishes it.
    bool build(const std::string &text, Secrecy secrecy = Secrecy::normal) {
        OutputFile out("test_source", kPath, secrecy);
        FILE *stream = out.open();
        if (!stream) return false;
        fputs(text.c_str(), stream);
        return out.finish();
    }

    // Files in the target's directory other than the target: temporary leftovers.
    std::size_t strays() const {
        std::size_t n = 0;
        for (const auto &entry : std::filesystem::directory_iterator(path("/etc")))
            if (entry.path().filename() != "test.conf" && entry.is_regular_file()) ++n;
        return n;
    }
};

TEST_F(FileOutput, FinishedFileReplacesThePreviousOneWithNothingLeftBehind) {
    write(kPath, "old\n");
    ASSERT_TRUE(build("new\n"));
    EXPECT_EQ(read(kPath), "new\n");
    EXPECT_EQ(strays(), 0u);
}

TEST_F(FileOutput, TextIsInvisibleUntilFinished) {
    write(kPath, "old\n");
    OutputFile out("test_source", kPath);
    FILE *stream = out.open();
    ASSERT_NE(stream, nullptr);
    fputs("new\n", stream);
    fflush(stream);
    EXPECT_EQ(read(kPath), "old\n");
    ASSERT_TRUE(out.finish());
    EXPECT_EQ(read(kPath), "new\n");
}

struct ModeCase {
    const char *name;
    mode_t previous;  // 0: no previous file
    Secrecy secrecy;
    mode_t expected;
};

class FileOutputMode : public FileOutput, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(FileOutputMode, FinishedFileHasTheRightMode) {
    const ModeCase &c = GetParam();
    if (c.previous) write(kPath, "old\n", c.previous);
    ASSERT_TRUE(build("new\n", c.secrecy));
    EXPECT_EQ(mode_of(kPath), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, FileOutputMode,
    ::testing::Values(ModeCase{"NewFile", 0, Secrecy::normal, 0644},
                      ModeCase{"KeepsPreviousMode", 0640, Secrecy::normal, 0640},
                      ModeCase{"SecretNewFile", 0, Secrecy::secret, 0600},
                      ModeCase{"SecretNarrowsAWideFile", 0644, Secrecy::secret, 0600}),
    [](const auto &tc) { return std::string(tc.param.name); });

TEST_F(FileOutput, AbandonKeepsThePreviousFile) {
    write(kPath, "old\n");
    {
        OutputFile out("test_source", kPath);
        FILE *stream = out.open();
        ASSERT_NE(stream, nullptr);
        fputs("partial", stream);
        out.abandon(OnFailure::keep_previous);
    }
    EXPECT_EQ(read(kPath), "old\n");
    EXPECT_EQ(strays(), 0u);
}

TEST_F(FileOutput, AbandonWithoutAPreviousFileLeavesNone) {
    {
        OutputFile out("test_source", kPath);
        ASSERT_NE(out.open(), nullptr);
        out.abandon(OnFailure::keep_previous);
    }
    EXPECT_FALSE(exists(kPath));
    EXPECT_EQ(strays(), 0u);
}

TEST_F(FileOutput, AbandonCanRemoveTheTarget) {
    write(kPath, "old\n");
    {
        OutputFile out("test_source", kPath);
        ASSERT_NE(out.open(), nullptr);
        out.abandon(OnFailure::remove_target);
    }
    EXPECT_FALSE(exists(kPath));
    EXPECT_EQ(strays(), 0u);
}

TEST_F(FileOutput, AFileNeitherFinishedNorAbandonedKeepsThePreviousOne) {
    write(kPath, "old\n");
    {
        OutputFile out("test_source", kPath);
        FILE *stream = out.open();
        ASSERT_NE(stream, nullptr);
        fputs("partial", stream);
    }
    EXPECT_EQ(read(kPath), "old\n");
    EXPECT_EQ(strays(), 0u);
}

TEST_F(FileOutput, MissingDirectoryCannotBeOpened) {
    OutputFile out("test_source", "/no/such/dir/test.conf");
    EXPECT_EQ(out.open(), nullptr);
    EXPECT_TRUE(logs().empty());
}

TEST_F(FileOutput, ATargetThatIsALinkIsReplacedNotFollowed) {
    write("/etc/elsewhere", "untouched\n");
    ASSERT_EQ(symlink(path("/etc/elsewhere").c_str(), path(kPath).c_str()), 0);
    ASSERT_TRUE(build("new\n"));
    EXPECT_EQ(read("/etc/elsewhere"), "untouched\n");
    EXPECT_EQ(read(kPath), "new\n");
}

// A file system that runs out of room: the file-size limit makes every write
// past it fail, as a full disk would.
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
    ASSERT_EQ(logs().size(), 1u);
    EXPECT_EQ(logs()[0].level, host::Level::Error);
    EXPECT_EQ(logs()[0].source, "test_source");
    EXPECT_EQ(logs()[0].message, "Failed to write /etc/test.conf: File too large");
}

// A stream whose close fails (as NFS reports a lost write at close).
ssize_t write_all(void *, const char *, size_t size) { return static_cast<ssize_t>(size); }
int fail_close(void *cookie) {
    close(static_cast<int>(reinterpret_cast<intptr_t>(cookie)));
    errno = EIO;
    return -1;
}
FILE *stream_failing_at_close(int fd) {
    cookie_io_functions_t io{};
    io.write = write_all;
    io.close = fail_close;
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

struct RootCase {
    const char *name;
    const char *root;  // null: unset
    const char *expected;
};

class OutputPath : public ::testing::TestWithParam<RootCase> {};

TEST_P(OutputPath, FixedPathGoesUnderTheRoot) {
    const RootCase &c = GetParam();
    if (c.root)
        setenv("TAVREL_ROOT", c.root, 1);
    else
        unsetenv("TAVREL_ROOT");
    char out[64];
    ASSERT_TRUE(tavrel::resolve_output_path("/etc/krb5.conf", out));
    EXPECT_STREQ(out, c.expected);
    unsetenv("TAVREL_ROOT");
}

INSTANTIATE_TEST_SUITE_P(Roots, OutputPath,
                         ::testing::Values(RootCase{"Unset", nullptr, "/etc/krb5.conf"},
                                           RootCase{"Empty", "", "/etc/krb5.conf"},
                                           RootCase{"Root", "/tmp/r", "/tmp/r/etc/krb5.conf"},
                                           RootCase{"TrailingSlash", "/tmp/r/", "/tmp/r/etc/krb5.conf"}),
                         [](const auto &tc) { return std::string(tc.param.name); });

TEST(OutputPathLength, APathThatDoesNotFitIsRefused) {
    setenv("TAVREL_ROOT", "/a/long/root/directory", 1);
    char out[16];
    EXPECT_FALSE(tavrel::resolve_output_path("/etc/krb5.conf", out));
    unsetenv("TAVREL_ROOT");
}

}  // namespace
