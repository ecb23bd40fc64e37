#!/usr/bin/env bash
# cf_build_krb_config_file_with_realm_only (tavrel krb5-realm): the realm's
# name is resolved as the KDC's host name (here to 127.0.0.1) and service 1's
# port is the KDC's. Signed in with MIT's kinit.
source "$(dirname "$0")/../lib/krb5.sh"
settings <<EOF
[platform]
hosts = { "$REALM" = "127.0.0.1" }
[[kerberos]]
realm = "$REALM"
kdc = ""
kdc_address = "127.0.0.1"
kdc_port = $KDC_PORT
backup_kdc = ""
backup_kdc_address = "0.0.0.0"
backup_kdc_port = 88
EOF
render krb5-realm "$REALM"
krb5_sign_in mit "$KRB5_FILE"
