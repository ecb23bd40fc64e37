// /etc/smb.conf.file: byte for byte for each server, path and switch; the
// virtual file operations of SambaConfig; arguments refused before anything
// is opened.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "smb_scenarios.h"
#include "tavrel/SambaConfig.h"

namespace {

using namespace smb_scenarios;
using host::Level;
using Lines = std::vector<std::string>;

constexpr char kFilingConf[] = "/etc/smb.conf.file";
const std::string kInterfaces = "\n\tinterfaces = 192.168.1.20/24";

struct FilingCase {
    const char *name;      // the file it writes: tests/data/smb/file/<name>.conf
    const char *resolve;   // config-server values as TOML; null: the key is absent
    const char *ntlmv2;
    const char *server, *path;
    std::string logged;    // one telling "LEVEL message" line
};
void PrintTo(const FilingCase &c, std::ostream *os) { *os << c.name; }

std::string filing_settings(const char *resolve, const char *ntlmv2) {
    std::string toml = kDevice + "[config]\n";
    if (resolve) toml += "\"services[scan2file].resolveHostname\" = " + std::string(resolve) + "\n";
    if (ntlmv2) toml += "\"services[scan2file].SMBSecurity.NTLMv2Only\" = " + std::string(ntlmv2) + "\n";
    return toml;
}

const std::string kByAddress = "LIBINFO build_smb_conf_for_filing - Using IP address 10.1.2.3 provided for Server";

const FilingCase kFilingCases[] = {
    {"AddressWithBackslashPath", "true", nullptr, "10.1.2.3", "scans\\dept", kByAddress},
    {"RootedPathNtlmv2On", "true", "true", "10.1.2.3", "/scans", kByAddress},
    {"TrailingBackslashNtlmv2Off", "true", "false", "10.1.2.3", "scans\\", kByAddress},
    {"NameResolvedByDefault", nullptr, nullptr, "files.corp.example", "s",
     "LIBINFO build_smb_conf_for_filing - Converted server name (files.corp.example) to IP (192.0.2.30)"},
    {"ResolvingOff", "false", nullptr, "files.corp.example", "s",
     "LIBINFO build_smb_conf_for_filing - Failed to get IP address for sever for (files.corp.example),"},
    {"UnresolvableNtlmv2Unreadable", "true", "\"yes\"", "nas9", "s",
     "FORCEINFO Using NETBIOS name over its IP for server (nas9)"},
};

class FilingConf : public tavrel_test::TavrelTest, public ::testing::WithParamInterface<FilingCase> {};

TEST_P(FilingConf, WritesFile) {
    const FilingCase &c = GetParam();
    load(filing_settings(c.resolve, c.ntlmv2));
    std::string server = c.server, folder = c.path;
    EXPECT_EQ(build_smb_conf_for_filing(server.data(), folder.data()), 0);
    EXPECT_EQ(read(kFilingConf), golden("file/" + std::string(c.name) + ".conf"));
    EXPECT_EQ(folder.find('\\'), std::string::npos);  // the caller's path has slashes afterwards
    EXPECT_TRUE(std::ranges::count(log_lines(), c.logged) > 0) << c.logged;
}

INSTANTIATE_TEST_SUITE_P(Requests, FilingConf, ::testing::ValuesIn(kFilingCases),
                         [](const auto &test) { return std::string(test.param.name); });

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
    load(filing_settings("true", nullptr));
    Capturing config;
    char server[] = "10.1.2.3", folder[] = "scans\\dept";
    EXPECT_EQ(config.build_smb_conf_for_filing(server, folder), 0);
    std::string expected = golden("file/AddressWithBackslashPath.conf");
    EXPECT_EQ(config.text, expected.erase(expected.find(kInterfaces), kInterfaces.size()));
    EXPECT_EQ(read(kFilingConf), kInterfaces);
    EXPECT_EQ(config.opened, Lines{path(kFilingConf)});
}

TEST_F(FilingConf, FailedOpenFlushOrCloseIsFailure) {
    load(filing_settings("true", nullptr));
    char server[] = "10.1.2.3", folder[] = "scans";
    for (const bool flush_fails : {true, false}) {
        Capturing config;
        (flush_fails ? config.flush_result : config.close_result) = EOF;
        EXPECT_EQ(config.build_smb_conf_for_filing(server, folder), -1);
    }
    setenv("TAVREL_ROOT", (root() + "/missing").c_str(), 1);
    EXPECT_EQ(build_smb_conf_for_filing(server, folder), -1);
    EXPECT_EQ(messages(Level::Error), (Lines{"build_smb_conf_for_filing - Failed to write /etc/smb.conf.file",
                                             "build_smb_conf_for_filing - Failed to close /etc/smb.conf.file",
                                             "Unable to open SMB configuration file"}));
}

// Refused before anything is opened: one error, the previous file and the
// caller's path as they were.
TEST_F(FilingConf, RefusesBadArgumentsTouchingNothing) {
    const std::string long_server(256, 'n');
    const struct {
        const char *server, *path, *error;
    } refusals[] = {
        {nullptr, "s\\d", "No server given"},
        {"", "s\\d", "No server given"},
        {long_server.c_str(), "s\\d", "The server is longer than 255 characters"},
        {"nas\nsecurity = share", "s\\d", "The server holds a control character"},
        {"nas\r", "s\\d", "The server holds a control character"},
        {"nas\\", "s\\d", "The server holds a backslash"},
        {"dom\\nas", "s\\d", "The server holds a backslash"},
        {"nas", nullptr, "No path given"},
        {"nas", "s\\d\npath = /etc", "The path holds a control character"},
        {"nas", "s\\d\r", "The path holds a control character"},
    };
    write(kFilingConf, kPrevious);
    for (const auto &r : refusals) {
        SCOPED_TRACE(r.error);
        host::log_clear();
        std::string server = r.server ? r.server : "", folder = r.path ? r.path : "";
        EXPECT_EQ(build_smb_conf_for_filing(r.server ? server.data() : nullptr, r.path ? folder.data() : nullptr), -1);
        EXPECT_EQ(read(kFilingConf), kPrevious);
        EXPECT_EQ(folder, r.path ? r.path : "");
        EXPECT_EQ(log_lines(), Lines{"ERROR build_smb_conf_for_filing - " + std::string(r.error)});
    }
}

}  // namespace
