#!/usr/bin/env bash
# EAP-TTLS with PAP inside (eap_type 5); the server accepts any outer name
# and checks the inner one.
source "$(dirname "$0")/../lib/dot1x.sh"
settings <<EOF
[dot1x]
interface = 0
eap_type = 5
user_name = "alice"
password = "Alice-pw-1"
outer_identity = "anonymous"
ca_cert = "$PKI/ca.pem"
EOF
eap_users <<'EOF'
* TTLS
"alice" TTLS-PAP "Alice-pw-1" [2]
EOF
dot1x_sign_in TTLS
