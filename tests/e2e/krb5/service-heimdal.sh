#!/usr/bin/env bash
# cf_build_krb_conf_file_with_this (tavrel krb5-service): the caller's realm
# with the KDC of stored service 2 (whose own realm is another one). Signed
# in with Heimdal's kinit.
source "$(dirname "$0")/../lib/krb5.sh"
settings <<EOF
[[kerberos]]
realm = "ELSEWHERE.TEST"
kdc = ""
kdc_address = "192.0.2.1"
kdc_port = 88
backup_kdc = ""
backup_kdc_address = "0.0.0.0"
backup_kdc_port = 88
[[kerberos]]
realm = "OTHER.TEST"
kdc = ""
kdc_address = "127.0.0.1"
kdc_port = $KDC_PORT
backup_kdc = ""
backup_kdc_address = "0.0.0.0"
backup_kdc_port = 88
EOF
render krb5-service "$REALM" 2
krb5_sign_in heimdal "$KRB5_FILE"
