#!/usr/bin/env bash
# The WPA2-Personal wlan0 file (tavrel wifi-personal): RSN, CCMP.
source "$(dirname "$0")/../lib/wireless.sh"
settings <<EOF
[wireless]
ssid = "$SSID"
sec_mode = 3
enc_mode = 1
psk = "Psk-secret-1"
EOF
wireless_sign_in wifi-personal "wpa=2" "wpa_key_mgmt=WPA-PSK" "rsn_pairwise=CCMP" "wpa_passphrase=Psk-secret-1"
