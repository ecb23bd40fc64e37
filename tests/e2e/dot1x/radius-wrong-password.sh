#!/usr/bin/env bash
# The same network with a wrong password in the settings: FreeRADIUS must
# answer Access-Reject and the device must see the EAP failure.
source "$(dirname "$0")/../lib/dot1x.sh"
settings <<EOF
[dot1x]
interface = 0
eap_type = 0
user_name = "alice"
password = "Not-alices-pw"
EOF
radius_users <<'EOF'
"alice" Cleartext-Password := "Alice-pw-1"
EOF
dot1x_sign_in MD5 --radius --expect-reject
