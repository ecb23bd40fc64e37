// The SMB client configuration used to authenticate users against a domain
// (/etc/smb.conf.auth), and the interfaces entry both SMB files carry.
#include "tavrel/samba_config.h"

#include <arpa/inet.h>
#include <stdio.h>
#include <strings.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "attr_reader.h"
#include "file_output.h"
#include "ip_utils.h"
#include "log.h"
#include "netcfg.h"
#include "stream_text.h"
#include "tavrel/general_utilities.h"
#include "tavrel/samba_data.h"
#include "tavrel/samba_utilities.h"
#include "text.h"

namespace {

constexpr char kLogSource[] = "samba_config";
constexpr char kAuthConfPath[] = "/etc/smb.conf.auth";
constexpr char kBuilderName[] = "build_smb_conf_for_authentication";

constexpr int32_t kSmbMethodAttr = 81;
constexpr std::size_t kMethodSize = 8;
constexpr std::size_t kInterfaceAddressSize = 36;
constexpr std::size_t kPrefixSize = 4;
constexpr std::size_t kNameSize = 256;
constexpr std::size_t kResolvedSize = 64;
// Services 1 to 3 stand in when the domain in force has no service.
constexpr int kFallbackServices = 3;

constexpr std::array<std::string_view, 3> kSmbMethods{"ip", "host", "domain"};
constexpr std::string_view kServerEntries = "\n\tsecurity = server\n\tpassword server = ";

constexpr tavrel::AttrReadMessages kSmbMethodRead = tavrel::checked({
    .source = kLogSource,
    .name = "get_smb_method_from_dstore",
    .type = SVCMON_TYPE_TEXT,
    .mismatch = "%s - Attribute returned (%i) does not equal (%i)",
    .error_type = "%s - Error retrieving SMB Method",
    .invalid_type = "%s - Invalid type returned from SvcMon_GetAttr for authentication",
});

void put(FILE *stream, std::string_view text) { tavrel::put_text(stream, text); }

// A value that would end its smb.conf line early (a control character
// anywhere) or continue it onto the next (a backslash at its end).
bool breaks_smb_line(std::string_view text) {
    return tavrel::has_control(text) || (!text.empty() && text.back() == '\\');
}

bool is_zero_address(std::string_view address) { return address.starts_with(TAVREL_NO_ADDRESS); }

bool current_domain_is_valid() { return ipu_check_domain_name(sm_get_current_domain_name()) != 0; }

// One value of the device's interface, as text; empty when it cannot be had.
bool read_interface_value(uint32_t index, std::span<char> dst) {
    tavrel::clear_text(dst);
    CnPmCfg record{};
    if (cn_get_pm_cfg_by_index(CN_PM_GROUP_INTERFACE, index, &record) == 0) return false;
    record.text[sizeof record.text - 1] = '\0';
    return tavrel::copy_text(dst, record.text);
}

// An address never holds a blank; smbd would strip one at either end (leaving
// an empty entry) and read two addresses where there is one in between.
bool get_interface_ip_address(std::span<char> dst) {
    if (!read_interface_value(CN_PM_INDEX_ADDRESS, dst)) return false;
    const std::string_view address = dst.data();
    if (!breaks_smb_line(address) && address.find(' ') == std::string_view::npos) return true;
    TLOG(logSpecWarn, "%s - Interface address holds a control character, blank or backslash",
         "get_interface_ip_address");
    tavrel::clear_text(dst);
    return false;
}

// Counts from the top bit down to the lowest one-bit, so a contiguous mask
// gives its prefix length.
int prefix_length(in_addr_t mask) {
    uint32_t bits = ntohl(mask);
    int count = 0;
    while (bits != 0) {
        ++count;
        bits <<= 1;
    }
    return count;
}

bool get_netmask_bit_count(std::span<char> dst) {
    char mask[sizeof(CnPmCfg::text)];
    if (!read_interface_value(CN_PM_INDEX_NETMASK, mask)) return false;
    // At most two digits: the prefix length is 0 to 32.
    const int written = snprintf(dst.data(), dst.size(), "%d", static_cast<int>(prefix_length(inet_addr(mask))));
    return written > 0 && static_cast<std::size_t>(written) < dst.size();
}

// The SMB method of attribute 81 into method: "ip", "host" or "domain".
bool get_smb_method_from_dstore(std::span<char> method) {
    const tavrel::AttrRecord record = tavrel::read_attr(kSmbMethodRead, kSmbMethodAttr);
    if (!record) return false;
    const std::string_view text = record.text();
    if (text.empty()) {
        TLOG(logSpecError, "%s - SMB Method is undefined", kSmbMethodRead.name);
        return false;
    }
    if (std::ranges::find(kSmbMethods, text) == kSmbMethods.end()) {
        TLOG(logSpecError, "%s - SMB Method is invalid (%.*s)", kSmbMethodRead.name, static_cast<int>(text.size()),
             text.data());
        return false;
    }
    tavrel::copy_text(method, text);
    TLOG(logSpecLibInfo, "%s - SMB Method is (%s)", kSmbMethodRead.name, method.data());
    return true;
}

// Writes the workgroup entry for the domain in the buffer when a service is
// configured for it, or else for service 1's domain (put into the buffer),
// and records the domain written as current. 0 when nothing was written.
int set_smb_workgroup(FILE *stream, char (&domain)[kNameSize]) {
    if (ipu_check_domain_name(domain) != 0) {
        TLOG(logSpecLibInfo, "Using passed in SMB domain name %s", domain);
        if (sm_get_smb_auth_service_from_domain_name(domain) == 0) {
            TLOG(logSpecWarn, "An unknown SMB domain name %s was passed in", domain);
            TLOG(logSpecWarn, "Problems encountered retrieved SMB domains from Datastore");
            return 0;
        }
    } else if (get_nt_domain_from_dstore(domain, sm_get_smb_auth_domain_from_service(1)) != 1) {
        TLOG(logSpecWarn, "Problems encountered retrieved SMB domains from Datastore");
        return 0;
    }
    if (breaks_smb_line(domain)) {
        TLOG(logSpecWarn, "%s - Domain holds a control character or ends in a backslash", "set_smb_workgroup");
        return 0;
    }
    const int result = sm_set_current_domain_name(domain);
    put(stream, "\n\tworkgroup = ");
    put(stream, domain);
    return result;
}

// The server as its resolved address, or as the name when it does not resolve.
int build_smb_conf_with_hostname(FILE *stream, char (&hostname)[kNameSize], int32_t attr) {
    static constexpr char kName[] = "build_smb_conf_with_hostname";
    if (get_dns_name_from_dstore(hostname, attr) == 0 || hostname[0] == '\0') {
        TLOG(logSpecLibInfo, "%s - Invalid DNS name for entry", kName);
        return 0;
    }
    if (breaks_smb_line(hostname)) {
        TLOG(logSpecWarn, "%s - DNS name holds a control character or ends in a backslash", kName);
        return 0;
    }
    char address[kResolvedSize] = {};
    if (get_ip_from_hostname(hostname, address) != 0) {
        address[kResolvedSize - 1] = '\0';
        if (address[0] != '\0' && !breaks_smb_line(address)) {
            TLOG(logSpecLibInfo, "%s - Converted hostname (%s) to IP (%s)", kName, hostname, address);
            put(stream, address);
            return 1;
        }
    }
    TLOG(logSpecLibInfo, "%s - Failed to get IP address for hostname for (%s),", kName, hostname);
    TLOG(logSpecForceInfo, "Using Hostname over its IP for host (%s)", hostname);
    put(stream, hostname);
    return 1;
}

int build_smb_conf_with_IP_address(FILE *stream, int32_t attr) {
    static constexpr char kName[] = "build_smb_conf_with_IP_address";
    TLOG(logSpecLibInfo, "%s - Flag set for IP address", kName);
    // Room for the longest address the reader accepts (an IPv6 text).
    char address[TAVREL_IP_ADDRESS_SIZE] = {};
    if (get_just_the_ip_address_from_dstore(address, attr) == 0 || address[0] == '\0' || breaks_smb_line(address)) {
        TLOG(logSpecLibInfo, "%s - Invalid IP address for entry ", kName);
        return 0;
    }
    if (is_zero_address(address)) {
        TLOG(logSpecLibInfo, "%s - Zero IP address for entry ", kName);
        return 0;
    }
    put(stream, address);
    return 1;
}

int write_server(FILE *stream, int service, bool by_address) {
    if (by_address) return build_smb_conf_with_IP_address(stream, sm_get_smb_auth_IP_from_service(service));
    char hostname[kNameSize] = {};
    return build_smb_conf_with_hostname(stream, hostname, sm_get_smb_auth_hostname_from_service(service));
}

enum class Outcome {
    complete,       // a password server was written
    kept,           // no server, but the domain in force is sound
    removed,        // nothing usable: no configuration at all
};

// When the domain in force is no good, the domain of the service whose
// server was written follows the password server.
void complete_domain(FILE *stream, int service) {
    if (current_domain_is_valid()) return;
    char domain[kNameSize] = {};
    if (get_nt_domain_from_dstore(domain, sm_get_smb_auth_domain_from_service(service)) != 1) return;
    if (set_smb_workgroup(stream, domain) == 0) TLOG(logSpecForceInfo, "The gathered hostname does not have a domain");
}

bool get_a_default_domain_for_SMB(FILE *stream) {
    for (int service = 1; service <= kFallbackServices; ++service) {
        char domain[kNameSize] = {};
        if (get_nt_domain_from_dstore(domain, sm_get_smb_auth_domain_from_service(service)) != 1) continue;
        if (set_smb_workgroup(stream, domain) == 1) return true;
        TLOG(logSpecLibInfo, "%s invalid domain for entry (%i)", "get_a_default_domain_for_SMB", service);
    }
    return false;
}

// The server of the service configured for the domain in force.
Outcome server_of_service(FILE *stream, int service, bool by_address) {
    TLOG(logSpecLibInfo, "%s - First entry for %s", kBuilderName, by_address ? "IP address" : "hostname");
    put(stream, kServerEntries);
    if (write_server(stream, service, by_address)) return Outcome::complete;
    if (by_address)
        TLOG(logSpecWarn, "The SMB service [%d] does not have an IP address", service);
    else
        TLOG(logSpecWarn, "The SMB service [%d] does not have a hostname", service);
    if (current_domain_is_valid()) return Outcome::kept;
    TLOG(logSpecError, "Domain and hostname setting are incorrect");
    return Outcome::removed;
}

// No service has the domain in force: the first of services 1 to 3 with a server.
Outcome default_server(FILE *stream, bool by_address) {
    const char *step = by_address ? "get_a_default_IP_address_for_SMB" : "get_a_default_hostname_for_SMB";
    for (int service = 1; service <= kFallbackServices; ++service) {
        TLOG(logSpecLibInfo, "%s - First entry for %s", step, by_address ? "IP address" : "hostname");
        put(stream, kServerEntries);
        if (write_server(stream, service, by_address)) {
            complete_domain(stream, service);
            return Outcome::complete;
        }
        TLOG(logSpecLibInfo, "%s invalid hostname for entry (%i)", step, service);
    }
    if (by_address)
        TLOG(logSpecError, "The SMB serivce has no server IP addresses set");
    else
        TLOG(logSpecError, "The SMB serivce has no server hostnames set");
    return Outcome::removed;
}

Outcome write_auth_conf(FILE *stream) {
    put(stream, "\n[global]\n");

    std::array<char, kMethodSize> method{};
    if (!get_smb_method_from_dstore(method)) {
        TLOG(logSpecError, "%s - Failed to get SMB Method", kBuilderName);
        return Outcome::removed;
    }

    char domain[kNameSize] = {};
    (void)tavrel::copy_text(domain, tavrel::view(sm_get_new_domain_name()));
    if (set_smb_workgroup(stream, domain) == 0) {
        TLOG(logSpecForceInfo, "Cannot use LUI passed in domain");
        sm_set_current_domain_name(TAVREL_NO_NAME);
    }
    if (strcasecmp(method.data(), "domain") == 0 && !current_domain_is_valid() &&
        !get_a_default_domain_for_SMB(stream))
        return Outcome::removed;

    const int service = sm_get_smb_auth_service_from_domain_name(sm_get_current_domain_name());

    if (setup_default_interface(stream) == 0) return Outcome::removed;

    char address[kNameSize] = {};
    const bool by_address = get_just_the_ip_address_from_dstore(address, sm_get_smb_auth_IP_from_service(service)) &&
                            !is_zero_address(address);
    if (by_address)
        TLOG(logSpecDebug, "Samba server is defined with an Ipv4 Address: %s", address);
    else
        TLOG(logSpecDebug, "Samba server is not defined with a valid Ipv4 Address");

    return service != 0 ? server_of_service(stream, service, by_address) : default_server(stream, by_address);
}

}  // namespace

