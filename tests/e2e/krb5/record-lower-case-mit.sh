#!/usr/bin/env bash
# cf_build_krb_conf_with_XML_data (tavrel krb5-record) with the realm in lower
# case, as a user may type it: the file's default realm must still name its
# realm entry, or kinit finds no KDC for it. Signed in with MIT's kinit.
source "$(dirname "$0")/../lib/krb5.sh"
settings <<EOF
[krb5_record]
realm = "${REALM,,}"
kdc_hostname = ""
kdc_ip_address = "127.0.0.1"
kdc_port = $KDC_PORT
backup_kdc_hostname = ""
backup_kdc_ip_address = ""
backup_kdc_port = 0
EOF
render krb5-record
krb5_sign_in mit "$KRB5_FILE"
