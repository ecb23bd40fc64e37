#!/usr/bin/env bash
# cf_build_krb_conf_with_XML_data (tavrel krb5-record): the record a sign-in
# service hands over, KDC by address on the KDC's own port. Signed in with
# Heimdal's kinit.
source "$(dirname "$0")/../lib/krb5.sh"
settings <<EOF
[krb5_record]
realm = "$REALM"
kdc_hostname = ""
kdc_ip_address = "127.0.0.1"
kdc_port = $KDC_PORT
backup_kdc_hostname = ""
backup_kdc_ip_address = ""
backup_kdc_port = 0
EOF
render krb5-record
krb5_sign_in heimdal "$KRB5_FILE"
