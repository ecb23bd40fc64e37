#!/usr/bin/env bash
# build_krb5_conf (tavrel krb5): the stored Kerberos services; service 1 is
# the test realm, its KDC by address on the KDC's own port. Signed in with
# MIT's kinit.
source "$(dirname "$0")/../lib/krb5.sh"
settings <<EOF
[[kerberos]]
realm = "$REALM"
kdc = ""
kdc_address = "127.0.0.1"
kdc_port = $KDC_PORT
backup_kdc = ""
backup_kdc_address = "0.0.0.0"
backup_kdc_port = 88
EOF
render krb5
krb5_sign_in mit "$KRB5_FILE"
