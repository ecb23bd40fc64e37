// Puts a parsed settings snapshot into the host platform's services, with
// each service's settings under the attribute ids the device uses for them.
#include <array>

#include "settings.h"
#include "svcmon.h"

namespace host {

namespace {

constexpr int32_t kSmbMethodAttr = 81;

struct SmbAuthAttrs {
    int32_t domain, address, hostname;
};
constexpr std::array<SmbAuthAttrs, 9> kSmbAuthAttrs{{
    {78, 79, 80}, {82, 83, 84}, {85, 86, 87}, {88, 89, 90}, {91, 92, 93},
    {94, 95, 96}, {97, 98, 99}, {100, 101, 102}, {103, 104, 105},
}};

struct FilingAttrs {
    int32_t server, protocol, port, share;
};
constexpr std::array<FilingAttrs, 6> kFilingAttrs{{
    {258, 288, 263, 278}, {259, 289, 264, 279}, {260, 290, 265, 280},
    {261, 291, 266, 281}, {262, 292, 267, 282}, {351, 357, 352, 355},
}};

// Kerberos service n owns the five ids from 32 + 5 (n - 1): address, backup
// address, hostname, backup hostname, realm.
struct KerberosAttrs {
    int32_t address, backup_address, hostname, backup_hostname, realm;
};
constexpr KerberosAttrs kerberos_attrs(std::size_t index) {
    const int32_t base = 32 + 5 * static_cast<int32_t>(index);
    return {base, base + 1, base + 2, base + 3, base + 4};
}
constexpr std::size_t kKerberosServices = 9;

void set_text(int32_t id, const Text &text) {
    if (text) svcmon_set_text(id, *text);
}

// One address-and-port record from an address and a port given separately;
// nothing when neither is.
void set_address(int32_t id, const Text &address, std::optional<uint32_t> port) {
    if (address || port) svcmon_set_address(id, address.value_or(""), port.value_or(0));
}

}  // namespace

void apply_settings(const Settings &settings) {
    reset();
    if (settings.has_network) network_set(settings.network_address, settings.network_netmask);
    if (settings.fips) fips_set(*settings.fips ? 1 : 0);
    hosts_set(settings.hosts);

    set_text(kSmbMethodAttr, settings.smb_method);
    for (std::size_t i = 0; i < settings.smb_auth.size() && i < kSmbAuthAttrs.size(); ++i) {
        const SmbAuthService &service = settings.smb_auth[i];
        set_text(kSmbAuthAttrs[i].domain, service.domain);
        if (service.address) svcmon_set_address(kSmbAuthAttrs[i].address, *service.address, 0);
        set_text(kSmbAuthAttrs[i].hostname, service.hostname);
    }
    for (std::size_t i = 0; i < settings.filing.size() && i < kFilingAttrs.size(); ++i) {
        const FilingService &service = settings.filing[i];
        set_text(kFilingAttrs[i].server, service.server);
        if (service.protocol) svcmon_set_integer(kFilingAttrs[i].protocol, *service.protocol);
        if (service.port) svcmon_set_address(kFilingAttrs[i].port, "", *service.port);
        set_text(kFilingAttrs[i].share, service.share);
    }
    for (std::size_t i = 0; i < settings.kerberos.size() && i < kKerberosServices; ++i) {
        const KerberosService &service = settings.kerberos[i];
        const KerberosAttrs ids = kerberos_attrs(i);
        set_text(ids.realm, service.realm);
        set_text(ids.hostname, service.kdc);
        set_address(ids.address, service.kdc_address, service.kdc_port);
        set_text(ids.backup_hostname, service.backup_kdc);
        set_address(ids.backup_address, service.backup_kdc_address, service.backup_kdc_port);
    }
    for (const auto &[id, attr] : settings.attributes) svcmon_set(id, attr);

    for (const auto &[key, value] : settings.config) {
        if (const bool *b = std::get_if<bool>(&value))
            config_set_bool(key, *b);
        else if (const int64_t *i = std::get_if<int64_t>(&value))
            config_set_int(key, *i);
        else
            config_set_text(key, std::get<std::string>(value));
    }
}

}  // namespace host
