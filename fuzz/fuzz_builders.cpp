// Every builder end to end from fuzzed settings, into a private root: the
// platform's stored services, config keys, hosts and network, and the
// caller's record or arguments, all from the input. After each build the
// invariants hold: the file keeps its structure whatever the values, a failed
// build leaves the previous file and no temporary one, secrets stay out of
// the log and the library's memory and are written 0600, every service
// record is returned.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "host_control.h"
#include "library_memory.h"
#include "settings.h"
#include "tavrel/8021x_config.h"
#include "tavrel/SambaConfig.h"
#include "tavrel/kerberos_CAC_config.h"
#include "tavrel/kerberos_config.h"
#include "tavrel/pam_config.h"
#include "tavrel/samba_config.h"

namespace {

using fuzz::Format;
using fuzz::Target;

// Values that lead somewhere, mixed with the input's own bytes: names the
// hosts table resolves, addresses of both kinds, realms, paths.
constexpr const char *kPlausible[] = {"CORP.EXAMPLE", "corp.example", "kdc1.corp.example", "files.corp.example",
                                      "192.0.2.10",   "fe80::1",      "2001:db8::5",       "",
                                      "scans\\dept",  "SCAN$",        "/etc/certs/ca.pem", "0123456789abcdef0123456789",
                                      "staple battery horse"};

struct Input {
    FuzzedDataProvider &in;
    std::vector<std::string> secrets;
    std::vector<std::string> drawn;  // every text drawn; a secret's are only a part of it

    std::string text() {
        drawn.push_back(in.ConsumeBool()
                            ? kPlausible[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kPlausible) - 1)]
                            : in.ConsumeRandomLengthString(80));
        return drawn.back();
    }
    host::Text optional_text() { return in.ConsumeBool() ? host::Text(text()) : std::nullopt; }
    // A secret carries markers no record has by chance, so that finding it
    // in the log means the value itself was logged.
    const char *secret(std::string &storage) {
        storage = "Zq9" + text() + "Xk7";
        secrets.push_back(storage);
        return storage.c_str();
    }
    const char *maybe(std::string &storage) {
        if (in.ConsumeIntegralInRange<int>(0, 7) == 0) return nullptr;
        storage = text();
        return storage.c_str();
    }
};

host::Settings settings_from(Input &input) {
    FuzzedDataProvider &in = input.in;
    host::Settings s;
    s.has_network = in.ConsumeBool();
    if (s.has_network) {
        s.network_address = in.ConsumeBool() ? host::Text("192.168.1.20") : input.optional_text();
        s.network_netmask = in.ConsumeBool() ? host::Text("255.255.255.0") : input.optional_text();
    }
    s.fips = in.ConsumeBool();
    std::map<std::string, std::string> hosts{{"kdc1.corp.example", "192.0.2.2"},
                                             {"files.corp.example", "192.0.2.30"},
                                             {"CORP.EXAMPLE", "192.0.2.3"}};
    for (int n = in.ConsumeIntegralInRange<int>(0, 2); n > 0; --n) hosts[input.text()] = input.text();
    s.hosts = hosts;
    s.has_smb = true;
    s.smb_method = input.optional_text();
    for (int n = in.ConsumeIntegralInRange<int>(0, 3); n > 0; --n)
        s.smb_auth.push_back({input.optional_text(), input.optional_text(), input.optional_text()});
    for (int n = in.ConsumeIntegralInRange<int>(0, 2); n > 0; --n) {
        host::FilingService f{input.optional_text(), input.optional_text(), std::nullopt, std::nullopt};
        if (in.ConsumeBool()) f.protocol = in.ConsumeIntegral<int32_t>();
        if (in.ConsumeBool()) f.port = in.ConsumeIntegral<uint32_t>();
        s.filing.push_back(f);
    }
    for (int n = in.ConsumeIntegralInRange<int>(0, 3); n > 0; --n) {
        host::KerberosService k{input.optional_text(), input.optional_text(), input.optional_text(),
                                input.optional_text(), input.optional_text(), std::nullopt, std::nullopt};
        if (in.ConsumeBool()) k.kdc_port = in.ConsumeIntegralInRange<uint32_t>(0, 70000);
        if (in.ConsumeBool()) k.backup_kdc_port = in.ConsumeIntegral<uint32_t>();
        s.kerberos.push_back(k);
    }
    constexpr const char *kBoolKeys[] = {"services[scan2file].resolveHostname",
                                         "services[scan2file].SMBSecurity.NTLMv2Only", "connectivity.ipproxy.enabled",
                                         "authentication.smartcard.ocsp.enabled"};
    for (const char *key : kBoolKeys)
        if (in.ConsumeBool()) s.config[key] = in.ConsumeBool();
    for (const char *key : {"connectivity.ipproxy.server", "authentication.smartcard.ocsp.url"})
        if (in.ConsumeBool()) s.config[key] = input.text();
    return s;
}

struct Builder {
    Target target;
    bool (*run)(Input &);
};

