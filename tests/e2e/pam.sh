#!/usr/bin/env bash
# PAM: the smart-card stack (tavrel pam-cac) names device modules Debian does
# not have, so Linux-PAM itself loads the generated file from a private
# directory (pam_start_confdir, in tvr-pam-stack) with each entry's module
# path pointed at a copy of a recording module (pam_recorder.so), nothing
# else changed. Each entry must receive exactly the file's arguments, read as
# plain words (a '#' that cuts one, a broken continuation, differs); the
# stack must have the device's shape; with each entry failing in turn,
# requisite must stop the stack, required fail it after the rest ran,
# optional be ignored.
source "$(dirname "$0")/lib/common.sh"

PAM_FILE=/etc/pam.d/pam_cac
PAM_AUTH_ERR=7 PAM_PERM_DENIED=6 PAM_SUCCESS=0

# The stack the device needs for the settings ([config] keys): its entries
# "TYPE CONTROL MODULE" (in /lib/security/) between commas.
PKINIT_STACK='auth required pam_forked, auth optional pam_cert_data, account required pam_permit'
OCSP_STACK="auth requisite pam_forked, $PKINIT_STACK"
#   name        the device's stack  settings; a line the file must have
# Kerberos PKINIT through pam_forked, the certificate hand-over, the account check.
row pkinit      "$PKINIT_STACK"     '"authentication.smartcard.ocsp.enabled" = false'
# The certificate check (requisite) comes first, with the responder's URL...
row ocsp        "$OCSP_STACK" '"authentication.smartcard.ocsp.enabled" = true,
  "authentication.smartcard.ocsp.url" = "http://ocsp.tvr.test:8080/status", "connectivity.ipproxy.enabled" = false'
# ... and behind a web proxy, the proxy as one more continued argument.
row ocsp-proxy  "$OCSP_STACK" '"authentication.smartcard.ocsp.enabled" = true,
  "authentication.smartcard.ocsp.url" = "http://ocsp.tvr.test/status", "connectivity.ipproxy.enabled" = true,
  "connectivity.ipproxy.server" = "proxy.tvr.test:3128"' 'proxy=proxy.tvr.test:3128'

