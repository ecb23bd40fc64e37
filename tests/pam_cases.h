// The /etc/pam.d/pam_cac situations the tests build: config-server settings
// and the exact file expected. test_pam_cac.cpp pins each file byte for byte;
// check_pam_cac.cpp reads the same files as Linux-PAM would.
#pragma once

#include <ostream>
#include <vector>

namespace pam_cases {

struct Case {
    const char *name;
    const char *settings;  // TOML snapshot
    const char *file;      // whole file expected
    const char *warning;   // one warning expected, or null for none
    const char *error;     // one error expected, or null for none
};

#define PAM_OCSP_HEAD                                                                      \
    "auth requisite /lib/security/pam_forked.so /lib/security/pam_ocsp_verify.so \\\n"    \
    "      cert=/usr/smart/etc/ssl/ocsp/domaincontroller.pem \\\n"                         \
    "      intermediate_certs=/usr/smart/etc/ssl/ocsp/intermediate.pem \\\n"               \
    "      anchors=/usr/smart/etc/ssl/ocsp/roots.pem \\\n"                                 \
    "      ocsp_signers=/usr/smart/etc/ssl/ocsp/ocsp_signers.pem \\\n"
#define PAM_PKINIT                                                                                \
    "auth required /lib/security/pam_forked.so /lib/security/pam_krb5.so use_pkinit \\\n"        \
    "     pkinit_user=PKCS11:/usr/local/lib/opensc-pkcs11.so \\\n"                                \
    "     retain_after_close ccache=/tmp/krb5cc_current ccache_dir=FILE:/tmp \\\n"                \
    "     debug use_upn mapped_user=root pkinit_cert_output_file=/tmp/pkinit_cert.cer \\\n"       \
    "     immediate_ticket canonicalize no_canon_check\n"                                         \
    " \n"                                                                                         \
    "auth optional /lib/security/pam_cert_data.so /tmp/pkinit_cert.cer\n"                         \
    " \n"                                                                                         \
    "account required /lib/security/pam_permit.so\n"
#define PAM_CONFIG(ocsp, proxy)                                                        \
    "[config]\n\"authentication.smartcard.ocsp.enabled\" = " ocsp "\n"               \
    "\"connectivity.ipproxy.enabled\" = " proxy "\n"
#define PAM_SERVER "\"connectivity.ipproxy.server\" = \"proxy.corp.example:8080\"\n"
#define PAM_URL "\"authentication.smartcard.ocsp.url\" = \"http://ocsp.corp.example/status\"\n"
#define PAM_WITH_SERVER(value) PAM_CONFIG("true", "true") PAM_URL "\"connectivity.ipproxy.server\" = " value "\n"
#define PAM_WITH_URL(value) PAM_CONFIG("true", "false") "\"authentication.smartcard.ocsp.url\" = " value "\n"
#define PAM_UNREADABLE_SERVER "Unable to retrieve connectivity.ipproxy.server from ConfigServer"
#define PAM_UNREADABLE_URL "Unable to retrieve authentication.smartcard.ocsp.url from ConfigServer"
#define PAM_EMPTY_PROXY PAM_OCSP_HEAD "      proxy= \\\n      server=http://ocsp.corp.example/status\n \n" PAM_PKINIT
#define PAM_EMPTY_SERVER PAM_OCSP_HEAD "      server=\n \n" PAM_PKINIT

inline void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }

inline const std::vector<Case> &all() {
    static const std::vector<Case> cases = {
        {"OcspOff", PAM_CONFIG("false", "true") PAM_SERVER PAM_URL, PAM_PKINIT, nullptr, nullptr},
        {"OcspOnWithoutProxy", PAM_CONFIG("true", "false") PAM_SERVER PAM_URL,
         PAM_OCSP_HEAD "      server=http://ocsp.corp.example/status\n \n" PAM_PKINIT, nullptr, nullptr},
        {"OcspOnWithProxy", PAM_CONFIG("true", "true") PAM_SERVER PAM_URL,
         PAM_OCSP_HEAD "      proxy=proxy.corp.example:8080 \\\n      server=http://ocsp.corp.example/status\n \n" PAM_PKINIT,
         nullptr, nullptr},
        {"UnreadableProxyServer", PAM_CONFIG("true", "true") PAM_URL, PAM_EMPTY_PROXY, PAM_UNREADABLE_SERVER, nullptr},
        {"UnreadableOcspUrl", PAM_CONFIG("true", "false"), PAM_EMPTY_SERVER, PAM_UNREADABLE_URL, nullptr},
        {"UnreadableOcspSwitch", "[config]\n\"connectivity.ipproxy.enabled\" = true\n" PAM_SERVER PAM_URL, PAM_PKINIT,
         nullptr, "Error getting OCSP enablement setting"},
        {"UnreadableProxySwitch", "[config]\n\"authentication.smartcard.ocsp.enabled\" = true\n" PAM_SERVER PAM_URL,
         PAM_OCSP_HEAD "      server=http://ocsp.corp.example/status\n \n" PAM_PKINIT, nullptr,
         "Error getting proxy setting"},
        // Texts that would add arguments, lines or a comment to the stack.
        {"ProxyServerWithBlank", PAM_WITH_SERVER("\"proxy:8080 debug\""), PAM_EMPTY_PROXY, PAM_UNREADABLE_SERVER,
         nullptr},
        {"ProxyServerWithLineFeed", PAM_WITH_SERVER("\"proxy:8080\\nauth sufficient pam_permit.so\""),
         PAM_EMPTY_PROXY, PAM_UNREADABLE_SERVER, nullptr},
        {"ProxyServerEndingInBackslash", PAM_WITH_SERVER("\"proxy:8080\\\\\""), PAM_EMPTY_PROXY,
         PAM_UNREADABLE_SERVER, nullptr},
        {"OcspUrlWithCarriageReturn", PAM_WITH_URL("\"http://ocsp\\r\""), PAM_EMPTY_SERVER, PAM_UNREADABLE_URL,
         nullptr},
        {"OcspUrlWithHash", PAM_WITH_URL("\"http://ocsp/#frag\""), PAM_EMPTY_SERVER, PAM_UNREADABLE_URL, nullptr},
    };
    return cases;
}

}  // namespace pam_cases
