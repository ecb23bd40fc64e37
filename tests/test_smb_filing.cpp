// /etc/smb.conf.file: byte for byte for each server, path and switch; the
// virtual file operations of SambaConfig; arguments refused before anything
// is opened.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "smb_scenarios.h"
#include "tavrel/SambaConfig.h"
#include "tavrel_test.h"

namespace {

using namespace smb_scenarios;
using host::Level;

constexpr char kFilingConf[] = "/etc/smb.conf.file";

class FilingConf : public tavrel_test::TavrelTest, public ::testing::WithParamInterface<FilingScenario> {};

TEST_P(FilingConf, WritesFile) {
    const FilingScenario &s = GetParam();
    load(s.settings());
    std::string server = s.server, folder = s.path;
    EXPECT_EQ(build_smb_conf_for_filing(server.data(), folder.data()), 0);
    EXPECT_EQ(read(kFilingConf), s.file());
    EXPECT_EQ(folder.find('\\'), std::string::npos);  // the caller's path has slashes afterwards
    const bool named = s.written_server == s.server && s.server != "10.1.2.3";
    EXPECT_EQ(logged(Level::ForceInfo, "Using NETBIOS name over its IP for server (" + s.server + ")"), named);
}

INSTANTIATE_TEST_SUITE_P(Requests, FilingConf, ::testing::ValuesIn(filing_scenarios()),
                         [](const auto &test) { return test.param.name; });

// Sends every entry to a text instead of the stream; fopen is watched.
struct Capturing : SambaConfig {
    std::string text;
    std::vector<std::string> opened;
    int flush_result = 0, close_result = 0;
    size_t fwrite(const void *buffer, unsigned size, unsigned count, FILE *) override {
        text.append(static_cast<const char *>(buffer), size * count);
        return count;
    }
    FILE *fopen(const char *where, const char *mode) override {
        opened.push_back(where);
        return SambaConfig::fopen(where, mode);
    }
    int fflush(FILE *stream) override { return SambaConfig::fflush(stream) == 0 ? flush_result : EOF; }
    int fclose(FILE *stream) override { return SambaConfig::fclose(stream) == 0 ? close_result : EOF; }
};

TEST_F(FilingConf, ReplacedFwriteGetsAllButInterfaceEntry) {
    const FilingScenario s = filing_scenarios()[0];
    load(s.settings());
    Capturing config;
    char server[] = "10.1.2.3", folder[] = "scans\\dept";
    EXPECT_EQ(config.build_smb_conf_for_filing(server, folder), 0);
    std::string expected = s.file();
    EXPECT_EQ(config.text, expected.erase(expected.find(kInterfaces), kInterfaces.size()));
    EXPECT_EQ(read(kFilingConf), kInterfaces);
    EXPECT_EQ(config.opened, std::vector<std::string>{path(kFilingConf)});
}

TEST_F(FilingConf, FailedOpenFlushOrCloseIsFailure) {
    load(filing_scenarios()[0].settings());
    for (const bool flush_fails : {true, false}) {
        Capturing config;
        (flush_fails ? config.flush_result : config.close_result) = EOF;
        char server[] = "10.1.2.3", folder[] = "scans";
        EXPECT_EQ(config.build_smb_conf_for_filing(server, folder), -1);
    }
    setenv("TAVREL_ROOT", (root() + "/missing").c_str(), 1);
    char server[] = "10.1.2.3", folder[] = "scans";
    EXPECT_EQ(build_smb_conf_for_filing(server, folder), -1);
    EXPECT_EQ(messages(Level::Error),
              (std::vector<std::string>{"build_smb_conf_for_filing - Failed to write /etc/smb.conf.file",
                                        "build_smb_conf_for_filing - Failed to close /etc/smb.conf.file",
                                        "Unable to open SMB configuration file"}));
}

struct Refusal {
    const char *name;
    const char *server, *path;
    std::string error;
};
void PrintTo(const Refusal &c, std::ostream *os) { *os << c.name; }

class FilingRefusal : public tavrel_test::TavrelTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(FilingRefusal, TouchesNothing) {
    const Refusal &r = GetParam();
    write(kFilingConf, kPrevious);
    std::string server = r.server ? r.server : "", folder = r.path ? r.path : "";
    EXPECT_EQ(build_smb_conf_for_filing(r.server ? server.data() : nullptr, r.path ? folder.data() : nullptr), -1);
    EXPECT_EQ(read(kFilingConf), kPrevious);
    EXPECT_EQ(folder, r.path ? r.path : "");
    EXPECT_EQ(log_lines(), std::vector<std::string>{"ERROR build_smb_conf_for_filing - " + r.error});
}

const std::string kLongServer(256, 'n');

INSTANTIATE_TEST_SUITE_P(
    Arguments, FilingRefusal,
    ::testing::Values(Refusal{"NullServer", nullptr, "s\\d", "No server given"},
                      Refusal{"EmptyServer", "", "s\\d", "No server given"},
                      Refusal{"LongServer", kLongServer.c_str(), "s\\d", "The server is longer than 255 characters"},
                      Refusal{"ServerLF", "nas\nsecurity = share", "s\\d", "The server holds a control character"},
                      Refusal{"ServerCR", "nas\r", "s\\d", "The server holds a control character"},
                      Refusal{"ServerTrailingBackslash", "nas\\", "s\\d", "The server holds a backslash"},
                      Refusal{"ServerBackslash", "dom\\nas", "s\\d", "The server holds a backslash"},
                      Refusal{"NullPath", "nas", nullptr, "No path given"},
                      Refusal{"PathLF", "nas", "s\\d\npath = /etc", "The path holds a control character"},
                      Refusal{"PathCR", "nas", "s\\d\r", "The path holds a control character"}),
    [](const auto &test) { return std::string(test.param.name); });

}  // namespace
