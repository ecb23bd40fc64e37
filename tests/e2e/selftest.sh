#!/usr/bin/env bash
# The suite's test of itself: a target row run again with its file broken on
# purpose (a sed script, before the sign-in) or its server set up wrong must
# FAIL, and for the server's reason. A suite that cannot fail proves nothing.
source "$(dirname "$0")/lib/common.sh"

#   name                         target row; the break (sed script); what it does; what the FAIL must say; [its VAR=VALUE]
# hostapd's EAP server must refuse the inner MSCHAPv2 response.
row dot1x-wrong-password         dot1x/peap 's/^\(    password=\).*/\1"Not-alices-pw"/' "a wrong password" \
  'EAP-MSCHAPV2: Invalid NT-Response'
row dot1x-radius-wrong-password  dot1x/radius-md5 's/^\(    password=\).*/\1"Not-alices-pw"/' "a wrong password" \
  'Login incorrect|Access-Reject'
# Same KDC, another realm: the KDC must not know the user there.
row krb5-wrong-realm             'krb5/krb5 [mit]' 's/TVR\.TEST/WRONG.TEST/g' "a wrong realm" \
  'KDC: .*CLIENT_NOT_FOUND: alice@WRONG.TEST'
row smartcard-wrong-realm        'smartcard/cac [heimdal]' 's/TVR\.TEST/WRONG.TEST/g' "a wrong realm" \
  'KDC: .*CLIENT_NOT_FOUND: carol@WRONG.TEST'
row smb-wrong-share              smb/filing-upload 's|^\(\tpath = /\)scans|\1nosuch|' "a wrong share" \
  'NT_STATUS_BAD_NETWORK_NAME.*failed to find service nosuch'
# Windows 2000's PKINIT file against a KDC with PKINIT off (its kinit only
# says "Password incorrect"), and turned into the RFC's: the KDC must see it.
row smartcard-win2k-no-pkinit    'smartcard/cac-win2k [heimdal]' '' "PKINIT off at the KDC" \
  'KDC: PK-INIT request but PK-INIT not enabled' E2E_KDC_PKINIT=no
row smartcard-win2k-as-rfc       'smartcard/cac-win2k [heimdal]' 's/pkinit_win2k = yes/pkinit_win2k = no/' \
  "pkinit_win2k = no" 'the KDC saw no PK-INIT-Win2k request: PK-INIT request of type PK-INIT-IETF'
# The first continuation backslash removed: Linux-PAM must read the next
# line as a broken entry and fail the stack.
row pam-broken-continuation      pam/ocsp '0,/ \\$/s/ \\$//' "a broken continued line" \
  'Linux-PAM: auth [0-9]+ .*illegal module type'

# run_row NAME TARGET SED-SCRIPT WHAT REASON-REGEX [VAR=VALUE]
run_row() {
  local target=$2 what=$4 reason=$5 result status cause
  env ${6:-} E2E_LOGS=$E2E_DIR/broken E2E_JOB_DIR=$E2E_DIR/broken E2E_ID=${E2E_ID}b "E2E_BREAK=$3" \
    bash "$E2E_ROOT/tests/e2e/${target%%/*}.sh" "${target#*/}" >"$E2E_DIR/broken.log" 2>&1
  slug result "$target"
  result=$E2E_DIR/broken/$result/result
  [ -f "$result" ] || fail "$target with $what ended without a result: $(tail -n 1 "$E2E_DIR/broken.log")"
  IFS=$'\t' read -r status _ cause <"$result"
  [ "$status" = FAIL ] || fail "$target with $what gave $status, so the suite could not see this fault: $cause"
  grep -qE -- "$reason" <<<"$cause" || fail "$target with $what FAILed, but not for the expected reason /$reason/: $cause"
  pass "$target with $what FAILs as it must: $cause"
}

main "$@"
