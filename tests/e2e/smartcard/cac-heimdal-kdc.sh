#!/usr/bin/env bash
# The plain smart-card krb5.conf (tavrel krb5-cac) against Heimdal's KDC:
# the request must be the RFC's PKINIT, not Windows 2000's.
source "$(dirname "$0")/../lib/krb5.sh"
source "$(dirname "$0")/../lib/heimdal-kdc.sh"
settings <<EOF
[platform]
fips = false
EOF
render krb5-cac "$REALM" 127.0.0.1 "$KDC_PORT"
heimdal_pkinit_sign_in "$CAC_FILE" PK-INIT-IETF
