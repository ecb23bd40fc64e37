// /etc/krb5.conf: from the stored settings of the nine Kerberos services
// (build_krb5_conf), or from what a caller gives: a whole settings record, a
// realm alone, or a realm with the stored KDCs of one service.
#include "tavrel/kerberos_config.h"

#include <stdlib.h>

#include <algorithm>
#include <array>
#include <span>
#include <string_view>

#include "file_output.h"
#include "fips.h"
#include "ip_utils.h"
#include "krb5_token.h"
#include "stream_text.h"
#include "log.h"
#include "tavrel/general_utilities.h"
#include "tavrel/kerberos_data.h"
#include "tavrel/kerberos_utilities.h"
#include "tavrel/samba_data.h"
#include "text.h"

namespace {

constexpr char kLogSource[] = "kerberos_config";
constexpr char kKrb5Conf[] = "/etc/krb5.conf";
constexpr char kEnctypes[] =
    "aes256-cts-hmac-sha1-96 aes128-cts-hmac-sha1-96 des3-cbc-sha1-kd des3-cbc-sha1";
constexpr std::size_t kMaxRealm = TAVREL_REALM_SIZE - 1;
// A KDC host name with ":" and up to five port digits.
constexpr std::size_t kHostTextSize = TAVREL_DNS_NAME_SIZE + 6;

using tavrel::OnFailure;
using tavrel::OutputFile;

using tavrel::Krb5Token;

bool is_kdc_token(const char *text) { return tavrel::is_krb5_token(tavrel::view(text), Krb5Token::kdc); }

// A realm we are willing to write: the platform's realm check, and nothing
// that could break the file, within the realm capacity.
bool usable_realm(const char *realm) {
    const std::size_t length = tavrel::bounded_length(realm, kMaxRealm);
    return realm && length <= kMaxRealm && tavrel::is_krb5_token(std::string_view(realm, length), Krb5Token::realm) &&
           ipu_check_realm(realm) != 0;
}

const char *printable(const char *text) { return text ? text : "(null)"; }

// Writes the realm entry header once; the flag says whether it is written.
int open_realm_entry(FILE *file, char *realm, int open) {
    if (open != 0) return open;
    upcase(realm);
    tavrel::put_texts(file, {"\t", realm, " = {"});
    return 1;
}

int close_realm_entry(FILE *file, int open) {
    if (open != 1) return open;
    tavrel::put_text(file, "\n\t}\n\n");
    return 0;
}

void write_kdc_line(FILE *file, char *realm, int &open, const char *kdc) {
    open = open_realm_entry(file, realm, open);
    tavrel::put_texts(file, {"\n\t\tkdc = ", kdc});
}

// Replaces an IPv6 address text by its bracketed form when the platform gives one.
void bracket_ipv6(std::span<char> address) {
    char *bracketed = ipu_put_brackets_around_ipv6_address(address.data());
    if (!bracketed) return;
    std::fill(address.begin(), address.end(), '\0');
    tavrel::copy_text(address, tavrel::view(bracketed));
    free(bracketed);
}

// The differences between writing the KDCs of a service during
// build_krb5_conf's pass and for a caller's realm (build_a_realm_entry).
struct EntryStyle {
    const int *failure_level;  // the level handle, read when logging
    bool address_debug;        // debug records about the primary KDC's address
};
constexpr EntryStyle kPassStyle{&logSpecInfo, true};
constexpr EntryStyle kCallerRealmStyle{&logSpecWarn, false};

struct KdcRole {
    const char *label;  // "" or "backup ", as the messages name the KDC
    int (*hostname_attr)(int service);
    int (*ip_address_attr)(int service);
    bool backup;
};
constexpr std::array<KdcRole, 2> kKdcRoles = {{
    {"", sm_get_krb_auth_hostname_from_service, sm_get_krb_auth_ip_address_from_service, false},
    {"backup ", sm_get_krb_auth_backup_hostname_from_service, sm_get_krb_auth_backup_ip_address_from_service,
     true},
}};

// The KDC address text for a host name: the resolved address (IPv6 in
// brackets) or, when it does not resolve, the name itself; then ":" and the
// port. Points into host or address.
const char *kdc_text_from_hostname(std::span<char> host, const char *port, std::span<char> address, bool debug) {
    tavrel::clear_text(address);
    if (get_ip_from_hostname(host.data(), address.data()) == 0 || address[0] == '\0' || !is_kdc_token(address.data())) {
        if (debug) TLOG(logSpecDebug, "Unable to get valid IP, using hostname instead");
        tavrel::append_text(host, ":");
        tavrel::append_text(host, port);
        return host.data();
    }
    if (debug) TLOG(logSpecDebug, "Valid IP address retrieved");
    if (ipu_is_this_an_IPv6_address(address.data()) == 1) {
        bracket_ipv6(address);
        if (debug) TLOG(logSpecDebug, "New IPv6 address is [%s]", address.data());
    }
    tavrel::append_text(address, ":");
    tavrel::append_text(address, port);
    return address.data();
}

// One KDC line of a service: by host name when one is stored, else by the
// stored address with its port. A backup without an address is no failure and
// writes nothing.
bool write_kdc(FILE *file, int service, char *realm, int &open, const KdcRole &role, const EntryStyle &style) {
    const int level = *style.failure_level;
    std::array<char, kHostTextSize> host{};
    if (get_dns_name_from_dstore(host.data(), role.hostname_attr(service)) != 1 || !is_kdc_token(host.data())) {
        TLOG(level, "Could not retrieve %shostname for service ID [%d]", role.label, service);
        return false;
    }
    std::array<char, TAVREL_IP_ADDRESS_PORT_SIZE> address{};
    if (host[0] != '\0') {
        std::array<char, TAVREL_PORT_TEXT_SIZE> port{};
        if (get_port_from_dstore(port.data(), role.ip_address_attr(service)) == 0) {
            TLOG(level, "Unable to get hostname port from datastore for service [%d]", service);
            return false;
        }
        const bool debug = style.address_debug && !role.backup;
        write_kdc_line(file, realm, open, kdc_text_from_hostname(host, port.data(), address, debug));
        return true;
    }
    if (get_ip_address_from_dstore(address.data(), role.ip_address_attr(service)) == 0 || address[0] == '\0' ||
        !is_kdc_token(address.data())) {
        TLOG(level, "Could not retrieve %sIP address for service ID [%d]", role.label, service);
        return false;
    }
    const std::string_view text(address.data());
    if (role.backup && (text.starts_with(TAVREL_NO_ADDRESS) || text == "[::]:88")) return true;
    write_kdc_line(file, realm, open, address.data());
    return true;
}

// The realm entry of one service with its KDC and backup KDC. A failure after
// the KDC line still closes the entry, so the file stays well formed.
bool write_realm_kdcs(FILE *file, int service, char *realm, const EntryStyle &style) {
    int open = 0;
    for (const KdcRole &role : kKdcRoles) {
        if (!write_kdc(file, service, realm, open, role, style)) {
            close_realm_entry(file, open);
            return false;
        }
    }
    close_realm_entry(file, open);
    return true;
}

int build_a_realm_entry(FILE *file, int service, char *realm) {
    if (!file) {
        TLOG(logSpecWarn, "Null File Pointer Passed in");
        return 0;
    }
    return write_realm_kdcs(file, service, realm, kCallerRealmStyle) ? 1 : 0;
}

// One service's entry in build_krb5_conf; an unconfigured service fails here.
bool build_a_realms_info(FILE *file, int service) {
    TLOG_ENTER("build_a_realms_info");
    std::array<char, TAVREL_REALM_SIZE> realm{};
    bool written = false;
    if (get_realm_from_dstore(realm.data(), sm_get_krb_auth_realm_from_service(service)) == 0)
        TLOG(logSpecWarn, "Unable to get realm  from datastore for service [%d]", service);
    else if (!usable_realm(realm.data()))
        TLOG(logSpecInfo, "Realm [%d] is not set in datastore", service);
    else
        written = write_realm_kdcs(file, service, realm.data(), kPassStyle);
    TLOG_RETURN("build_a_realms_info");
    return written;
}

// The first valid realm of services 1 to 3.
bool get_a_default_domain_for_Kerberos(std::span<char> realm) {
    for (int service = 1; service <= 3; ++service) {
        if (get_realm_from_dstore(realm.data(), sm_get_krb_auth_realm_from_service(service)) == 0) continue;
        if (usable_realm(realm.data())) return true;
        TLOG(logSpecLibInfo, "%s invalid Kerberos realm for entry (%i)", "get_a_default_domain_for_Kerberos",
             service);
    }
    return false;
}

// A candidate realm (none is passed in today: the no-name marker never
// passes the realm check) must belong to a configured service; otherwise the
// stored services give the default realm.
bool choose_default_realm(std::span<char> realm) {
    if (!usable_realm(realm.data())) return get_a_default_domain_for_Kerberos(realm);
    TLOG(logSpecLibInfo, "Using passed in Kerberos default realm [%s]", realm.data());
    if (sm_get_krb_auth_service_from_realm_name(realm.data()) != 0) return true;
    TLOG(logSpecWarn, "An unknown Kerberos realm [%s] was passed in", realm.data());
    return false;
}

// What the three caller-driven builders write before their realm entry. The
// default realm is written as its entry's header is, in capitals: a realm
// given in lower case would otherwise name no [realms] entry, and the
// Kerberos library could find no KDC for it.
void write_caller_start(FILE *file, const char *realm) {
    sm_set_current_realm_name(TAVREL_NO_NAME);
    std::array<char, TAVREL_REALM_SIZE> upper{};
    tavrel::copy_text(upper, tavrel::view(realm));
    upcase(upper.data());
    tavrel::put_text(file, "[libdefaults]\n");
    cf_write_out_kerberos_encrypt_types(file);
    tavrel::put_texts(file, {"\tdefault_realm = ", upper.data(), "\n\n[realms]\n"});
}

// Puts the file in place; a failure is logged by the helper, with the line
// of the builder's call.
int finish(OutputFile &out, int line = __builtin_LINE()) { return out.finish(line) ? 1 : 0; }

// Opens /etc/krb5.conf for a builder, logging under its name when it cannot.
FILE *open_krb5_conf(OutputFile &out, const char *builder) {
    FILE *file = out.open();
    if (!file) TLOG(logSpecError, "%s - Error opening file %s", builder, kKrb5Conf);
    return file;
}

// A bare IPv6 address gets brackets, so that a port after it stays readable.
void bracket_if_ipv6(std::span<char> address) {
    if (ipu_is_this_an_IPv6_address(address.data()) == 1) bracket_ipv6(address);
}

// The primary or backup KDC line of a caller's record: its address wins over
// its host name, which is resolved when it can be. False when neither is given.
bool write_record_kdc(FILE *file, char *realm, int &open, const char *ip_address, const char *hostname,
                      int32_t port) {
    std::array<char, TAVREL_IP_ADDRESS_PORT_SIZE> address{};
    const char *kdc = address.data();
    if (ip_address[0] != '\0') {
        tavrel::copy_text(address, ip_address);
    } else if (hostname[0] == '\0') {
        return false;
    } else if (get_ip_from_hostname(hostname, address.data()) == 0 || address[0] == '\0' ||
               !is_kdc_token(address.data())) {
        kdc = hostname;
    }
    if (kdc == address.data()) bracket_if_ipv6(address);
    write_kdc_line(file, realm, open, kdc);
    write_out_port_value(file, static_cast<uint32_t>(port));
    return true;
}

struct RecordField {
    const char *name;
    const char *text;
    std::size_t size;
    Krb5Token kind;
};

// A record whose text fields all end inside their arrays and hold nothing
// that could break the file; logs the first field that does not.
bool record_is_sound(const krb_server_settings &s) {
    const std::array<RecordField, 5> fields = {{
        {"realm", s.realm, sizeof s.realm, Krb5Token::realm},
        {"kdc_hostname", s.kdc_hostname, sizeof s.kdc_hostname, Krb5Token::kdc},
        {"kdc_ip_address", s.kdc_ip_address, sizeof s.kdc_ip_address, Krb5Token::kdc},
        {"backup_kdc_hostname", s.backup_kdc_hostname, sizeof s.backup_kdc_hostname, Krb5Token::kdc},
        {"backup_kdc_ip_address", s.backup_kdc_ip_address, sizeof s.backup_kdc_ip_address, Krb5Token::kdc},
    }};
    for (const RecordField &f : fields) {
        const std::size_t length = tavrel::bounded_length(f.text, f.size - 1);
        if (length >= f.size) {
            TLOG(logSpecError, "%s - Kerberos setting %s is not terminated within its %zu bytes",
                 "cf_build_krb_conf_with_XML_data", f.name, f.size);
            return false;
        }
        if (!tavrel::is_krb5_token(std::string_view(f.text, length), f.kind)) {
            TLOG(logSpecError, "%s - Kerberos setting %s holds a blank, control or reserved character",
                 "cf_build_krb_conf_with_XML_data", f.name);
            return false;
        }
    }
    return true;
}

int build_from_record(krb_server_settings *settings) {
    constexpr char kName[] = "cf_build_krb_conf_with_XML_data";
    if (!settings) {
        TLOG(logSpecError, "No Kerberos Settings for config file!");
        return 0;
    }
    if (!record_is_sound(*settings)) return 0;
    if (!usable_realm(settings->realm)) {
        TLOG(logSpecError, "Realm [%s] is not a qualified realm", settings->realm);
        return 0;
    }
    OutputFile out(kLogSource, kKrb5Conf);
    FILE *file = open_krb5_conf(out, kName);
    if (!file) return 0;
    write_caller_start(file, settings->realm);
    int open = 0;
    if (!write_record_kdc(file, settings->realm, open, settings->kdc_ip_address, settings->kdc_hostname,
                          settings->kdc_port)) {
        TLOG(logSpecWarn, "Could not write out hostname for kerberos config file");
        out.abandon(OnFailure::keep_previous);
        return 0;
    }
    if (!write_record_kdc(file, settings->realm, open, settings->backup_kdc_ip_address,
                          settings->backup_kdc_hostname, settings->backup_kdc_port))
        TLOG(logSpecInfo, "Could not set backup hostname for krb config file");
    close_realm_entry(file, open);
    return finish(out);
}

int build_with_service(char *realm, int service) {
    constexpr char kName[] = "cf_build_krb_conf_file_with_this";
    if (service < 1 || service > 9) {
        TLOG(logSpecError, "Server Setting [%d] is not in range", service);
        return 0;
    }
    if (!usable_realm(realm)) {
        TLOG(logSpecError, "Realm [%s] is not a qualified realm", printable(realm));
        return 0;
    }
    OutputFile out(kLogSource, kKrb5Conf);
    FILE *file = open_krb5_conf(out, kName);
    if (!file) return 0;
    write_caller_start(file, realm);
    if (build_a_realm_entry(file, service, realm) == 0) {
        TLOG(logSpecWarn, "Server Settings [%d] are unusable", service);
        out.abandon(OnFailure::remove_target);
        return 0;
    }
    return finish(out);
}

}  // namespace

