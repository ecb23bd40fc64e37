// The file-output helper every builder writes through: rendered first, put
// in place whole, links followed, the previous file kept on any failure.
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
    void TearDown() override {
        tavrel::testing::render_capacity = tavrel::kRenderCapacity;
        TavrelTest::TearDown();
    }

    bool build(const std::string &text, Secrecy secrecy = Secrecy::normal) {
        OutputFile out("test_source", kPath, secrecy);
        FILE *stream = out.open();
        if (!stream) return false;
        fputs(text.c_str(), stream);
        return out.finish();
    }

    // Temporary files left behind anywhere under the root.
    std::size_t strays() const {
        std::size_t n = 0;
        for (const auto &entry : std::filesystem::recursive_directory_iterator(root()))
            n += entry.path().filename().string().starts_with(".");
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
                         Case{0, Secrecy::secret, 0600}, Case{0666, Secrecy::secret, 0600}}) {
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

// A link at the target is followed, as fopen "w" would, to the file it
// finally names, which is replaced in its own directory; the links stay.
TEST_F(FileOutput, ALinkedTargetReplacesTheFileItNamesAndStays) {
    std::filesystem::create_directories(path("/data/conf"));
    struct Case { const char *name; std::string link; std::string file; };
    const Case cases[] = {
        {"absolute", path("/data/conf/test.conf"), "/data/conf/test.conf"},
        {"relative", "../data/conf/test.conf", "/data/conf/test.conf"},
        {"chain of two", path("/etc/hop"), "/data/conf/test.conf"},
        {"dangling", path("/data/conf/new.conf"), "/data/conf/new.conf"},
    };
    ASSERT_EQ(symlink(path("/data/conf/test.conf").c_str(), path("/etc/hop").c_str()), 0);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        write("/data/conf/test.conf", "old\n");
        unlink(path("/data/conf/new.conf").c_str());
        unlink(path(kPath).c_str());
        ASSERT_EQ(symlink(c.link.c_str(), path(kPath).c_str()), 0);
        ASSERT_TRUE(build("new\n"));
        EXPECT_TRUE(std::filesystem::is_symlink(path(kPath)));
        EXPECT_EQ(read(c.file), "new\n");
        EXPECT_EQ(strays(), 0u);
    }
}

TEST_F(FileOutput, ATargetThatCannotBeReplacedIsNotOpened) {
    ASSERT_EQ(symlink("loop-b", path("/etc/loop-a").c_str()), 0);
    ASSERT_EQ(symlink("loop-a", path("/etc/loop-b").c_str()), 0);
    std::filesystem::create_directories(path("/etc/dir.conf"));
    struct Case { const char *fixed; int error; };
    for (const Case c : {Case{"/no/such/dir/test.conf", ENOENT}, Case{"/etc/dir.conf", EISDIR},
                         Case{"/etc/loop-a", ELOOP}}) {
        SCOPED_TRACE(c.fixed);
        OutputFile out("test_source", c.fixed);
        errno = 0;
        EXPECT_EQ(out.open(), nullptr);
        EXPECT_EQ(errno, c.error);
    }
    EXPECT_TRUE(logs().empty());
}

// Past the file-size limit every write fails, as on a full disk.
TEST_F(FileOutput, AWriteErrorFailsTheBuildAndKeepsThePreviousFile) {
    write(kPath, "old\n");
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit tiny = saved;
    tiny.rlim_cur = 16;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
    const bool finished = build(std::string(20000, 'x'));
    setrlimit(RLIMIT_FSIZE, &saved);

    EXPECT_FALSE(finished);
    EXPECT_EQ(read(kPath), "old\n");
    EXPECT_EQ(strays(), 0u);
    EXPECT_EQ(log_lines(), std::vector<std::string>{"ERROR Failed to write /etc/test.conf: File too large"});
    EXPECT_EQ(logs().at(0).source, "test_source");
}

