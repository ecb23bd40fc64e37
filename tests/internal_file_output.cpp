// The file-output helper every builder writes through, where no builder can
// reach it: a text longer than the render holds, a render never closed, text
// written straight in among stdio's, and the root the fixed paths go under.
// (How files are put in place: test_output, through every builder.)
#include "file_output.h"
#include "tavrel_test.h"

namespace {

using tavrel::OutputFile;

constexpr char kPath[] = "/etc/test.conf";

class FileOutput : public tavrel_test::TavrelTest {
protected:
    void TearDown() override {
        tavrel::testing::render_capacity = tavrel::kRenderCapacity;
        TavrelTest::TearDown();
    }
};

// Text through stdio or straight into the render that does not fit fails
// the build, and no later text goes in; the error names the line of the
// finish that reports it.
TEST_F(FileOutput, TextThatDoesNotFitFailsTheBuild) {
    for (const bool direct : {false, true}) {
        SCOPED_TRACE(direct ? "straight in" : "through stdio");
        write(kPath, "old\n");
        host::log_clear();
        tavrel::testing::render_capacity = 8;
        OutputFile out("test_source", kPath);
        FILE *stream = out.open();
        ASSERT_NE(stream, nullptr);
        EXPECT_EQ(fwrite("1234567", 7, 1, stream), 1u);
        EXPECT_EQ(direct ? tavrel::write_text(stream, "89", 2) : fwrite("89", 2, 1, stream), 0u);
        EXPECT_EQ(tavrel::write_text(stream, "x", 1), 0u);  // it would fit, but the render has failed
        const int line = __LINE__ + 1;
        EXPECT_FALSE(out.finish());
        EXPECT_EQ(read(kPath), "old\n");
        EXPECT_EQ(log_lines(), tavrel_test::Lines{"ERROR Failed to write /etc/test.conf: the text does not fit in 8 bytes"});
        EXPECT_EQ(logs().at(0).line, line);
        EXPECT_TRUE(strays().empty());
    }
}

// A supplicant build that runs out of room at a fragment fails at that
// step, with the fragment's warning and the step's error, and keeps the
// previous file.
TEST_F(FileOutput, RunningOutOfRoomFailsTheSupplicantBuildAtThatStep) {
    const std::string file = tavrel_test::source_text("tests/data/8021x/wired-md5-bare.conf");
    const CF_IO_8021x_Params p{CF_IO_IFACE_WIRED, nullptr, 0, 0, CF_IO_EAP_MD5, "alice", "pw-secret-1",
                               nullptr, nullptr, nullptr, nullptr, nullptr};
    for (const auto &[fragment, step] : {std::pair{"network={", "Cannot write out Header Information"},
                                         {"    identity=", "Cannot write out username [alice]"},
                                         {"}", "Cannot close out file settings"}}) {
        SCOPED_TRACE(fragment);
        tavrel::testing::render_capacity = file.find(fragment);
        write(CF_IO_WIRED_CONF_PATH, "previous\n");
        host::log_clear();
        EXPECT_EQ(cf_build_enterprise_8021x_conf_for_authentication(&p), 0u);
        const std::vector<std::string> lines = log_lines();
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ(std::vector(lines.end() - 3, lines.end()),
                  (std::vector<std::string>{"WARN String [" + std::string(fragment) + "] failed to write to config file for 802.1x",
                                            std::string("ERROR ") + step,
                                            "LIBRETURN cf_build_enterprise_8021x_conf_for_authentication"}));
        EXPECT_EQ(read(CF_IO_WIRED_CONF_PATH), "previous\n");
    }
}

// A PAM line that does not fit is logged as not written, and the build fails.
TEST_F(FileOutput, PamLinesThatDoNotFitAreLoggedAsNotWritten) {
    load("[config]\n\"authentication.smartcard.ocsp.enabled\" = false\n");
    tavrel::testing::render_capacity = 1;
    EXPECT_EQ(cf_build_pam_conf_file_for_CAC(), 0);
    EXPECT_TRUE(logged(host::Level::Error, "Error writing line 8 to pam.conf"));
}

// A render its holder never closed is given up when the next begins; the
// old stream can no longer write into the new one. Text that goes straight
// into the render and text through stdio land in the order written.
TEST_F(FileOutput, AnUnclosedRenderIsGivenUpAndDirectTextKeepsItsPlace) {
    FILE *forgotten = tavrel::begin_render("test_source", kPath, tavrel::real_path(kPath), tavrel::Secrecy::normal);
    ASSERT_NE(forgotten, nullptr);
    OutputFile out("test_source", kPath);
    FILE *stream = out.open();
    ASSERT_NE(stream, nullptr);
    fputs("a", stream);
    EXPECT_EQ(tavrel::write_text(stream, "b", 1), 1u);
    EXPECT_EQ(fwrite("stale", 5, 1, forgotten), 0u);
    fprintf(stream, "%d", 3);
    EXPECT_EQ(tavrel::write_text(stream, "d\n", 2), 2u);
    ASSERT_TRUE(out.finish());
    fclose(forgotten);
    EXPECT_EQ(read(kPath), "ab3d\n");
    EXPECT_TRUE(strays().empty());  // the given-up render's temporary file too
}

TEST(OutputPath, FixedPathGoesUnderTheRootWhenOneIsSet) {
    using Case = std::pair<const char *, const char *>;  // the root, the real path
    for (const auto &[root, expected] : {Case{nullptr, "/etc/krb5.conf"}, Case{"", "/etc/krb5.conf"},
                                         Case{"/tmp/r", "/tmp/r/etc/krb5.conf"}, Case{"/tmp/r/", "/tmp/r/etc/krb5.conf"},
                                         Case{"//", "//etc/krb5.conf"}}) {
        root ? setenv("TAVREL_ROOT", root, 1) : unsetenv("TAVREL_ROOT");
        EXPECT_STREQ(tavrel::real_path("/etc/krb5.conf"), expected);
    }
    setenv("TAVREL_ROOT", std::string(PATH_MAX, 'r').c_str(), 1);
    EXPECT_EQ(tavrel::real_path("/etc/krb5.conf"), nullptr);
    unsetenv("TAVREL_ROOT");
}

}  // namespace
