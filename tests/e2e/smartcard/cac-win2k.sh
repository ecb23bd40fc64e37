#!/usr/bin/env bash
# The smart-card krb5.conf for Windows 2000 domain controllers (tavrel
# krb5-cac --win2k): Heimdal's kinit must speak that PKINIT dialect to
# Heimdal's KDC, which logs the kind of request it got.
source "$(dirname "$0")/../lib/krb5.sh"
source "$(dirname "$0")/../lib/heimdal-kdc.sh"
settings <<EOF
[platform]
fips = false
EOF
render krb5-cac "$REALM" 127.0.0.1 "$KDC_PORT" --win2k
heimdal_pkinit_sign_in "$CAC_FILE" PK-INIT-Win2k
