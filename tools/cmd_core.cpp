// Core commands: start-up, events, the attribute readers, and `all`, which
// renders every file whose input the settings hold.
#include <array>
#include <cstring>
#include <iostream>

#include "command.h"
#include "tavrel/general_utilities.h"
#include "tavrel/samba_utilities.h"
#include "tavrel/tavrel_init.h"

namespace tool {

namespace {

int cmd_init(Context &) { return tavrel_init() == 0 ? kSuccess : kFailure; }

int cmd_event(Context &ctx) {
    const auto id = parse_number(ctx.args[0]);
    if (!id) return usage_error("event: '" + ctx.args[0] + "' is not an attribute id");
    tavrel_event_callback(*id);
    return kSuccess;  // the callback reports nothing
}

// A reader into a text buffer of the reader's own capacity, so an overrun
// is the reader's fault and shows under the sanitizers.
struct TextReader {
    std::string_view kind;
    std::size_t size;
    int (*read)(char *output, int32_t attr_id);
};
constexpr std::array<TextReader, 7> kTextReaders{{
    {"realm", TAVREL_REALM_SIZE, get_realm_from_dstore},
    {"port", TAVREL_PORT_TEXT_SIZE, get_port_from_dstore},
    {"sharename", TAVREL_SHARENAME_SIZE, get_sharename_from_dstore},
    {"dns-name", TAVREL_DNS_NAME_SIZE, get_dns_name_from_dstore},
    {"address", TAVREL_IP_ADDRESS_SIZE, get_just_the_ip_address_from_dstore},
    {"address-port", TAVREL_IP_ADDRESS_PORT_SIZE, get_ip_address_from_dstore},
    {"nt-domain", TAVREL_NT_DOMAIN_SIZE, get_nt_domain_from_dstore},
}};

int cmd_read(Context &ctx) {
    const std::string &kind = ctx.args[0];
    const auto number = parse_number(ctx.args[1]);
    if (!number) return usage_error("read: '" + ctx.args[1] + "' is not an attribute id");
    const int32_t id = static_cast<int32_t>(*number);
    if (kind == "protocol") {
        int32_t protocol = 0;
        if (get_filingProtocol_from_dstore(&protocol, id) != 1) return kFailure;
        std::cout << protocol << '\n';
        return kSuccess;
    }
    for (const TextReader &reader : kTextReaders) {
        if (reader.kind != kind) continue;
        std::vector<char> output(reader.size, '\0');
        if (reader.read(output.data(), id) != 1) return kFailure;
        std::cout << std::string_view(output.data(), ::strnlen(output.data(), output.size())) << '\n';
        return kSuccess;
    }
    return usage_error("read: unknown KIND '" + kind +
                       "' (realm, protocol, port, sharename, dns-name, address, address-port, nt-domain)");
}

// One builder `all` runs: its command, arguments and the file it writes.
struct Step {
    std::string_view command;
    std::vector<std::string> args;
    std::string_view path;
};

constexpr std::string_view kWiredSupplicant = "/etc/wpa_supplicant/eth0/wpa_supplicant.conf";
constexpr std::string_view kWirelessSupplicant = "/etc/wpa_supplicant/wlan0/wpa_supplicant.conf";
constexpr std::string_view kSmartcardKeys[] = {"authentication.smartcard.ocsp.enabled",
                                               "authentication.smartcard.ocsp.url"};

// The builders whose input the settings hold, in the order they run.
std::vector<Step> plan(const host::Settings &s) {
    std::vector<Step> steps;
    if (s.has_smb) steps.push_back({"smb-auth", {}, "/etc/smb.conf.auth"});
    if (s.filing_request)
        steps.push_back({"smb-filing", {s.filing_request->server, s.filing_request->path}, "/etc/smb.conf.file"});
    if (s.krb5_record)
        steps.push_back({"krb5-record", {}, "/etc/krb5.conf"});
    else if (!s.kerberos.empty())
        steps.push_back({"krb5", {}, "/etc/krb5.conf"});
    if (s.smartcard) {
        std::vector<std::string> args{s.smartcard->realm, s.smartcard->kdc, std::to_string(s.smartcard->port)};
        if (s.smartcard->win2k) args.push_back("--win2k");
        steps.push_back({"krb5-cac", args, "/usr/heimdal/etc/krb5.conf"});
    }
    for (const std::string_view key : kSmartcardKeys)
        if (s.config.count(std::string(key)) != 0) {
            steps.push_back({"pam-cac", {}, "/etc/pam.d/pam_cac"});
            break;
        }
    if (s.dot1x && s.dot1x->interface == 0) steps.push_back({"dot1x", {}, kWiredSupplicant});
    if (s.dot1x && s.dot1x->interface == 1) {
        steps.push_back({"dot1x", {}, kWirelessSupplicant});
    } else if (s.wireless) {
        const host::WirelessRecord &w = *s.wireless;
        const std::string_view command = w.wep_key                                       ? "wifi-wep"
                                         : w.psk || w.sec_mode == 2 || w.sec_mode == 3 ? "wifi-personal"
                                                                                         : "wifi-open";
        steps.push_back({command, {}, kWirelessSupplicant});
    }
    return steps;
}

int cmd_all(Context &ctx) {
    int status = kSuccess;
    for (const Step &step : plan(ctx.settings)) {
        const Command *command = find_command(step.command);
        if (command == nullptr) continue;  // a builder this tool does not have
        Context step_context{ctx.settings, step.args};
        const bool ok = command->run(step_context) == kSuccess;
        std::cout << (ok ? "ok " : "failed ") << step.path << '\n';
        if (!ok) status = kFailure;
    }
    return status;
}

constexpr Command kCommands[] = {
    {"init", "", 0, 0, cmd_init, "start the library (tavrel_init)"},
    {"event", "ID", 1, 1, cmd_event, "report a change of attribute ID (tavrel_event_callback)"},
    {"read", "KIND ID", 2, 2, cmd_read,
     "read attribute ID: realm, protocol, port, sharename, dns-name, address, address-port, nt-domain"},
    {"all", "", 0, 0, cmd_all, "render every file whose input the settings hold"},
};

}  // namespace

std::span<const Command> core_commands() { return kCommands; }

}  // namespace tool
