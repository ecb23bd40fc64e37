#!/usr/bin/env bash
# The smart-card krb5.conf (tavrel krb5-cac REALM 127.0.0.1 KDC-PORT): the
# card user signs in by PKINIT with her certificate and key (FILE:, as a card
# hands them over), the test CA on the command line (the file's anchors are
# a device path), once with each client named.
source "$(dirname "$0")/lib/kerberos.sh"

#   name                 clients        realm; more arguments
row cac                  "mit heimdal"  "$REALM"
# The default realm must still name the realm's entry.
row cac-lower-case-realm mit            "${REALM,,}"
# Windows 2000's PKINIT dialect needs an Active Directory KDC, which this
# machine cannot run: the file is rendered and checked, then SKIP.
row cac-win2k            -              "$REALM" --win2k

# run_row NAME CLIENTS REALM [ARG...]
run_row() {
  settings 'platform = { fips = false }'
  render krb5-cac "$3" 127.0.0.1 "$KDC_PORT" "${@:4}"
  if [ "$2" = - ]; then
    generated "$CAC_FILE" 'pkinit_win2k = yes'
    skip "the win2k variant speaks Windows 2000's PKINIT: it needs an Active Directory KDC, not available here"
  fi
  krb5_sign_in "$CLIENT" "$CAC_FILE" --pkinit
}

main "$@"
