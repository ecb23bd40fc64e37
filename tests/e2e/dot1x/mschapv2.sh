#!/usr/bin/env bash
# EAP-MSCHAPv2 on its own (eap_type 3), without a tunnel.
source "$(dirname "$0")/../lib/dot1x.sh"
settings <<EOF
[dot1x]
interface = 0
eap_type = 3
user_name = "alice"
password = "Alice-pw-1"
EOF
eap_users <<'EOF'
"alice" MSCHAPV2 "Alice-pw-1"
EOF
dot1x_sign_in MSCHAPV2
