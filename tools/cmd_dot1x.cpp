// Supplicant commands: the three wireless builders from the [wireless] table
// and the enterprise builder from the [dot1x] table. Without its table a
// command hands the builder no record, and the builder says so.
#include <array>

#include "command.h"
#include "tavrel/8021x_config.h"

namespace tool {

namespace {

int status_of(unsigned int result) { return result == 1 ? kSuccess : kFailure; }

// An absent text is a null pointer; the settings outlive the call.
const char *text_of(const host::Text &text) { return text ? text->c_str() : nullptr; }

CF_IO_Wireless_Params wireless_record(const host::WirelessRecord &w) {
    CF_IO_Wireless_Params record{};
    record.ssid = text_of(w.ssid);
    record.sec_mode = w.sec_mode;
    record.enc_mode = w.enc_mode;
    record.psk = text_of(w.psk);
    return record;
}

int run_wifi_open(Context &ctx) {
    const auto &w = ctx.settings.wireless;
    if (!w) return status_of(cf_build_wireless_nosecurity_8021x_conf_for_authentication(nullptr));
    const CF_IO_Wireless_Params record = wireless_record(*w);
    return status_of(cf_build_wireless_nosecurity_8021x_conf_for_authentication(&record));
}

int run_wifi_personal(Context &ctx) {
    const auto &w = ctx.settings.wireless;
    if (!w) return status_of(cf_build_wireless_personal_8021x_conf_for_authentication(nullptr));
    const CF_IO_Wireless_Params record = wireless_record(*w);
    return status_of(cf_build_wireless_personal_8021x_conf_for_authentication(&record));
}

int run_wifi_wep(Context &ctx) {
    const auto &w = ctx.settings.wireless;
    if (!w) return status_of(cf_build_wireless_wep_8021x_conf_for_authentication(nullptr));
    CF_IO_WEP_Params record{};
    record.ssid = text_of(w->ssid);
    record.sec_mode = w->sec_mode;
    record.wep_key = text_of(w->wep_key);
    record.key_is_hex = w->key_is_hex;
    return status_of(cf_build_wireless_wep_8021x_conf_for_authentication(&record));
}

int run_dot1x(Context &ctx) {
    const auto &d = ctx.settings.dot1x;
    if (!d) return status_of(cf_build_enterprise_8021x_conf_for_authentication(nullptr));
    CF_IO_8021x_Params record{};
    record.interface = d->interface;
    record.ssid = text_of(d->ssid);
    record.sec_mode = d->sec_mode;
    record.enc_mode = d->enc_mode;
    record.eap_type = d->eap_type;
    record.user_name = text_of(d->user_name);
    record.password = text_of(d->password);
    record.outer_identity = text_of(d->outer_identity);
    record.ca_cert = text_of(d->ca_cert);
    record.client_cert = text_of(d->client_cert);
    record.private_key = text_of(d->private_key);
    record.private_key_passwd = text_of(d->private_key_passwd);
    return status_of(cf_build_enterprise_8021x_conf_for_authentication(&record));
}

constexpr std::array<Command, 4> kCommands = {{
    {"wifi-open", "", 0, 0, run_wifi_open, "write the wireless supplicant file for an open network ([wireless])"},
    {"wifi-wep", "", 0, 0, run_wifi_wep, "write the wireless supplicant file for a WEP network ([wireless])"},
    {"wifi-personal", "", 0, 0, run_wifi_personal,
     "write the wireless supplicant file for a WPA/WPA2 personal network ([wireless])"},
    {"dot1x", "", 0, 0, run_dot1x,
     "write the wired or wireless 802.1X supplicant file ([dot1x], interface 0 or 1)"},
}};

}  // namespace

std::span<const Command> dot1x_commands() { return kCommands; }

}  // namespace tool
