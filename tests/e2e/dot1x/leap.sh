#!/usr/bin/env bash
# LEAP (eap_type 4): tried against hostapd's EAP server, which has no LEAP;
# nor has FreeRADIUS 3.2.1 ("Ignoring EAP method 'leap', because it is no
# longer supported"). Debian 12 has no LEAP server, so the scenario says SKIP
# with the server's own words; the file stays proven by wpa_supplicant's
# parser (tests/check_wpa_supplicant.cpp).
source "$(dirname "$0")/../lib/dot1x.sh"
settings <<EOF
[dot1x]
interface = 0
eap_type = 4
user_name = "alice"
password = "Alice-pw-1"
EOF
eap_users <<'EOF'
"alice" LEAP "Alice-pw-1"
EOF
dot1x_sign_in LEAP --skip-unsupported >/dev/null
[ $? = 77 ] && skip "no LEAP server on Debian 12: hostapd says \"$SERVER_REFUSED\", FreeRADIUS 3.2.1 dropped LEAP; the file is proven by wpa_supplicant's parser"
