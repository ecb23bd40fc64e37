#!/usr/bin/env bash
# As enterprise networks run it: hostapd only authenticates the port
# (eap_server=0) and FreeRADIUS, on the authenticator's loopback, is the EAP
# server (EAP-MD5).
source "$(dirname "$0")/../lib/dot1x.sh"
settings <<EOF
[dot1x]
interface = 0
eap_type = 0
user_name = "alice"
password = "Alice-pw-1"
EOF
radius_users <<'EOF'
"alice" Cleartext-Password := "Alice-pw-1"
EOF
dot1x_sign_in MD5 --radius