extern "C" {

int cf_write_out_kerberos_encrypt_types(FILE *file) {
    TLOG_ENTER("cf_write_out_kerberos_encrypt_types");
    const bool write = file && getFIPSstatus() == 0;
    if (write)
        tavrel::put_texts(file, {"\tdefault_tkt_enctypes = ", kEnctypes, "\n\tdefault_tgs_enctypes = ", kEnctypes, "\n"});
    TLOG_RETURN("cf_write_out_kerberos_encrypt_types");
    return write ? 1 : 0;
}

int build_krb5_conf(void) {
    constexpr char kName[] = "build_krb5_conf";
    TLOG_ENTER(kName);
    std::array<char, TAVREL_REALM_SIZE> default_realm{};
    tavrel::copy_text(default_realm, TAVREL_NO_NAME);
    OutputFile out(kLogSource, kKrb5Conf);
    FILE *file = open_krb5_conf(out, kName);
    if (!file) {
        TLOG_RETURN(kName);
        return 0;
    }
    int outcome = 0;
    if (choose_default_realm(default_realm)) {
        outcome = sm_set_current_realm_name(default_realm.data());
        tavrel::put_text(file, "[libdefaults]\n");
        cf_write_out_kerberos_encrypt_types(file);
        tavrel::put_texts(file, {"\tdefault_realm = ", default_realm.data()});
    } else {
        TLOG(logSpecWarn, "Problems encountered retrieved Kerberos default realm from Datastore");
    }
    if (outcome == 0) {
        TLOG(logSpecError, "Could not set the default Kerberos realm");
        out.abandon(OnFailure::remove_target);
        TLOG_RETURN(kName);
        return 0;
    }
    tavrel::put_text(file, "\n\n[realms]\n");
    int failures = 1;
    for (int service = 1; service <= 9; ++service)
        if (!build_a_realms_info(file, service)) ++failures;
    if (failures > 9) {
        TLOG(logSpecError, "All realms for Kerberos are set incorrectly");
        out.abandon(OnFailure::remove_target);
        TLOG_RETURN(kName);
        return 0;
    }
    if (failures > 1) TLOG(logSpecInfo, "Some Failures [%d] where detected when building krb.conf", failures - 1);
    const int result = finish(out);
    TLOG_RETURN(kName);
    return result;
}

int cf_build_krb_conf_with_XML_data(krb_server_settings *settings) {
    constexpr char kName[] = "cf_build_krb_conf_with_XML_data";
    TLOG_ENTER(kName);
    const int result = build_from_record(settings);
    TLOG_RETURN(kName);
    return result;
}

int cf_build_krb_config_file_with_realm_only(char *realm) {
    if (!usable_realm(realm)) {
        TLOG(logSpecError, "Realm [%s] is not a qualified realm", printable(realm));
        TLOG_RETURN("cf_build_krb_config_file_with_realm_only");
        return 0;
    }
    OutputFile out(kLogSource, kKrb5Conf);
    FILE *file = out.open();
    if (!file) return 0;
    write_caller_start(file, realm);
    std::array<char, TAVREL_IP_ADDRESS_PORT_SIZE> kdc{};
    if (get_ip_from_hostname(realm, kdc.data()) == 0 || kdc[0] == '\0' || !is_kdc_token(kdc.data())) {
        TLOG(logSpecWarn, "Unable to get ip address for realm [%s]", realm);
        out.abandon(OnFailure::remove_target);
        return 0;
    }
    bracket_if_ipv6(kdc);
    tavrel::append_text(kdc, ":");
    std::array<char, TAVREL_PORT_TEXT_SIZE> port{};
    if (get_port_from_dstore(port.data(), sm_get_krb_auth_ip_address_from_service(1)) != 0) {
        tavrel::append_text(kdc, port.data());
    } else {
        TLOG(logSpecLibInfo, "Port Value For Kerberos Server Not available, using [%s]", "88");
        tavrel::append_text(kdc, "88");
    }
    int open = 0;
    write_kdc_line(file, realm, open, kdc.data());
    TLOG(logSpecLibInfo, "Kerberos Configuration Setup Successful");
    close_realm_entry(file, open);
    return finish(out);
}

int cf_build_krb_conf_file_with_this(char *realm, int service) {
    constexpr char kName[] = "cf_build_krb_conf_file_with_this";
    TLOG_ENTER(kName);
    const int result = build_with_service(realm, service);
    TLOG_RETURN(kName);
    return result;
}

}  // extern "C"
