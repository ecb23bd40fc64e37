#!/usr/bin/env bash
# EAP-MD5 (eap_type 0) against hostapd's own EAP server.
source "$(dirname "$0")/../lib/dot1x.sh"
settings <<EOF
[dot1x]
interface = 0
eap_type = 0
user_name = "alice"
password = "Alice-pw-1"
EOF
eap_users <<'EOF'
"alice" MD5 "Alice-pw-1"
EOF
dot1x_sign_in MD5
