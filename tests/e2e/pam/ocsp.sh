#!/usr/bin/env bash
# The smart-card stack with OCSP on and no proxy: the certificate check
# (requisite) comes first, with the responder's URL.
source "$(dirname "$0")/../lib/pam.sh"
settings <<EOF
[config]
"authentication.smartcard.ocsp.enabled" = true
"authentication.smartcard.ocsp.url" = "http://ocsp.tvr.test:8080/status"
"connectivity.ipproxy.enabled" = false
EOF
render pam-cac
expected_stack <<'EOF'
auth requisite /lib/security/pam_forked.so
auth required /lib/security/pam_forked.so
auth optional /lib/security/pam_cert_data.so
account required /lib/security/pam_permit.so
EOF
pam_stack_check