extern "C" {

int setup_default_interface(FILE *stream) {
    static constexpr char kName[] = "setup_default_interface";
    if (!stream) {
        TLOG(logSpecError, "%s - No stream to write to", kName);
        return 0;
    }
    std::array<char, kInterfaceAddressSize> address{};
    if (!get_interface_ip_address(address) || address[0] == '\0') {
        TLOG(logSpecError, "%s - Failed to get IP Addr from CCS", kName);
        return 0;
    }
    put(stream, "\n\tinterfaces = ");
    put(stream, address.data());

    std::array<char, kPrefixSize> prefix{};
    if (!get_netmask_bit_count(prefix) || prefix[0] == '\0') {
        TLOG(logSpecError, "%s - Failed to get netmask bit count", kName);
        return 0;
    }
    put(stream, "/");
    put(stream, prefix.data());
    return 1;
}

int build_smb_conf_for_authentication(void) {
    tavrel::OutputFile file(kLogSource, kAuthConfPath);
    FILE *stream = file.open();
    if (!stream) return 0;

    switch (write_auth_conf(stream)) {
    case Outcome::complete:
        put(stream, "\n");
        return file.finish() ? 1 : 0;
    case Outcome::kept:
        // A configuration without a server must not replace a working one.
        file.abandon(tavrel::OnFailure::keep_previous);
        return 0;
    case Outcome::removed:
        break;
    }
    file.abandon(tavrel::OnFailure::remove_target);
    return 0;
}

}  // extern "C"
