#!/usr/bin/env bash
# cf_build_pam_conf_file_for_CAC (tavrel pam-cac) with OCSP off: Kerberos
# PKINIT through pam_forked, the certificate hand-over, the account check.
source "$(dirname "$0")/../lib/pam.sh"
settings <<EOF
[config]
"authentication.smartcard.ocsp.enabled" = false
EOF
render pam-cac
expected_stack <<'EOF'
auth required /lib/security/pam_forked.so
auth optional /lib/security/pam_cert_data.so
account required /lib/security/pam_permit.so
EOF
pam_stack_check
