// Kerberos and smart-card commands: the four krb5.conf builders, the PKINIT
// krb5.conf, the PAM file, and the realm search.
#include <array>
#include <cstring>
#include <iostream>
#include <string>

#include "command.h"
#include "tavrel/tavrel.h"

namespace tool {

namespace {

int status_of(int result) { return result == 1 ? kSuccess : kFailure; }

// A number argument as the library's int (a 32-bit value, as the tool takes numbers).
std::optional<int> parse_int(const std::string &text) {
    const std::optional<uint32_t> value = parse_number(text);
    if (!value) return std::nullopt;
    return static_cast<int>(*value);
}

int run_krb5(Context &) { return status_of(build_krb5_conf()); }

int run_krb5_realm(Context &ctx) {
    std::string realm = ctx.args[0];
    return status_of(cf_build_krb_config_file_with_realm_only(realm.data()));
}

int run_krb5_service(Context &ctx) {
    const std::optional<int> service = parse_int(ctx.args[1]);
    if (!service) return usage_error("krb5-service: SERVICE must be a number, not '" + ctx.args[1] + "'");
    std::string realm = ctx.args[0];
    return status_of(cf_build_krb_conf_file_with_this(realm.data(), *service));
}

// A settings text into a record field; false when it does not fit.
template <std::size_t N>
bool fill(char (&field)[N], const host::Text &text) {
    if (!text) return true;
    if (text->size() >= N) return false;
    std::memcpy(field, text->c_str(), text->size() + 1);
    return true;
}

// Without a [krb5_record] table the builder gets no record and says so.
int run_krb5_record(Context &ctx) {
    const auto &r = ctx.settings.krb5_record;
    if (!r) return status_of(cf_build_krb_conf_with_XML_data(nullptr));
    krb_server_settings record{};
    if (!fill(record.realm, r->realm) || !fill(record.kdc_hostname, r->kdc_hostname) ||
        !fill(record.kdc_ip_address, r->kdc_ip_address) || !fill(record.backup_kdc_hostname, r->backup_kdc_hostname) ||
        !fill(record.backup_kdc_ip_address, r->backup_kdc_ip_address)) {
        std::cerr << "tavrel: " << ctx.settings.file << ": a [krb5_record] text does not fit its field\n";
        return kUsage;
    }
    record.kdc_port = static_cast<int32_t>(r->kdc_port);
    record.backup_kdc_port = static_cast<int32_t>(r->backup_kdc_port);
    return status_of(cf_build_krb_conf_with_XML_data(&record));
}

int run_krb5_cac(Context &ctx) {
    const std::optional<int> port = parse_int(ctx.args[2]);
    if (!port) return usage_error("krb5-cac: PORT must be a number, not '" + ctx.args[2] + "'");
    const bool win2k = ctx.args.size() == 4;
    if (win2k && ctx.args[3] != "--win2k") return usage_error("krb5-cac: unknown option '" + ctx.args[3] + "'");
    std::string realm = ctx.args[0];
    return status_of(cf_build_krb_conf_file_for_CAC(realm.data(), ctx.args[1].c_str(), *port, win2k ? 1 : 0));
}

int run_pam_cac(Context &) { return status_of(cf_build_pam_conf_file_for_CAC()); }

constexpr std::array<Command, 6> kCommands = {{
    {"krb5", "", 0, 0, run_krb5, "write /etc/krb5.conf from the stored Kerberos services"},
    {"krb5-realm", "REALM", 1, 1, run_krb5_realm, "write /etc/krb5.conf with the realm's own address as its KDC"},
    {"krb5-service", "REALM SERVICE", 2, 2, run_krb5_service,
     "write /etc/krb5.conf for REALM with the KDCs of Kerberos service SERVICE"},
    {"krb5-record", "", 0, 0, run_krb5_record, "write /etc/krb5.conf from the [krb5_record] table"},
    {"krb5-cac", "REALM KDC PORT [--win2k]", 3, 4, run_krb5_cac,
     "write /usr/heimdal/etc/krb5.conf for smart-card log-in"},
    {"pam-cac", "", 0, 0, run_pam_cac, "write /etc/pam.d/pam_cac for smart-card log-in"},
}};

}  // namespace

std::span<const Command> krb_commands() { return kCommands; }

}  // namespace tool
