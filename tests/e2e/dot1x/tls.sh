#!/usr/bin/env bash
# EAP-TLS (eap_type 2) with a client certificate and an unencrypted key.
source "$(dirname "$0")/../lib/dot1x.sh"
settings <<EOF
[dot1x]
interface = 0
eap_type = 2
user_name = "alice"
ca_cert = "$PKI/ca.pem"
client_cert = "$PKI/client.pem"
private_key = "$PKI/client.key"
EOF
eap_users <<'EOF'
"alice" TLS
EOF
dot1x_sign_in TLS
