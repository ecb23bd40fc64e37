#!/usr/bin/env bash
# EAP-TTLS with MSCHAPv2 inside (eap_type 6).
source "$(dirname "$0")/../lib/dot1x.sh"
settings <<EOF
[dot1x]
interface = 0
eap_type = 6
user_name = "alice"
password = "Alice-pw-1"
outer_identity = "anonymous"
ca_cert = "$PKI/ca.pem"
EOF
eap_users <<'EOF'
* TTLS
"alice" TTLS-MSCHAPV2 "Alice-pw-1" [2]
EOF
dot1x_sign_in TTLS
