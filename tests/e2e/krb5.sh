#!/usr/bin/env bash
# Each /etc/krb5.conf builder: the tool command renders the file from the
# row's settings (TOML lines), then alice signs in with her password, once
# with each client named.
source "$(dirname "$0")/lib/kerberos.sh"

# A stored Kerberos service (REALM, its KDC's address and port), and the
# record a sign-in service hands over (krb5-record: REALM; the KDC's port).
service() { echo "{ realm = \"$1\", kdc = \"\", kdc_address = \"$2\", kdc_port = $3, backup_kdc = \"\", backup_kdc_address = \"0.0.0.0\", backup_kdc_port = 88 }"; }
record() { echo "krb5_record = { realm = \"$1\", kdc_hostname = \"\", kdc_ip_address = \"127.0.0.1\", kdc_port = $KDC_PORT, backup_kdc_hostname = \"\", backup_kdc_ip_address = \"\", backup_kdc_port = 0 }"; }
TEST_SERVICE="kerberos = [ $(service "$REALM" 127.0.0.1 "$KDC_PORT") ]"

#   name             clients        tool command            settings
row krb5             "mit heimdal"  krb5                    "$TEST_SERVICE"
# The realm's name is resolved as the KDC's host name; service 1's port is the KDC's.
row realm            "mit heimdal"  "krb5-realm $REALM"     "platform = { hosts = { \"$REALM\" = \"127.0.0.1\" } }" "$TEST_SERVICE"
row record           "mit heimdal"  krb5-record             "$(record "$REALM")"
# As a user may type it: the file's default realm must still name its realm
# entry, or kinit finds no KDC for it.
row record-lower-case mit           krb5-record             "$(record "${REALM,,}")"
# The caller's realm with the KDC of stored service 2, whose own realm is another.
row service          "mit heimdal"  "krb5-service $REALM 2" \
  "kerberos = [ $(service ELSEWHERE.TEST 192.0.2.1 88), $(service OTHER.TEST 127.0.0.1 "$KDC_PORT") ]"

# run_row NAME CLIENTS COMMAND SETTINGS...
run_row() {
  settings "${@:4}"
  render $3
  krb5_sign_in "$CLIENT" "$KRB5_FILE"
}

main "$@"
