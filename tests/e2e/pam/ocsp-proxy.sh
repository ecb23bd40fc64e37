#!/usr/bin/env bash
# The smart-card stack with OCSP on behind a web proxy: the proxy goes to
# the certificate check as one more continued argument.
source "$(dirname "$0")/../lib/pam.sh"
settings <<EOF
[config]
"authentication.smartcard.ocsp.enabled" = true
"authentication.smartcard.ocsp.url" = "http://ocsp.tvr.test/status"
"connectivity.ipproxy.enabled" = true
"connectivity.ipproxy.server" = "proxy.tvr.test:3128"
EOF
render pam-cac
grep -q 'proxy=proxy.tvr.test:3128' "$ROOT$PAM_FILE" || fail "the file does not pass the proxy on"
expected_stack <<'EOF'
auth requisite /lib/security/pam_forked.so
auth required /lib/security/pam_forked.so
auth optional /lib/security/pam_cert_data.so
account required /lib/security/pam_permit.so
EOF
pam_stack_check
