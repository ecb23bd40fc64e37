// The two smb.conf files, byte for byte against their expected files under
// tests/data/smb/ (which the testparm checker reads too): the interfaces
// entry; /etc/smb.conf.auth with the domain and server chosen in each
// situation, and what remains of the file otherwise; /etc/smb.conf.file for
// each server, path and switch, the virtual file operations of SambaConfig,
// and arguments refused before anything is opened.
#include <cstdio>

#include "tavrel/SambaConfig.h"
#include "tavrel_test.h"

namespace {

using tavrel_test::Lines;

// The device at 192.168.1.20/24; only these names resolve.
const std::string kDevice =
    "[network]\naddress = \"192.168.1.20\"\nnetmask = \"255.255.255.0\"\n[platform]\nhosts = { \"dc1.corp.example\" = "
    "\"192.0.2.11\", \"dc2.corp.example\" = \"192.0.2.12\", \"files.corp.example\" = \"192.0.2.30\" }\n";
const std::string kPrevious = "# the previous configuration\n";

// The expected file tests/data/smb/<name>; empty when there is none.
std::string golden(const std::string &name) { return tavrel_test::source_text("tests/data/smb/" + name); }

constexpr char kNoAddress[] = "setup_default_interface - Failed to get IP Addr from CCS";

using SmbConf = tavrel_test::TavrelTest;

TEST_F(SmbConf, InterfaceEntryHoldsAddressAndPrefixLength) {
    // The address and netmask (nullopt: cannot be had), and the prefix written
    // after the address (null: no entry, the address refused).
    using Row = std::tuple<std::optional<std::string>, std::optional<std::string>, const char *>;
    const Row cases[] = {
        {"10.0.0.5", "255.255.0.0", "/16"}, {"10.0.0.5", "0.0.0.0", "/0"}, {"10.0.0.5", "255.0.255.0", "/24"},
        {"10.0.0.5", "not a mask", "/32"}, {"10.0.0.5", std::nullopt, ""}, {std::nullopt, "255.255.255.0", nullptr},
        {"10.0.0.5\n", "255.255.255.0", nullptr}, {"10.0.0.5\\", "255.255.255.0", nullptr},
        {"10.0.0.5 ", std::nullopt, nullptr}, {"10.0.0.5 10.0.0.6", "255.255.255.0", nullptr},
        {std::string(36, '1'), "255.255.255.0", nullptr},  // longer than any address
    };
    for (const auto &[address, netmask, prefix] : cases) {
        SCOPED_TRACE(::testing::PrintToString(address) + " " + ::testing::PrintToString(netmask));
        host::log_clear();
        host::network_set(address, netmask);
        char text[64] = {};
        FILE *stream = fmemopen(text, sizeof text, "w");
        const Lines errors = !prefix    ? Lines{kNoAddress}
                             : !netmask ? Lines{"setup_default_interface - Failed to get netmask bit count"}
                                        : Lines{};
        EXPECT_EQ(setup_default_interface(stream), errors.empty() ? 1 : 0);
        fclose(stream);
        EXPECT_EQ(text, prefix ? "\n\tinterfaces = 10.0.0.5" + std::string(prefix) : "");
        EXPECT_EQ(messages(host::Level::Error), errors);
    }
    EXPECT_EQ(setup_default_interface(nullptr), 0);
}

// One SMB authentication service as TOML, its texts TOML-escaped; null leaves
// the attribute unset.
std::string service(const char *domain, const char *address, const char *hostname) {
    std::string toml = "[[smb.auth]]\n";
    for (const auto &[key, value] : {std::pair{"domain", domain}, {"address", address}, {"hostname", hostname}})
        if (value) toml += std::string(key) + " = \"" + value + "\"\n";
    return toml;
}

constexpr char kRemoved[] = "", kKept[] = "kept";

struct AuthCase {
    const char *name, *method;
    std::string services;     // TOML
    const char *user_domain;  // null: none handed over
    // Result 1 with tests/data/smb/auth/<file>.conf, or 0 with kRemoved: no
    // file remains, or kKept: the previous one stays.
    std::string file;
    // Telling "LEVEL message" lines, for what the file does not show; "!" before one: never logged.
    std::vector<std::string> logged = {};
    bool has_interface_address = true;
};
void PrintTo(const AuthCase &c, std::ostream *os) { *os << c.name; }

const std::string kTwo = service("CORP", "192.0.2.10", "dc1.corp.example") + service("SALES", "192.0.2.20", nullptr);
const std::string kCorpOnly = service("CORP", nullptr, nullptr);

const AuthCase kAuthCases[] = {
    {"UserDomainOfService2", "domain", kTwo, "sales", "UserDomainSales",
     {"LIBINFO get_smb_method_from_dstore - SMB Method is (domain)"}},
    {"NoUserDomainTakesService1", "domain", kTwo, nullptr, "Service1Corp"},
    {"UnconfiguredDomainTriesServices1To3", "domain",
     service(nullptr, "192.0.2.10", nullptr) + service("bad domain", nullptr, nullptr) +
         service("SALES", "192.0.2.30", nullptr),
     "OTHER", "Service3Sales", {"WARN Problems encountered retrieved SMB domains from Datastore"}},
    {"Service4NeverStandsIn", "domain",
     service(nullptr, nullptr, nullptr) + service("bad domain", nullptr, nullptr) + service("", nullptr, nullptr) + kTwo,
     "OTHER", kRemoved, {"WARN Problems encountered retrieved SMB domains from Datastore"}},
    {"HostMethodAppendsServerDomain", "host", kTwo, "OTHER", "ServerDomainAppended",  // "ip" goes the same way
     {"!FORCEINFO The gathered hostname does not have a domain"}},
    {"ZeroAddressFallsToHostname", "domain", service("CORP", "0.0.0.0", "dc1.corp.example"), "CORP",
     "HostnameResolved"},
    {"FirstDefaultWithoutServerLeavesEmptyPair", "host",
     service("CORP", nullptr, nullptr) + service("SALES", nullptr, "dc2.corp.example"), "OTHER", "FirstPairEmpty",
     {"LIBINFO get_a_default_hostname_for_SMB invalid hostname for entry (1)"}},
    {"CapitalisedMethodIsInvalid", "Domain", kTwo, "CORP", kRemoved,
     {"ERROR get_smb_method_from_dstore - SMB Method is invalid (Domain)",
      "ERROR build_smb_conf_for_authentication - Failed to get SMB Method"}},
    {"EmptyMethodIsUndefined", "", kTwo, "CORP", kRemoved, {"ERROR get_smb_method_from_dstore - SMB Method is undefined"}},
    {"InterfaceFailureRemovesFile", "domain", kTwo, "CORP", kRemoved, {"ERROR " + std::string(kNoAddress)}, false},
    {"ServiceWithoutServerKeepsPrevious", "domain", kCorpOnly, "CORP", kKept,
     {"WARN The SMB service [1] does not have a hostname"}},
    {"InvalidDomainWithoutServerRemovesFile", "host", service("bad domain", nullptr, nullptr), nullptr, kRemoved,
     {"ERROR Domain and hostname setting are incorrect"}},
    {"NoDefaultServerRemovesFile", "ip", kCorpOnly, "OTHER", kRemoved,
     {"ERROR The SMB serivce has no server hostnames set"}},
    {"NoDefaultDomainRemovesFile", "domain", "", "OTHER", kRemoved, {"FORCEINFO Cannot use LUI passed in domain"}},
    // Values that would end or continue a line are refused where they are
    // read, and the build goes on as without them: the domains of services
    // 1 to 3 are each tried in turn. (Which characters each reader refuses is
    // the host platform's and the stored-value readers' own tests'.)
    {"DomainsWithLfCrOrBackslash", "domain",
     service("CORP\\nsecurity = share", nullptr, "dc9") + service("CORP\\r", nullptr, "dc9") +
         service("CORP\\\\", nullptr, "dc9"),
     nullptr, kRemoved, {"INFO NT Domain holds a backslash or a control character"}},
    // Service 1's domain stands in for the user's; its address is refused, so
    // its host name (which does not resolve) is written.
    {"UserDomainLfRefusedAddressWrittenAsName", "domain",
     service("CORP", "192.0.2.10\\nsecurity = share", "dc9.corp.example"), "CORP\nsecurity = share", "HostnameUnresolved",
     {"FORCEINFO Using Hostname over its IP for host (dc9.corp.example)", "DEBUG Samba server is not defined with a valid Ipv4 Address"}},
    {"HostnameLF", "domain", service("CORP", nullptr, "dc9\\nsecurity = share"), "CORP", kKept,
     {"ERROR get_dns_name_from_dstore - DNS name holds an invalid character."}},
};

class AuthConf : public tavrel_test::TavrelTest, public ::testing::WithParamInterface<AuthCase> {};

TEST_P(AuthConf, WritesOrLeavesFileAsDecided) {
    const AuthCase &c = GetParam();
    load(kDevice + "[smb]\nmethod = \"" + c.method + "\"\n" + c.services);
    if (!c.has_interface_address) host::network_set(std::nullopt, "255.255.255.0");
    if (c.user_domain) sm_set_new_domain_name(c.user_domain);
    write("/etc/smb.conf.auth", kPrevious);
    const int result = c.file == kKept || c.file == kRemoved ? 0 : 1;
    EXPECT_EQ(build_smb_conf_for_authentication(), result);
    const std::string expected = c.file == kKept ? kPrevious : c.file.empty() ? "" : golden("auth/" + c.file + ".conf");
    EXPECT_EQ(read("/etc/smb.conf.auth").value_or(""), expected);
    for (const std::string &line : c.logged) {
        const bool never = line.starts_with('!');
        EXPECT_EQ(std::ranges::count(log_lines(), line.substr(never)) > 0, !never) << line;
    }
    // The (last) domain written is the one in force.
    const auto at = expected.rfind("workgroup = ") + 12;
    EXPECT_TRUE(result == 0 || sm_get_current_domain_name() == expected.substr(at, expected.find('\n', at) - at))
        << sm_get_current_domain_name();
}

INSTANTIATE_TEST_SUITE_P(Situations, AuthConf, ::testing::ValuesIn(kAuthCases),
                         [](const auto &test) { return std::string(test.param.name); });

// ---- /etc/smb.conf.file --------------------------------------------------------

constexpr char kFilingConf[] = "/etc/smb.conf.file";

// The device and the two scan-to-file switches as TOML ("": the key is absent).
std::string filing_settings(const std::string &resolve, const std::string &ntlmv2) {
    std::string toml = kDevice + "[config]\n";
    if (!resolve.empty()) toml += "\"services[scan2file].resolveHostname\" = " + resolve + "\n";
    if (!ntlmv2.empty()) toml += "\"services[scan2file].SMBSecurity.NTLMv2Only\" = " + ntlmv2 + "\n";
    return toml;
}

using FilingConf = tavrel_test::TavrelTest;

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
        EXPECT_EQ(messages(host::Level::Error),
                  *r.resolve ? Lines{} : Lines{"can  not  get  resolveHostname  from  config  server"});
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

// Refused before anything is opened: one error, the previous file and the
// caller's path as they were.
TEST_F(FilingConf, RefusesFailsAndLetsSubclassesDecideWhereTheTextGoes) {
    const std::string long_server(256, 'n');
    const struct { const char *server, *path, *error; } refusals[] = {
        {nullptr, "s\\d", "No server given"},
        {"", "s\\d", "No server given"},
        {long_server.c_str(), "s\\d", "The server is longer than 255 characters"},
        {"nas\nsecurity = share", "s\\d", "The server holds a control character"},
        {"nas\\", "s\\d", "The server holds a backslash"},
        {"nas", nullptr, "No path given"},
        {"nas", "s\\d\npath = /etc", "The path holds a control character"},
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
    // A file that cannot be completed is a failure (one that cannot be opened is test_output's).
    char server[] = "10.1.2.3", folder[] = "scans\\dept";
    Capturing flush_fails, close_fails;
    flush_fails.flush_result = close_fails.close_result = EOF;
    host::log_clear();
    EXPECT_EQ(flush_fails.build_smb_conf_for_filing(server, folder), -1);
    EXPECT_EQ(close_fails.build_smb_conf_for_filing(server, folder), -1);
    EXPECT_EQ(messages(host::Level::Error), (Lines{"build_smb_conf_for_filing - Failed to write /etc/smb.conf.file",
                                                   "build_smb_conf_for_filing - Failed to close /etc/smb.conf.file"}));
    // The base fopen renders the file in memory and the base fclose puts it in
    // place. A subclass's fwrite gets every entry but the interfaces one; one
    // that brings its own fopen and fclose decides alone, and one that closes
    // with the standard fclose still gets its file, as with a file fopen had opened.
    const std::string written = golden("file/AddressWithBackslashPath.conf");
    Capturing capturing;
    EXPECT_EQ(capturing.build_smb_conf_for_filing(server, folder), 0);
    const std::string interfaces = "\n\tinterfaces = 192.168.1.20/24";
    EXPECT_EQ(capturing.text, std::string(written).erase(written.find(interfaces), interfaces.size()));
    EXPECT_EQ(read(kFilingConf), interfaces);
    EXPECT_EQ(capturing.opened, Lines{path(kFilingConf)});
    write(kFilingConf, kPrevious);
    struct Elsewhere : SambaConfig {
        std::string where;
        FILE *fopen(const char *, const char *mode) override { return ::fopen(where.c_str(), mode); }
        int fclose(FILE *stream) override { return ::fclose(stream); }
    } elsewhere;
    elsewhere.where = path("/etc/elsewhere.conf");
    EXPECT_EQ(elsewhere.build_smb_conf_for_filing(server, folder), 0);
    EXPECT_EQ(read("/etc/elsewhere.conf"), written);
    EXPECT_EQ(read(kFilingConf), kPrevious);
    struct StandardClose : SambaConfig {
        int fclose(FILE *stream) override { return ::fclose(stream); }
    } standard_close;
    EXPECT_EQ(standard_close.build_smb_conf_for_filing(server, folder), 0);
    EXPECT_EQ(read(kFilingConf), written);
}

}  // namespace