# run_stack FAILING-ENTRY...: one pass through the stack; sets AUTH_RC,
# ACCOUNT_RC, AUTH_TEXT, PAM_SAYS and the record of calls in $WORK/record.
# Linux-PAM's own messages go to the client log, not to this machine's
# syslog: /dev/log, where there is one, is hidden from the program.
run_stack() {
  local out
  : >"$WORK/record"
  out=$(TVR_PAM_RECORD=$WORK/record TVR_PAM_FAIL="$*" unshare --mount sh -c '
    if [ -e /dev/log ]; then mount --bind /dev/null /dev/log || exit 1; fi
    exec "$@"' sh "$E2E_BIN/tvr-pam-stack" "$WORK/pam.d" pam_cac carol 2>&1) || fail "tvr-pam-stack: $out"
  printf '== failing: %s\n%s\n' "${*:-none}" "$out" >>"$(client_log linux-pam)"
  AUTH_RC=$(sed -nE 's/^auth ([0-9]+) .*/\1/p' <<<"$out") AUTH_TEXT=$(sed -nE 's/^auth [0-9]+ //p' <<<"$out")
  ACCOUNT_RC=$(sed -nE 's/^account ([0-9]+) .*/\1/p' <<<"$out")
  PAM_SAYS=$(grep -v -E '^(auth|account) [0-9]+ ' <<<"$out" | head -n 1 | sed -E 's/^tvr-pam-stack: //')
}
# The auth entries that ran, in order ("e1-pam_forked.so e2-pam_forked.so ...").
ran_auth() { awk -F'\t' '$1 == "auth" {printf "%s%s", sep, $2; sep = " "}' "$WORK/record"; }

# run_row NAME STACK SETTINGS [FILE-LINE]
run_row() {
  settings "config = { $3 }"
  render pam-cac
  generated "$PAM_FILE" "${4:-}"
  mkdir -p "$WORK/pam.d" "$WORK/modules"
  # The copy for Linux-PAM (module paths rewritten, nothing else) and the
  # reference: one line per entry, "TYPE CONTROL MODULE ENTRY <TAB> ARGS" with
  # the arguments tab-separated, continued lines joined as plain words.
  awk -v modules="$WORK/modules" -v copy="$WORK/pam.d/pam_cac" -v reference="$WORK/reference" '
    function flush() {
      if (words == "") return
      n = split(words, w, /[ \t]+/)
      args = ""
      for (i = 4; i <= n; i++) args = args (i > 4 ? "\t" : "") w[i]
      printf "%s %s %s %s\t%s\n", w[1], w[2], w[3], entry, args > reference
      words = ""
    }
    {
      line = $0
      if (!continued) {
        flush()
        if (line ~ /^[ \t]*(#|$)/ || !match(line, /^[ \t]*[^ \t]+[ \t]+[^ \t]+[ \t]+/)) { print line > copy; next }
        head = substr(line, 1, RLENGTH); rest = substr(line, RLENGTH + 1)
        module = rest; sub(/[ \t].*$/, "", module)
        base = module; sub(/.*\//, "", base)
        entry = sprintf("e%d-%s", ++count, base)
        print head modules "/" entry substr(rest, length(module) + 1) > copy
      } else print line > copy
      continued = (line ~ /\\$/)
      if (continued) sub(/\\$/, " ", line)
      sub(/^[ \t]+/, "", line)
      words = words (words == "" ? "" : " ") line
    }
    END { flush() }' "$GENERATED"
  [ -s "$WORK/reference" ] || fail "the file has no PAM entry"
  local type control module entry args got label summary="" behaviour="" all_auth expect_ran expect_rc shape want
  for entry in $(cut -f1 "$WORK/reference" | awk '{print $4}'); do cp "$E2E_BIN/pam_recorder.so" "$WORK/modules/$entry"; done

  # Everything succeeds: every entry runs once, with exactly its arguments.
  run_stack
  [ "$AUTH_RC" = $PAM_SUCCESS ] && [ "$ACCOUNT_RC" = $PAM_SUCCESS ] ||
    fail "Linux-PAM: auth $AUTH_RC ($AUTH_TEXT), account $ACCOUNT_RC with every module succeeding; ${PAM_SAYS:-it logged nothing}"
  # The shape the device needs.
  shape=$(cut -f1 "$WORK/reference" | awk '{print $1, $2, $3}')
  want=$(sed 's/, */\n/g' <<<"$2" | sed -E 's|[^ ]+$|/lib/security/&.so|')
  [ "$shape" = "$want" ] ||
    fail "the stack is not the device's: file has [$(paste -sd';' <<<"$shape")], device needs [$(paste -sd';' <<<"$want")]"
  all_auth=$(awk '$1 == "auth" {print $4}' "$WORK/reference" | paste -sd' ')
  cp "$WORK/record" "$WORK/all-succeed"
  while IFS=$'\t' read -r head args; do
    read -r type control module entry <<<"$head"
    # In messages, an entry is its module, or for pam_forked.so the module it runs (its first argument).
    label=${module##*/}
    [ "$label" = pam_forked.so ] && label="forked:$(basename "${args%%$'\t'*}")"
    got=$(awk -F'\t' -v f="$type" -v e="$entry" '$1 == f && $2 == e {
      sub(/^[^\t]*\t[^\t]*\t[^\t]*\t?/, ""); print; found = 1; exit } END { exit !found }' "$WORK/all-succeed") ||
      fail "Linux-PAM never called $entry ($type $control $module)"
    [ "$got" = "$args" ] ||
      fail "$type entry $module received [$(tr '\t' ' ' <<<"$got")] where the file gives [$(tr '\t' ' ' <<<"$args")]"
    summary+="${summary:+, }$label $(awk -F'\t' '{print NF}' <<<"$args")"
    # The entry failing: as its control flag means.
    run_stack "$entry"
    if [ "$type" = auth ]; then
      case $control in
        requisite) expect_ran=$(sed -E "s/( $entry).*/\1/" <<<" $all_auth") expect_rc=$PAM_AUTH_ERR ;;
        required) expect_ran=$all_auth expect_rc=$PAM_AUTH_ERR ;;
        optional) expect_ran=$all_auth expect_rc=$PAM_SUCCESS ;;
        *) fail "unexpected control '$control' for $module" ;;
      esac
      [ "$(ran_auth)" = "${expect_ran# }" ] ||
        fail "with $module ($control) failing, Linux-PAM ran [$(ran_auth)] where $control means [${expect_ran# }]"
      [ "$AUTH_RC" = "$expect_rc" ] ||
        fail "with $module ($control) failing, pam_authenticate gave $AUTH_RC ($AUTH_TEXT) where $control means $expect_rc"
    else
      [ "$control" = required ] || fail "unexpected control '$control' for $type $module"
      [ "$ACCOUNT_RC" = $PAM_PERM_DENIED ] || fail "with $module ($type required) failing, pam_acct_mgmt gave $ACCOUNT_RC"
    fi
    behaviour+="${behaviour:+, }$label $control"
  done <"$WORK/reference"
  pass "Linux-PAM gave each entry exactly the file's arguments ($summary); failing in turn, $behaviour behaved as Linux-PAM defines"
}

main "$@"