bool smb_auth(Input &) { return build_smb_conf_for_authentication() == 1; }
bool smb_filing(Input &input) {
    std::string server = input.text(), path = input.text();
    return build_smb_conf_for_filing(input.in.ConsumeBool() ? server.data() : nullptr, path.data()) == 0;
}
bool krb5(Input &) { return build_krb5_conf() == 1; }
bool krb5_realm(Input &input) {
    std::string realm = input.text();
    return cf_build_krb_config_file_with_realm_only(realm.data()) == 1;
}
bool krb5_service(Input &input) {
    std::string realm = input.text();
    return cf_build_krb_conf_file_with_this(realm.data(), input.in.ConsumeIntegralInRange<int>(-1, 10)) == 1;
}
bool krb5_record(Input &input) {
    krb_server_settings record{};
    const auto fill = [&input](auto &field) {
        const std::string value = input.text().substr(0, sizeof field - 1);
        std::copy(value.begin(), value.end(), field);
    };
    fill(record.realm);
    fill(record.kdc_hostname);
    fill(record.kdc_ip_address);
    fill(record.backup_kdc_hostname);
    fill(record.backup_kdc_ip_address);
    record.kdc_port = input.in.ConsumeIntegral<int32_t>();
    record.backup_kdc_port = input.in.ConsumeIntegral<int32_t>();
    return cf_build_krb_conf_with_XML_data(&record) == 1;
}
bool krb5_cac(Input &input) {
    std::string realm = input.text(), kdc = input.text();
    return cf_build_krb_conf_file_for_CAC(realm.data(), kdc.c_str(), input.in.ConsumeIntegral<int>(),
                                          input.in.ConsumeIntegral<int>()) == 1;
}
bool pam_cac(Input &) { return cf_build_pam_conf_file_for_CAC() == 1; }

bool wireless(Input &input) {
    FuzzedDataProvider &in = input.in;
    std::string ssid, psk, key;
    const int kind = in.ConsumeIntegralInRange<int>(0, 2);
    if (kind == 1) {
        CF_IO_WEP_Params record{};
        record.ssid = input.maybe(ssid);
        record.sec_mode = in.ConsumeIntegralInRange<uint32_t>(0, 6);
        record.wep_key = input.secret(key);
        record.key_is_hex = in.ConsumeIntegral<int32_t>();
        return cf_build_wireless_wep_8021x_conf_for_authentication(&record) == 1;
    }
    CF_IO_Wireless_Params record{};
    record.ssid = input.maybe(ssid);
    record.sec_mode = in.ConsumeIntegralInRange<uint32_t>(0, 6);
    record.enc_mode = in.ConsumeIntegralInRange<int32_t>(-1, 4);
    // A psk the reader takes is 8 to 63 characters or 64 hex digits: the
    // markers are added only where they keep it one of those.
    psk = input.text();
    if (in.ConsumeBool() && psk.size() < 58) {
        psk = "Zq9" + psk + "Xk7";
        input.secrets.push_back(psk);
    }
    record.psk = psk.c_str();
    return kind == 0 ? cf_build_wireless_nosecurity_8021x_conf_for_authentication(&record) == 1
                     : cf_build_wireless_personal_8021x_conf_for_authentication(&record) == 1;
}

bool enterprise(Input &input, int32_t interface) {
    FuzzedDataProvider &in = input.in;
    std::array<std::string, 8> s;
    CF_IO_8021x_Params record{};
    record.interface = interface;
    record.ssid = input.maybe(s[0]);
    record.sec_mode = in.ConsumeIntegralInRange<uint32_t>(0, 6);
    record.enc_mode = in.ConsumeIntegralInRange<int32_t>(-1, 4);
    record.eap_type = in.ConsumeIntegralInRange<uint32_t>(0, 8);
    record.user_name = input.maybe(s[1]);
    record.password = in.ConsumeBool() ? input.secret(s[2]) : nullptr;
    record.outer_identity = input.maybe(s[3]);
    record.ca_cert = input.maybe(s[4]);
    record.client_cert = input.maybe(s[5]);
    record.private_key = input.maybe(s[6]);
    record.private_key_passwd = in.ConsumeBool() ? input.secret(s[7]) : nullptr;
    return cf_build_enterprise_8021x_conf_for_authentication(&record) == 1;
}
bool wired(Input &input) { return enterprise(input, CF_IO_IFACE_WIRED); }
bool wireless_enterprise(Input &input) { return enterprise(input, CF_IO_IFACE_WIRELESS); }

constexpr Target kSmbAuth{"/etc/smb.conf.auth", Format::smb, false, true};
constexpr Target kSmbFile{"/etc/smb.conf.file", Format::smb, false, false};
constexpr Target kKrb5{"/etc/krb5.conf", Format::krb5, false, true};
constexpr Target kCac{"/usr/heimdal/etc/krb5.conf", Format::krb5, false, true};
constexpr Target kPam{"/etc/pam.d/pam_cac", Format::pam, false, false};
constexpr Target kWired{CF_IO_WIRED_CONF_PATH, Format::supplicant, true, false};
constexpr Target kWireless{CF_IO_WIRELESS_CONF_PATH, Format::supplicant, true, false};

constexpr Builder kBuilders[] = {
    {kSmbAuth, smb_auth},   {kSmbFile, smb_filing},     {kKrb5, krb5},         {kKrb5, krb5_realm},
    {kKrb5, krb5_service},  {kKrb5, krb5_record},       {kCac, krb5_cac},      {kPam, pam_cac},
    {kWireless, wireless},  {kWired, wired},            {kWireless, wireless_enterprise},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::root();
    FuzzedDataProvider in(data, size);
    Input input{in, {}, {}};
    const Builder &builder = kBuilders[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kBuilders) - 1)];
    host::apply_settings(settings_from(input));
    fuzz::put_previous({builder.target});
    const std::string memory_before = tavrel_test::library_memory();
    const bool ok = builder.run(input);
    fuzz::check_target(builder.target, ok);
    fuzz::check_no_strays(builder.target);
    fuzz::check_secrets_not_logged(input.secrets, input.drawn);
    fuzz::check_secrets_wiped(input.secrets, input.drawn, memory_before);
    fuzz::check_records_returned();
    return 0;
}
