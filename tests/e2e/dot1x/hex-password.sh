#!/usr/bin/env bash
# A password with a double quote and a '#': the file must write it in hex
# form (a quoted string could not hold it), and the server must receive the
# very bytes.
source "$(dirname "$0")/../lib/dot1x.sh"
password='Pw"with#hash-1'
settings <<EOF
[dot1x]
interface = 0
eap_type = 1
user_name = "alice"
password = '$password'
ca_cert = "$PKI/ca.pem"
EOF
hex=$(printf '%s' "$password" | od -An -tx1 | tr -d ' \n')
# hostapd's eap_user takes an unquoted password as hex.
eap_users <<EOF
* PEAP
"alice" MSCHAPV2 $hex [2]
EOF
render dot1x
grep -qx "    password=$hex" "$ROOT$WIRED_FILE" || fail "the file does not write the password as hex $hex: $(grep password "$ROOT$WIRED_FILE")"
dot1x_sign_in PEAP
