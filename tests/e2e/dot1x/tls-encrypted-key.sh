#!/usr/bin/env bash
# EAP-TLS with the client key encrypted: the file carries the key's
# passphrase (which holds a double quote and a '#', so it goes out in hex).
source "$(dirname "$0")/../lib/dot1x.sh"
settings <<EOF
[dot1x]
interface = 0
eap_type = 2
user_name = "alice"
ca_cert = "$PKI/ca.pem"
client_cert = "$PKI/client.pem"
private_key = "$PKI/client-enc.key"
private_key_passwd = '$E2E_KEY_PASSPHRASE'
EOF
eap_users <<'EOF'
"alice" TLS
EOF
dot1x_sign_in TLS
