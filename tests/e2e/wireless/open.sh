#!/usr/bin/env bash
# The open network's wlan0 file (tavrel wifi-open).
source "$(dirname "$0")/../lib/wireless.sh"
settings <<EOF
[wireless]
ssid = "$SSID"
sec_mode = 0
EOF
wireless_sign_in wifi-open
