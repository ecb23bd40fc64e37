#!/usr/bin/env bash
# PEAP with MSCHAPv2 inside (eap_type 1) against hostapd's own EAP server,
# which the device trusts through the CA named in the file.
source "$(dirname "$0")/../lib/dot1x.sh"
settings <<EOF
[dot1x]
interface = 0
eap_type = 1
user_name = "alice"
password = "Alice-pw-1"
ca_cert = "$PKI/ca.pem"
EOF
eap_users <<'EOF'
* PEAP
"alice" MSCHAPV2 "Alice-pw-1" [2]
EOF
dot1x_sign_in PEAP
