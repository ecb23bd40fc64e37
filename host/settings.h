// The device settings snapshot (TOML): parsed and validated whole, then
// applied to the host platform's services. The records of the builders
// ([wireless], [dot1x], [krb5_record]) and the arguments run by `all`
// ([smartcard], [filing_request]) are kept here for the tool to hand over.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "host_control.h"

namespace host {

// A settings file that cannot be used; what() names file, line and column.
class SettingsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An absent text field is nullopt (a null pointer in a record); an absent
// number is 0. Numbers are 32-bit values as the fields hold them.
using Text = std::optional<std::string>;

struct SmbAuthService {  // [[smb.auth]]
    Text domain, address, hostname;
};

struct FilingService {  // [[filing]]
    Text server, share;
    std::optional<int32_t> protocol;
    std::optional<uint32_t> port;
};

struct KerberosService {  // [[kerberos]]
    Text realm, kdc, kdc_address, backup_kdc, backup_kdc_address;
    std::optional<uint32_t> kdc_port, backup_kdc_port;
};

struct WirelessRecord {  // [wireless]
    Text ssid, psk, wep_key;
    uint32_t sec_mode = 0;
    int32_t enc_mode = 0;
    int32_t key_is_hex = 0;
};

struct Dot1xRecord {  // [dot1x]
    int32_t interface = 0;
    Text ssid;
    uint32_t sec_mode = 0;
    int32_t enc_mode = 0;
    uint32_t eap_type = 0;
    Text user_name, password, outer_identity, ca_cert, client_cert, private_key, private_key_passwd;
};

struct Krb5Record {  // [krb5_record]
    Text realm, kdc_hostname, kdc_ip_address, backup_kdc_hostname, backup_kdc_ip_address;
    uint32_t kdc_port = 0, backup_kdc_port = 0;
};

struct Smartcard {  // [smartcard]
    std::string realm, kdc;
    uint32_t port = 0;
    bool win2k = false;
};

struct FilingRequest {  // [filing_request]
    std::string server, path;
};

// [state]: set through the library's setters before a command, in this order.
struct State {
    Text new_domain, current_domain, current_hostname, current_address;
    std::optional<uint32_t> auth_service;
    Text new_realm, current_realm, krb_server, krb_address;
    std::optional<uint32_t> krb_auth_service;
    std::map<std::string, std::string> places;  // key -> "FILE:LINE:COL", for messages
};

using ConfigValue = std::variant<bool, int64_t, std::string>;

struct Settings {
    std::string file;  // where it was read from, for messages

    // [network]: absent table: the machine's own; a key left out or "": cannot be had.
    bool has_network = false;
    Text network_address, network_netmask;

    std::optional<bool> fips;                                // [platform] fips
    std::optional<std::map<std::string, std::string>> hosts;  // [platform] hosts

    bool has_smb = false;
    Text smb_method;  // [smb] method
    std::vector<SmbAuthService> smb_auth;
    std::vector<FilingService> filing;
    std::vector<KerberosService> kerberos;
    std::map<int32_t, RawAttr> attributes;  // [attributes], applied last
    std::map<std::string, ConfigValue> config;

    std::optional<State> state;
    std::optional<WirelessRecord> wireless;
    std::optional<Dot1xRecord> dot1x;
    std::optional<Krb5Record> krb5_record;
    std::optional<Smartcard> smartcard;
    std::optional<FilingRequest> filing_request;
};

Settings load_settings_file(const std::string &path);                           // throws SettingsError
Settings load_settings_text(const std::string &text, const std::string &name);  // throws SettingsError

// Loads the settings into the platform services (after host::reset()).
void apply_settings(const Settings &settings);

}  // namespace host
