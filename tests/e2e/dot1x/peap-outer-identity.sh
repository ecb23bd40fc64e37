#!/usr/bin/env bash
# PEAP with an outer identity: the server accepts the tunnel only for the
# anonymous outer name, so the device signs in only if its file sends that
# name before the tunnel exists (and its real name inside).
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
eap_users <<'EOF'
"anonymous" PEAP
"alice" MSCHAPV2 "Alice-pw-1" [2]
EOF
dot1x_sign_in PEAP
