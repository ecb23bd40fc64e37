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
using Lines = std::vector<std::string>;
using FilingConf = tavrel_test::TavrelTest;

constexpr char kFilingConf[] = "/etc/smb.conf.file";

// The device and the two scan-to-file switches as TOML ("": the key is absent).
std::string filing_settings(const std::string &resolve, const std::string &ntlmv2) {
    std::string toml = kDevice + "[config]\n";
    if (!resolve.empty()) toml += "\"services[scan2file].resolveHostname\" = " + resolve + "\n";
    if (!ntlmv2.empty()) toml += "\"services[scan2file].SMBSecurity.NTLMv2Only\" = " + ntlmv2 + "\n";
    return toml;
}

TEST_F(FilingConf, WritesTheFileForEachRequest) {
    // Each writes tests/data/smb/file/<file>.conf, and logs how it took the server.
    const std::string address = "LIBINFO build_smb_conf_for_filing - Using IP address 10.1.2.3 provided for Server";
    const std::string netbios = "FORCEINFO Using NETBIOS name over its IP for server (";
    const struct { const char *file, *resolve, *ntlmv2, *server, *path; std::string logged; } requests[] = {
        {"AddressWithBackslashPath", "true", "", "10.1.2.3", "scans\\dept", address},
        {"RootedPathNtlmv2On", "true", "true", "10.1.2.3", "/scans", address},
        {"NameResolvedByDefault", "", "", "files.corp.example", "s",
         "LIBINFO build_smb_conf_for_filing - Converted server name (files.corp.example) to IP (192.0.2.30)"},
        {"ResolvingOffTrailingBackslashNtlmv2Off", "false", "false", "files.corp.example", "s\\",
         netbios + "files.corp.example)"},
        {"UnresolvableNtlmv2Unreadable", "true", "\"yes\"", "nas9", "s", netbios + "nas9)"},
    };
    for (const auto &r : requests) {
        SCOPED_TRACE(r.file);
        load(filing_settings(r.resolve, r.ntlmv2));
        std::string server = r.server, folder = r.path;
        EXPECT_EQ(build_smb_conf_for_filing(server.data(), folder.data()), 0);
        EXPECT_EQ(read(kFilingConf), golden("file/" + std::string(r.file) + ".conf"));
        EXPECT_EQ(folder.find('\\'), std::string::npos);  // the caller's path has slashes afterwards
        EXPECT_EQ(std::ranges::count(log_lines(), r.logged), 1) << r.logged;
        if (*r.resolve) {  // else the missing switch is the one error
            EXPECT_EQ(messages(host::Level::Error), Lines{});
        }
    }
}

// Sends every entry to a text instead of the stream, watches fopen, and can
// make flush or close fail.
struct Capturing : SambaConfig {
    std::string text;
    Lines opened;
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
    load(filing_settings("true", ""));
    Capturing config;
    char server[] = "10.1.2.3", folder[] = "scans\\dept";
    EXPECT_EQ(config.build_smb_conf_for_filing(server, folder), 0);
    const std::string interfaces = "\n\tinterfaces = 192.168.1.20/24";
    std::string expected = golden("file/AddressWithBackslashPath.conf");
    EXPECT_EQ(config.text, expected.erase(expected.find(interfaces), interfaces.size()));
    EXPECT_EQ(read(kFilingConf), interfaces);
    EXPECT_EQ(config.opened, Lines{path(kFilingConf)});
}

// The base fopen renders the file in memory and the base fclose puts it in
// place; a subclass that brings its own fopen and fclose decides alone, and
// one that closes with the standard fclose still gets its file, as with a
// file fopen had opened.
TEST_F(FilingConf, OwnFopenAndFcloseKeepFullControl) {
    load(filing_settings("true", ""));
    write(kFilingConf, kPrevious);
    struct Elsewhere : SambaConfig {
        std::string where;
        FILE *fopen(const char *, const char *mode) override { return ::fopen(where.c_str(), mode); }
        int fclose(FILE *stream) override { return ::fclose(stream); }
    } elsewhere;
    elsewhere.where = path("/etc/elsewhere.conf");
    struct StandardClose : SambaConfig {
        int fclose(FILE *stream) override { return ::fclose(stream); }
    } standard_close;
    char server[] = "10.1.2.3", folder[] = "scans\\dept";
    EXPECT_EQ(elsewhere.build_smb_conf_for_filing(server, folder), 0);
    EXPECT_EQ(read("/etc/elsewhere.conf"), golden("file/AddressWithBackslashPath.conf"));
    EXPECT_EQ(read(kFilingConf), kPrevious);
    EXPECT_EQ(standard_close.build_smb_conf_for_filing(server, folder), 0);
    EXPECT_EQ(read(kFilingConf), golden("file/AddressWithBackslashPath.conf"));
}

// Refused before anything is opened: one error, the previous file and the
// caller's path as they were. A file that cannot be opened or completed is a
// failure too.
TEST_F(FilingConf, RefusalsAndFailuresAreMinusOneWithOneError) {
    const std::string long_server(256, 'n');
    const struct { const char *server, *path, *error; } refusals[] = {
        {nullptr, "s\\d", "No server given"},
        {"", "s\\d", "No server given"},
        {long_server.c_str(), "s\\d", "The server is longer than 255 characters"},
        {"nas\nsecurity = share", "s\\d", "The server holds a control character"},
        {"nas\r", "s\\d", "The server holds a control character"},
        {"nas\\", "s\\d", "The server holds a backslash"},
        {"nas", nullptr, "No path given"},
        {"nas", "s\\d\npath = /etc", "The path holds a control character"},
        {"nas", "s\\d\r", "The path holds a control character"},
        {" nas", "s\\d", "The server begins or ends with a blank"},
        {"nas ", "s\\d", "The server begins or ends with a blank"},
        {"nas", "s\\d ", "The path ends with a blank"},
    };
    load(filing_settings("true", ""));
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
    char server[] = "10.1.2.3", folder[] = "scans";
    Capturing flush_fails, close_fails, unopenable;
    flush_fails.flush_result = close_fails.close_result = EOF;
    for (const auto &[config, error] : {std::pair{&flush_fails, "build_smb_conf_for_filing - Failed to write /etc/smb.conf.file"},
                                        {&close_fails, "build_smb_conf_for_filing - Failed to close /etc/smb.conf.file"},
                                        {&unopenable, "Unable to open SMB configuration file"}}) {
        host::log_clear();
        if (config == &unopenable) setenv("TAVREL_ROOT", (root() + "/missing").c_str(), 1);
        EXPECT_EQ(config->build_smb_conf_for_filing(server, folder), -1);
        EXPECT_EQ(messages(host::Level::Error), Lines{error});
    }
}

}  // namespace