TEST_F(FileOutput, TextThatDoesNotFitFailsTheBuild) {
    write(kPath, "old\n");
    tavrel::testing::render_capacity = 8;
    OutputFile out("test_source", kPath);
    FILE *stream = out.open();
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(fwrite("12345678", 8, 1, stream), 1u);
    EXPECT_EQ(fwrite("9", 1, 1, stream), 0u);
    const int line = __LINE__ + 1;
    EXPECT_FALSE(out.finish());
    EXPECT_EQ(read(kPath), "old\n");
    EXPECT_EQ(log_lines(), std::vector<std::string>{"ERROR Failed to write /etc/test.conf: the text does not fit in 8 bytes"});
    EXPECT_EQ(logs().at(0).line, line);
}

// A stream its holder closes with fclose itself (as a SambaConfig whose own
// fclose does) is in place afterwards, as a file would be.
TEST_F(FileOutput, ARenderClosedWithFcloseIsPutInPlace) {
    write(kPath, "old\n");
    FILE *stream = tavrel::begin_render("test_source", kPath, tavrel::real_path(kPath), Secrecy::normal);
    ASSERT_NE(stream, nullptr);
    fputs("new\n", stream);
    EXPECT_EQ(fclose(stream), 0);
    EXPECT_EQ(read(kPath), "new\n");
}

// A render its holder never closed is given up when the next begins; the
// old stream can no longer write into the new one.
TEST_F(FileOutput, AnUnclosedRenderIsGivenUpByTheNext) {
    FILE *forgotten = tavrel::begin_render("test_source", kPath, tavrel::real_path(kPath), Secrecy::normal);
    ASSERT_NE(forgotten, nullptr);
    OutputFile out("test_source", kPath);
    FILE *stream = out.open();
    ASSERT_NE(stream, nullptr);
    fputs("new\n", stream);
    EXPECT_EQ(fwrite("stale", 5, 1, forgotten), 0u);
    ASSERT_TRUE(out.finish());
    EXPECT_EQ(read(kPath), "new\n");
    fclose(forgotten);
    EXPECT_EQ(read(kPath), "new\n");
    EXPECT_EQ(strays(), 0u);  // the given-up render's temporary file too
}

// Text that goes straight into the render and text through stdio land in the
// order written; straight text that does not fit fails the build like any.
TEST_F(FileOutput, DirectTextKeepsItsPlaceAmongStdioWrites) {
    write(kPath, "old\n");
    {
        OutputFile out("test_source", kPath);
        FILE *stream = out.open();
        ASSERT_NE(stream, nullptr);
        fputs("a", stream);
        EXPECT_EQ(tavrel::write_text(stream, "b", 1), 1u);
        fprintf(stream, "%d", 3);
        EXPECT_EQ(tavrel::write_text(stream, "d\n", 2), 2u);
        ASSERT_TRUE(out.finish());
    }
    EXPECT_EQ(read(kPath), "ab3d\n");

    tavrel::testing::render_capacity = 4;
    OutputFile out("test_source", kPath);
    FILE *stream = out.open();
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(tavrel::write_text(stream, "12345", 5), 0u);
    EXPECT_EQ(tavrel::write_text(stream, "1", 1), 0u);  // the render has failed already
    EXPECT_FALSE(out.finish());
    EXPECT_EQ(read(kPath), "ab3d\n");
    EXPECT_EQ(strays(), 0u);
}

TEST(OutputPath, FixedPathGoesUnderTheRootWhenOneIsSet) {
    struct Case { const char *root; const char *expected; };
    for (const Case c : {Case{nullptr, "/etc/krb5.conf"}, Case{"", "/etc/krb5.conf"},
                         Case{"/tmp/r", "/tmp/r/etc/krb5.conf"}, Case{"/tmp/r/", "/tmp/r/etc/krb5.conf"}}) {
        c.root ? setenv("TAVREL_ROOT", c.root, 1) : unsetenv("TAVREL_ROOT");
        const char *path = tavrel::real_path("/etc/krb5.conf");
        ASSERT_NE(path, nullptr);
        EXPECT_STREQ(path, c.expected);
    }
    setenv("TAVREL_ROOT", std::string(PATH_MAX, 'r').c_str(), 1);
    EXPECT_EQ(tavrel::real_path("/etc/krb5.conf"), nullptr);
    unsetenv("TAVREL_ROOT");
}

}  // namespace
