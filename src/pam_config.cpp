// /etc/pam.d/pam_cac: the PAM stack for smart-card log-in. Fixed lines, with
// an optional OCSP rule whose proxy and responder come from the config server.
#include "tavrel/pam_config.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <array>
#include <string_view>

#include "config_server.h"
#include "file_output.h"
#include "log.h"
#include "stream_text.h"
#include "text.h"
#include "text_table.h"

namespace {

constexpr char kLogSource[] = "pam_config";
constexpr char kName[] = "cf_build_pam_conf_file_for_CAC";
constexpr char kPamCac[] = "/etc/pam.d/pam_cac";
constexpr char kProxyEnabledKey[] = "connectivity.ipproxy.enabled";
constexpr char kProxyServerKey[] = "connectivity.ipproxy.server";
constexpr char kOcspEnabledKey[] = "authentication.smartcard.ocsp.enabled";
constexpr char kOcspUrlKey[] = "authentication.smartcard.ocsp.url";
constexpr int kConfigTextSize = 1064;

// The line index is also the number the log reports.
constexpr const char *kPamCacLines[] = {
    "auth requisite /lib/security/pam_forked.so /lib/security/pam_ocsp_verify.so \\",
    "      cert=/usr/smart/etc/ssl/ocsp/domaincontroller.pem \\",
    "      intermediate_certs=/usr/smart/etc/ssl/ocsp/intermediate.pem \\",
    "      anchors=/usr/smart/etc/ssl/ocsp/roots.pem \\",
    "      ocsp_signers=/usr/smart/etc/ssl/ocsp/ocsp_signers.pem \\",
    "      proxy=",
    "      server=",
    " ",
    "auth required /lib/security/pam_forked.so /lib/security/pam_krb5.so use_pkinit \\",
    "     pkinit_user=PKCS11:/usr/local/lib/opensc-pkcs11.so \\",
    "     retain_after_close ccache=/tmp/krb5cc_current ccache_dir=FILE:/tmp \\",
    "     debug use_upn mapped_user=root pkinit_cert_output_file=/tmp/pkinit_cert.cer \\",
    "     immediate_ticket canonicalize no_canon_check",
    " ",
    "auth optional /lib/security/pam_cert_data.so /tmp/pkinit_cert.cer",
    " ",
    "account required /lib/security/pam_permit.so",
};
constexpr auto pam_cac_lines = tavrel::pack<tavrel::packed_size(kPamCacLines)>(kPamCacLines);
constexpr std::size_t kFirstOcspLine = 0;
constexpr std::size_t kFirstPkinitLine = 8;
constexpr std::size_t kProxyLine = 5;
constexpr std::size_t kServerLine = 6;

// A switch that cannot be read counts as off.
bool switch_on(const char *key, const char *error_message) {
    int value = 0;
    if (Cfg_GetBoolAttrValue(key, &value) != 0) {
        TLOG(logSpecError, "%s", error_message);
        return false;
    }
    return value != 0;
}

// A module argument must stay one argument on its own line: a blank, a
// control character or '#' would add arguments, lines or a comment, and a
// final backslash would join the next line to it.
bool fits_pam_argument(std::string_view text) {
    return !tavrel::has_blank_or_control(text) && text.find('#') == std::string_view::npos &&
           !text.ends_with('\\');
}

// The text of a key, or false (with the warning) when it cannot be read or
// could not be written as one argument.
bool read_argument(const char *key, std::array<char, kConfigTextSize> &buffer) {
    buffer.fill('\0');
    if (Cfg_GetAttrValue(key, buffer.data(), kConfigTextSize) == 0) {
        const std::size_t length = tavrel::bounded_length(buffer.data(), kConfigTextSize - 1);
        if (length < kConfigTextSize && fits_pam_argument(std::string_view(buffer.data(), length))) return true;
    }
    TLOG(logSpecWarn, "Unable to retrieve %s from ConfigServer", key);
    return false;
}

// Writes one line and logs it, or logs that it could not be written.
void write_line(FILE *file, std::size_t index, const char *text) {
    if (!tavrel::put_texts(file, {text, "\n"}))
        TLOG(logSpecError, "Error writing line %d to pam.conf", static_cast<int>(index));
    else
        TLOG(logSpecInfo, "Wrote line %d to pam.conf: %s", static_cast<int>(index), text);
}

void write_lines(FILE *file, bool ocsp, bool proxy) {
    std::array<char, kConfigTextSize> value{};
    // The longest table text, a value and " \\".
    std::array<char, kConfigTextSize + 128> text{};
    for (std::size_t i = ocsp ? kFirstOcspLine : kFirstPkinitLine; i < pam_cac_lines.size(); ++i) {
        tavrel::copy_text(text, pam_cac_lines[i]);
        if (i == kProxyLine) {
            if (!proxy) continue;
            // The proxy option always continues the rule, read or not.
            if (read_argument(kProxyServerKey, value)) tavrel::append_text(text, value.data());
            tavrel::append_text(text, " \\");
        } else if (i == kServerLine && read_argument(kOcspUrlKey, value)) {
            tavrel::append_text(text, value.data());
        }
        write_line(file, i, text.data());
    }
}

int build() {
    const bool proxy = switch_on(kProxyEnabledKey, "Error getting proxy setting");
    const bool ocsp = switch_on(kOcspEnabledKey, "Error getting OCSP enablement setting");
    tavrel::OutputFile out(kLogSource, kPamCac);
    FILE *file = out.open();
    if (!file) {
        TLOG(logSpecError, "Error Opening %s for writing: Error: %s", kPamCac, strerror(errno));
        return 0;
    }
    write_lines(file, ocsp, proxy);
    return out.finish() ? 1 : 0;
}

}  // namespace

extern "C" int cf_build_pam_conf_file_for_CAC(void) {
    TLOG_ENTER(kName);
    const int result = build();
    TLOG_RETURN(kName);
    return result;
}
