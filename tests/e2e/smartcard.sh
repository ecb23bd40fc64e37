#!/usr/bin/env bash
# The smart-card krb5.conf (tavrel krb5-cac REALM 127.0.0.1 KDC-PORT): the
# card user signs in by PKINIT with her certificate and key (FILE:, as a card
# hands them over), the test CA on the command line (the file's anchors are
# a device path), once with each client named.
source "$(dirname "$0")/lib/kerberos.sh"

#   name                 clients        KDC                     realm; more arguments
row cac                  "mit heimdal"  mit                     "$REALM"
# The default realm must still name the realm's entry.
row cac-lower-case-realm mit            mit                     "${REALM,,}"
# Windows 2000's PKINIT: only Heimdal's kinit speaks it, only Heimdal's KDC
# (of these two) answers it; the plain file must ask for the RFC's.
row cac-win2k            heimdal        "heimdal PK-INIT-Win2k" "$REALM" --win2k
row cac-heimdal-kdc      heimdal        "heimdal PK-INIT-IETF"  "$REALM"

# run_row NAME CLIENTS KDC REALM [ARG...]
run_row() {
  KDC=$3
  settings 'platform = { fips = false }'
  render krb5-cac "$4" 127.0.0.1 "$KDC_PORT" "${@:5}"
  krb5_sign_in "$CLIENT" "$CAC_FILE" --pkinit
}

main "$@"
