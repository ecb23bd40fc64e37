// /usr/heimdal/etc/krb5.conf for smart-card log-in by PKINIT: fixed text
// around the caller's realm, KDC and port.
#include "tavrel/kerberos_CAC_config.h"

#include <stdio.h>
#include <stdlib.h>

#include <array>
#include <string_view>

#include "file_output.h"
#include "ip_utils.h"
#include "krb5_token.h"
#include "log.h"
#include "stream_text.h"
#include "tavrel/general_utilities.h"
#include "text.h"

namespace {

constexpr char kLogSource[] = "kerberos_CAC_config";
constexpr char kName[] = "cf_build_krb_conf_file_for_CAC";
constexpr char kPkinitConf[] = "/usr/heimdal/etc/krb5.conf";

// A realm or KDC goes into the file as one word of krb5.conf.
bool argument_is_sound(const char *text, const char *argument, tavrel::Krb5Token kind) {
    if (text && *text && tavrel::is_krb5_token(text, kind)) return true;
    TLOG(logSpecError, "%s - Refusing the %s argument: missing, empty, or not one word of krb5.conf", kName, argument);
    return false;
}

// A bare IPv6 address is written in brackets, so that the port after it
// stays readable; anything else is written as given.
const char *kdc_text(const char *kdc, std::span<char> bracketed) {
    if (ipu_is_this_an_IPv6_address(kdc) != 1) return kdc;
    char *copy = ipu_put_brackets_around_ipv6_address(kdc);
    const bool fits = copy && tavrel::copy_text(bracketed, tavrel::view(copy));
    free(copy);
    return fits ? bracketed.data() : kdc;
}

int build(char *realm, const char *kdc_argument, int port, int win2k) {
    if (!argument_is_sound(realm, "realm", tavrel::Krb5Token::realm) ||
        !argument_is_sound(kdc_argument, "kdc", tavrel::Krb5Token::kdc))
        return 0;
    std::array<char, 64> bracketed{};
    const char *kdc = kdc_text(kdc_argument, bracketed);
    tavrel::OutputFile out(kLogSource, kPkinitConf);
    FILE *file = out.open();
    if (!file) {
        TLOG(logSpecError, "%s - Error opening file %s", kName, kPkinitConf);
        return 0;
    }
    // In capitals like the realm's entry: a lower-case default realm would
    // name no entry, and kinit could find no KDC for it.
    upcase(realm);
    tavrel::put_texts(file, {"[logging]\n\tdefault = FILE:/var/log/krb5libs.log\n\n"
                      "[libdefaults]\n\tdefault_realm = ",
                      realm,
                      "\n\tkdc_timesync = 1"
                      "\n\tdns_lookup_realm = false"
                      "\n\tdns_lookup_kdc = false"
                      "\n\tticket_lifetime = 19h"
                      "\n\tforwardable = yes"
                      "\n\n[realms]\n\t"});
    std::array<char, 12> digits;
    const std::string_view port_text = tavrel::decimal(port, digits);
    tavrel::put_texts(file, {realm, " = {\n\t\tkdc = ", kdc, ":", port_text, "\n\t\tadmin_server = ", kdc, ":",
                      port_text, "\n\t\tpkinit_win2k = ", win2k != 0 ? "yes" : "no",
                      "\n\t\tpkinit_require_eku = false"  // NOLINT(bugprone-suspicious-missing-comma): one text
                      "\n\t\tpkinit_require_krbtgt_otherName = false"
                      "\n\t}\n\n"
                      "[default_realm]\n\tlocalhost = ",
                      realm,
                      "\n\n[appdefaults]\n\tpkinit_anchors = DIR:/usr/smart/etc/ssl/trusted"
                      "\n\tpam = {\n\t\tticket_lifetime = 19h\n\t\tforwardable = true\n\t}\n"});
    return out.finish() ? 1 : 0;
}

}  // namespace

extern "C" int cf_build_krb_conf_file_for_CAC(char *realm, const char *kdc, int port, int win2k) {
    TLOG_ENTER(kName);
    const int result = build(realm, kdc, port, win2k);
    TLOG_RETURN(kName);
    return result;
}
