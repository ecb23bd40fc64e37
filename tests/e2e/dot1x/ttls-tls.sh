#!/usr/bin/env bash
# EAP-TTLS with EAP-TLS inside (eap_type 7): the client certificate goes
# through the tunnel; its key is encrypted, so the file carries the passphrase.
source "$(dirname "$0")/../lib/dot1x.sh"
settings <<EOF
[dot1x]
interface = 0
eap_type = 7
user_name = "alice"
outer_identity = "anonymous"
ca_cert = "$PKI/ca.pem"
client_cert = "$PKI/client.pem"
private_key = "$PKI/client-enc.key"
private_key_passwd = '$E2E_KEY_PASSPHRASE'
EOF
eap_users <<'EOF'
* TTLS
"alice" TLS [2]
EOF
dot1x_sign_in TTLS
