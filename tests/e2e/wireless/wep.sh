#!/usr/bin/env bash
# The WEP network's wlan0 file (tavrel wifi-wep), a 40-bit key in hex.
source "$(dirname "$0")/../lib/wireless.sh"
settings <<EOF
[wireless]
ssid = "$SSID"
sec_mode = 1
wep_key = "0123456789"
key_is_hex = 1
EOF
wireless_sign_in wifi-wep "wep_default_key=0" "wep_key0=0123456789" "auth_algs=1"
