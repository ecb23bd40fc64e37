// Settings and expected smb.conf files shared by the builder tests and the
// testparm checker, so that every file the tests pin is also parsed by Samba.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "settings.h"
#include "tavrel/samba_data.h"

namespace smb_scenarios {

// The device at 192.168.1.20/24; only these names resolve.
inline const std::string kDevice = R"(
[network]
address = "192.168.1.20"
netmask = "255.255.255.0"
[platform]
hosts = { "dc1.corp.example" = "192.0.2.11", "dc2.corp.example" = "192.0.2.12", "files.corp.example" = "192.0.2.30" }
)";

inline const std::string kPrevious = "# the previous configuration\n";
inline const std::string kHead = "\n[global]\n";
inline const std::string kInterfaces = "\n\tinterfaces = 192.168.1.20/24";
inline const std::string kServer = "\n\tsecurity = server\n\tpassword server = ";

inline std::string workgroup(const std::string &domain) { return "\n\tworkgroup = " + domain; }

struct AuthScenario {
    std::string name;
    std::string toml;        // after kDevice
    const char *new_domain;  // null: none handed over
    int result;
    std::string file;        // kPrevious: the previous file stays; "": no file remains
    std::string logged;      // one telling "LEVEL message" line
    bool has_interface_address = true;
};
inline void PrintTo(const AuthScenario &s, std::ostream *os) { *os << s.name; }

inline const std::string kTwoDomains = R"(
[[smb.auth]]
domain = "CORP"
address = "192.0.2.10"
hostname = "dc1.corp.example"
[[smb.auth]]
domain = "SALES"
address = "192.0.2.20"
)";

inline std::vector<AuthScenario> auth_scenarios() {
    return {
        {"UserDomainOfService2", "[smb]\nmethod = \"domain\"\n" + kTwoDomains, "sales", 1,
         kHead + workgroup("sales") + kInterfaces + kServer + "192.0.2.20\n",
         "LIBINFO Using passed in SMB domain name sales"},
        {"NoUserDomainTakesService1", "[smb]\nmethod = \"domain\"\n" + kTwoDomains, nullptr, 1,
         kHead + workgroup("CORP") + kInterfaces + kServer + "192.0.2.10\n",
         "DEBUG Samba server is defined with an Ipv4 Address: 192.0.2.10"},
        {"UnconfiguredDomainTriesServices1To3", R"([smb]
method = "domain"
[[smb.auth]]
address = "192.0.2.10"
[[smb.auth]]
domain = "bad domain"
[[smb.auth]]
domain = "SALES"
address = "192.0.2.30"
)",
         "OTHER", 1, kHead + workgroup("SALES") + kInterfaces + kServer + "192.0.2.30\n",
         "LIBINFO get_a_default_domain_for_SMB invalid domain for entry (2)"},
        {"HostMethodAppendsServerDomain", "[smb]\nmethod = \"host\"\n" + kTwoDomains, "OTHER", 1,
         kHead + kInterfaces + kServer + "192.0.2.10" + workgroup("CORP") + "\n",
         "WARN An unknown SMB domain name OTHER was passed in"},
        {"IpMethodAppendsServerDomain", "[smb]\nmethod = \"ip\"\n" + kTwoDomains, "OTHER", 1,
         kHead + kInterfaces + kServer + "192.0.2.10" + workgroup("CORP") + "\n",
         "FORCEINFO Cannot use LUI passed in domain"},
        {"ZeroAddressFallsToHostname",
         "[smb]\nmethod = \"domain\"\n[[smb.auth]]\ndomain = \"CORP\"\naddress = \"0.0.0.0\"\nhostname = "
         "\"dc1.corp.example\"\n",
         "CORP", 1, kHead + workgroup("CORP") + kInterfaces + kServer + "192.0.2.11\n",
         "LIBINFO build_smb_conf_with_hostname - Converted hostname (dc1.corp.example) to IP (192.0.2.11)"},
        {"UnresolvableHostnameWrittenAsName",
         "[smb]\nmethod = \"domain\"\n[[smb.auth]]\ndomain = \"CORP\"\nhostname = \"dc9.corp.example\"\n", "CORP", 1,
         kHead + workgroup("CORP") + kInterfaces + kServer + "dc9.corp.example\n",
         "FORCEINFO Using Hostname over its IP for host (dc9.corp.example)"},
        {"FirstDefaultWithoutServerLeavesEmptyPair", R"([smb]
method = "host"
[[smb.auth]]
domain = "CORP"
[[smb.auth]]
domain = "SALES"
hostname = "dc2.corp.example"
)",
         "OTHER", 1, kHead + kInterfaces + kServer + kServer + "192.0.2.12" + workgroup("SALES") + "\n",
         "LIBINFO get_a_default_hostname_for_SMB invalid hostname for entry (1)"},
        {"CapitalisedMethodIsInvalid", "[smb]\nmethod = \"Domain\"\n" + kTwoDomains, "CORP", 0, "",
         "ERROR build_smb_conf_for_authentication - Failed to get SMB Method"},
        {"InterfaceFailureRemovesFile", "[smb]\nmethod = \"domain\"\n" + kTwoDomains, "CORP", 0, "",
         "ERROR setup_default_interface - Failed to get IP Addr from CCS", false},
        {"ServiceWithoutServerKeepsPrevious", "[smb]\nmethod = \"domain\"\n[[smb.auth]]\ndomain = \"CORP\"\n", "CORP", 0,
         kPrevious, "WARN The SMB service [1] does not have a hostname"},
        {"InvalidDomainWithoutServerRemovesFile", "[smb]\nmethod = \"host\"\n[[smb.auth]]\ndomain = \"bad domain\"\n",
         nullptr, 0, "", "ERROR Domain and hostname setting are incorrect"},
        {"NoDefaultServerRemovesFile", "[smb]\nmethod = \"ip\"\n[[smb.auth]]\ndomain = \"CORP\"\n", "OTHER", 0, "",
         "ERROR The SMB serivce has no server hostnames set"},
        {"NoDefaultDomainRemovesFile", "[smb]\nmethod = \"domain\"\n", "OTHER", 0, "",
         "FORCEINFO Cannot use LUI passed in domain"},
    };
}

