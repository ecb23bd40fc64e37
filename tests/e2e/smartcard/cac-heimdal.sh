#!/usr/bin/env bash
# cf_build_krb_conf_file_for_CAC (tavrel krb5-cac): the smart-card
# krb5.conf; the card user signs in by PKINIT with her certificate and key
# (FILE:, as a card would hand them over) with Heimdal's kinit.
# The file's anchor directory is a fixed device path, so the test CA is given
# on the command line.
source "$(dirname "$0")/../lib/krb5.sh"
settings <<EOF
[platform]
fips = false
EOF
render krb5-cac "$REALM" 127.0.0.1 "$KDC_PORT"
krb5_sign_in heimdal "$CAC_FILE" --pkinit
