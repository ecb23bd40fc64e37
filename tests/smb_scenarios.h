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
inline const std::string kDevice = R"([network]
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

// One SMB authentication service; null leaves the attribute unset.
struct Auth {
    const char *domain, *address, *hostname;
};

inline std::string auth_settings(const std::string &method, const std::vector<Auth> &services) {
    std::string toml = kDevice + "[smb]\nmethod = \"" + method + "\"\n";
    for (const Auth &a : services) {
        toml += "[[smb.auth]]\n";
        if (a.domain) toml += "domain = \"" + std::string(a.domain) + "\"\n";
        if (a.address) toml += "address = \"" + std::string(a.address) + "\"\n";
        if (a.hostname) toml += "hostname = \"" + std::string(a.hostname) + "\"\n";
    }
    return toml;
}

struct AuthScenario {
    std::string name, method;
    std::vector<Auth> services;
    const char *new_domain;  // null: none handed over
    int result;
    std::string file;        // kPrevious: the previous file stays; "": no file remains
    std::string logged;      // one telling "LEVEL message" line
    bool has_interface_address = true;
};
inline void PrintTo(const AuthScenario &s, std::ostream *os) { *os << s.name; }

inline const std::vector<Auth> kTwo = {{"CORP", "192.0.2.10", "dc1.corp.example"}, {"SALES", "192.0.2.20", nullptr}};

inline std::vector<AuthScenario> auth_scenarios() {
    const std::string start = kHead + workgroup("CORP") + kInterfaces + kServer;
    return {
        {"UserDomainOfService2", "domain", kTwo, "sales", 1, kHead + workgroup("sales") + kInterfaces + kServer +
         "192.0.2.20\n", "LIBINFO Using passed in SMB domain name sales"},
        {"NoUserDomainTakesService1", "domain", kTwo, nullptr, 1, start + "192.0.2.10\n",
         "DEBUG Samba server is defined with an Ipv4 Address: 192.0.2.10"},
        {"UnconfiguredDomainTriesServices1To3", "domain",
         {{nullptr, "192.0.2.10", nullptr}, {"bad domain", nullptr, nullptr}, {"SALES", "192.0.2.30", nullptr}}, "OTHER",
         1, kHead + workgroup("SALES") + kInterfaces + kServer + "192.0.2.30\n",
         "LIBINFO get_a_default_domain_for_SMB invalid domain for entry (2)"},
        {"HostMethodAppendsServerDomain", "host", kTwo, "OTHER", 1,
         kHead + kInterfaces + kServer + "192.0.2.10" + workgroup("CORP") + "\n",
         "WARN An unknown SMB domain name OTHER was passed in"},
        {"IpMethodAppendsServerDomain", "ip", kTwo, "OTHER", 1,
         kHead + kInterfaces + kServer + "192.0.2.10" + workgroup("CORP") + "\n",
         "FORCEINFO Cannot use LUI passed in domain"},
        {"ZeroAddressFallsToHostname", "domain", {{"CORP", "0.0.0.0", "dc1.corp.example"}}, "CORP", 1,
         start + "192.0.2.11\n",
         "LIBINFO build_smb_conf_with_hostname - Converted hostname (dc1.corp.example) to IP (192.0.2.11)"},
        {"UnresolvableHostnameWrittenAsName", "domain", {{"CORP", nullptr, "dc9.corp.example"}}, "CORP", 1,
         start + "dc9.corp.example\n", "FORCEINFO Using Hostname over its IP for host (dc9.corp.example)"},
        {"FirstDefaultWithoutServerLeavesEmptyPair", "host",
         {{"CORP", nullptr, nullptr}, {"SALES", nullptr, "dc2.corp.example"}}, "OTHER", 1,
         kHead + kInterfaces + kServer + kServer + "192.0.2.12" + workgroup("SALES") + "\n",
         "LIBINFO get_a_default_hostname_for_SMB invalid hostname for entry (1)"},
        {"CapitalisedMethodIsInvalid", "Domain", kTwo, "CORP", 0, "",
         "ERROR build_smb_conf_for_authentication - Failed to get SMB Method"},
        {"InterfaceFailureRemovesFile", "domain", kTwo, "CORP", 0, "",
         "ERROR setup_default_interface - Failed to get IP Addr from CCS", false},
        {"ServiceWithoutServerKeepsPrevious", "domain", {{"CORP", nullptr, nullptr}}, "CORP", 0, kPrevious,
         "WARN The SMB service [1] does not have a hostname"},
        {"InvalidDomainWithoutServerRemovesFile", "host", {{"bad domain", nullptr, nullptr}}, nullptr, 0, "",
         "ERROR Domain and hostname setting are incorrect"},
        {"NoDefaultServerRemovesFile", "ip", {{"CORP", nullptr, nullptr}}, "OTHER", 0, "",
         "ERROR The SMB serivce has no server hostnames set"},
        {"NoDefaultDomainRemovesFile", "domain", {}, "OTHER", 0, "", "FORCEINFO Cannot use LUI passed in domain"},
    };
}

// Loads the scenario's settings and hands over its domain.
inline void prepare(const AuthScenario &s) {
    host::apply_settings(host::load_settings_text(auth_settings(s.method, s.services), s.name));
    if (!s.has_interface_address) host::network_set(std::nullopt, "255.255.255.0");
    if (s.new_domain) sm_set_new_domain_name(s.new_domain);
}

struct FilingScenario {
    std::string name;
    const char *resolve, *ntlmv2;  // config-server values as TOML; null: the key is absent
    std::string server, path;
    std::string written_server, written_path, ntlmv2_value;
    std::string settings() const {
        std::string toml = kDevice + "[config]\n";
        if (resolve) toml += "\"services[scan2file].resolveHostname\" = " + std::string(resolve) + "\n";
        if (ntlmv2) toml += "\"services[scan2file].SMBSecurity.NTLMv2Only\" = " + std::string(ntlmv2) + "\n";
        return toml;
    }
    std::string file() const {
        return "\n[global]\n\n\tunix charset = UTF-8\n\tdisplay charset = UTF-8\n" + kInterfaces +
               "\n\tdefault service = " + written_server + "\n\tpath = " + written_path +
               "\n\tclient ntlmv2 auth = " + ntlmv2_value + "\n";
    }
};
inline void PrintTo(const FilingScenario &s, std::ostream *os) { *os << s.name; }

inline std::vector<FilingScenario> filing_scenarios() {
    return {
        {"AddressAndBackslashes", "true", nullptr, "10.1.2.3", "scans\\dept", "10.1.2.3", "/scans/dept", "no"},
        {"PathStartingWithSlash", "true", nullptr, "10.1.2.3", "/scans", "10.1.2.3", "/scans", "no"},
        {"TrailingBackslashBecomesSlash", "true", nullptr, "10.1.2.3", "scans\\", "10.1.2.3", "/scans/", "no"},
        {"NameResolved", nullptr, nullptr, "files.corp.example", "s", "192.0.2.30", "/s", "no"},
        {"ResolvingOff", "false", nullptr, "files.corp.example", "s", "files.corp.example", "/s", "no"},
        {"Unresolvable", "true", nullptr, "nas9", "s", "nas9", "/s", "no"},
        {"Ntlmv2On", "true", "true", "10.1.2.3", "s", "10.1.2.3", "/s", "yes"},
        {"Ntlmv2Off", "true", "false", "10.1.2.3", "s", "10.1.2.3", "/s", "no"},
        {"Ntlmv2Unreadable", "true", "\"yes\"", "10.1.2.3", "s", "10.1.2.3", "/s", "no"},
    };
}

}  // namespace smb_scenarios