// Loads the scenario's settings and hands over its domain.
inline void prepare(const AuthScenario &s) {
    host::apply_settings(host::load_settings_text(kDevice + s.toml, s.name));
    if (!s.has_interface_address) host::network_set(std::nullopt, "255.255.255.0");
    if (s.new_domain) sm_set_new_domain_name(s.new_domain);
}

struct FilingScenario {
    std::string name;
    std::string toml;  // after kDevice
    std::string server, path;
    std::string file;
};
inline void PrintTo(const FilingScenario &s, std::ostream *os) { *os << s.name; }

inline std::string filing_file(const std::string &server, const std::string &path, const char *ntlmv2 = "no") {
    return "\n[global]\n\n\tunix charset = UTF-8\n\tdisplay charset = UTF-8\n" + kInterfaces +
           "\n\tdefault service = " + server + "\n\tpath = " + path + "\n\tclient ntlmv2 auth = " + ntlmv2 + "\n";
}

inline std::vector<FilingScenario> filing_scenarios() {
    const std::string resolve = "[config]\n\"services[scan2file].resolveHostname\" = ";
    const std::string ntlmv2 = "\n\"services[scan2file].SMBSecurity.NTLMv2Only\" = ";
    return {
        {"AddressAndBackslashes", "", "10.1.2.3", "scans\\dept", filing_file("10.1.2.3", "/scans/dept")},
        {"PathStartingWithSlash", "", "10.1.2.3", "/scans", filing_file("10.1.2.3", "/scans")},
        {"TrailingBackslashBecomesSlash", "", "10.1.2.3", "scans\\", filing_file("10.1.2.3", "/scans/")},
        {"NameResolved", resolve + "true", "files.corp.example", "scans", filing_file("192.0.2.30", "/scans")},
        {"ResolvingOff", resolve + "false", "files.corp.example", "scans", filing_file("files.corp.example", "/scans")},
        {"Unresolvable", "", "nas9", "scans", filing_file("nas9", "/scans")},
        {"Ntlmv2On", resolve + "true" + ntlmv2 + "true", "10.1.2.3", "s", filing_file("10.1.2.3", "/s", "yes")},
        {"Ntlmv2Off", resolve + "true" + ntlmv2 + "false", "10.1.2.3", "s", filing_file("10.1.2.3", "/s")},
        {"Ntlmv2Unreadable", resolve + "true" + ntlmv2 + "\"yes\"", "10.1.2.3", "s", filing_file("10.1.2.3", "/s")},
    };
}

}  // namespace smb_scenarios
