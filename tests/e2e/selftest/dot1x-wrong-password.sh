#!/usr/bin/env bash
# 802.1X: dot1x/peap with another password in its file; hostapd's EAP server
# must refuse the inner MSCHAPv2 response.
source "$(dirname "$0")/../lib/selftest.sh"
selftest dot1x/peap 's/^\(    password=\).*/\1"Not-alices-pw"/' "a wrong password" \
  'EAP-MSCHAPV2: Invalid NT-Response'
