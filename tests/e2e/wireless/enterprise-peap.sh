#!/usr/bin/env bash
# The wireless 802.1X file (tavrel dot1x with interface 1): WPA2-Enterprise
# with PEAP, hostapd its own EAP server.
source "$(dirname "$0")/../lib/wireless.sh"
settings <<EOF
[dot1x]
interface = 1
ssid = "$SSID"
sec_mode = 5
enc_mode = 1
eap_type = 1
user_name = "alice"
password = "Alice-pw-1"
outer_identity = "anonymous"
ca_cert = "$PKI/ca.pem"
EOF
eap_users <<'EOF'
* PEAP
"alice" MSCHAPV2 "Alice-pw-1" [2]
EOF
wireless_sign_in dot1x "wpa=2" "wpa_key_mgmt=WPA-EAP" "rsn_pairwise=CCMP" "ieee8021x=1" "eap_server=1" \
  "eap_user_file=$WORK/eap_user" "ca_cert=$PKI/ca.pem" "server_cert=$PKI/server.pem" "private_key=$PKI/server.key"
