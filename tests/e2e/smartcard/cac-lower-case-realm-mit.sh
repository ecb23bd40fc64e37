#!/usr/bin/env bash
# cf_build_krb_conf_file_for_CAC (tavrel krb5-cac) with the realm in lower
# case: the default realm must still name the realm's entry. The card user
# signs in by PKINIT with MIT's kinit (test CA on the command line, as in
# cac-mit).
source "$(dirname "$0")/../lib/krb5.sh"
settings <<EOF
[platform]
fips = false
EOF
render krb5-cac "${REALM,,}" 127.0.0.1 "$KDC_PORT"
krb5_sign_in mit "$CAC_FILE" --pkinit
