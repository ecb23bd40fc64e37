#!/usr/bin/env bash
# PEAP with MSCHAPv2 inside through hostapd as the authenticator and
# FreeRADIUS as the EAP server (its inner-tunnel virtual server checks the
# inner name and password).
source "$(dirname "$0")/../lib/dot1x.sh"
settings <<EOF
[dot1x]
interface = 0
eap_type = 1
user_name = "alice"
password = "Alice-pw-1"
outer_identity = "anonymous"
ca_cert = "$PKI/ca.pem"
EOF
radius_users <<'EOF'
"alice" Cleartext-Password := "Alice-pw-1"
EOF
dot1x_sign_in PEAP --radius
