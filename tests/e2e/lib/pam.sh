# PAM: the smart-card stack names device modules Debian does not have, so
# Linux-PAM itself loads the generated file from a private directory
# (pam_start_confdir, in tvr-pam-stack) with each entry's module path pointed
# at a copy of a recording module (pam_recorder.so). The copy is the only
# change: every argument stays exactly as the file has it. Then:
#   - each entry receives exactly the arguments the file gives it, in order,
#     continued lines included (the file read as plain words is the
#     reference: whatever Linux-PAM reads otherwise, a '#' that cuts an
#     argument, a broken continuation, shows as a difference);
#   - the stack has the shape the device needs (type, control, module);
#   - the control flags act as Linux-PAM defines them, each entry failing in
#     turn: requisite stops the stack, required fails it after the rest ran,
#     optional is ignored.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

PAM_FILE=/etc/pam.d/pam_cac
PAM_SERVICE=pam_cac
PAM_AUTH_ERR=7 PAM_PERM_DENIED=6 PAM_SUCCESS=0

# The device's stack, from stdin: one "TYPE CONTROL MODULE" line per entry.
expected_stack() { cat >"$WORK/expected-stack"; }

# run_stack FAILING-ENTRY...: one pass through the stack; sets AUTH_RC,
# ACCOUNT_RC and the record of calls in $WORK/record.
# Linux-PAM's own messages go to the client log, not to this machine's
# syslog: /dev/log, where there is one, is hidden from the program.
run_stack() {
  : >"$WORK/record"
  local out log
  log=$(client_log linux-pam)
  out=$(TVR_PAM_RECORD=$WORK/record TVR_PAM_FAIL="$*" unshare --mount sh -c '
    if [ -e /dev/log ]; then mount --bind /dev/null /dev/log || exit 1; fi
    exec "$@"' sh "$E2E_BIN/tvr-pam-stack" "$WORK/pam.d" "$PAM_SERVICE" carol 2>&1) ||
    fail "tvr-pam-stack: $out"
  { echo "== failing: ${*:-none}"; echo "$out"; } >>"$log"
  AUTH_RC=$(sed -nE 's/^auth ([0-9]+) .*/\1/p' <<<"$out")
  ACCOUNT_RC=$(sed -nE 's/^account ([0-9]+) .*/\1/p' <<<"$out")
  AUTH_TEXT=$(sed -nE 's/^auth [0-9]+ //p' <<<"$out")
  PAM_SAYS=$(grep -v -E '^(auth|account) [0-9]+ ' <<<"$out" | head -n 1 | sed -E 's/^tvr-pam-stack: //')
}

# An entry's name in messages: the module, or for pam_forked.so the module
# it runs (its first argument).
label() {
  local name=${1##*/}
  [ "$name" = pam_forked.so ] && name="forked:$(basename "${2%%$'\t'*}")"
  echo "$name"
}

# The entries that ran for FUNCTION, in order ("e2-pam_forked.so ...").
ran() { awk -F'\t' -v f="$1" '$1 == f {printf "%s%s", sep, $2; sep = " "}' "$WORK/record"; }

pam_stack_check() {
  generated "$PAM_FILE"
  local file=$GENERATED
  mkdir -p "$WORK/pam.d" "$WORK/modules"
  # The copy for Linux-PAM (module paths rewritten, nothing else) and the
  # reference: one line per entry, "TYPE CONTROL MODULE ENTRY <TAB> ARGS" with
  # the arguments tab-separated, continued lines joined as plain words.
  awk -v modules="$WORK/modules" -v copy="$WORK/pam.d/$PAM_SERVICE" -v reference="$WORK/reference" '
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
        if (line ~ /^[ \t]*(#|$)/) { print line > copy; next }
        if (!match(line, /^[ \t]*[^ \t]+[ \t]+[^ \t]+[ \t]+/)) { print line > copy; next }
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
    END { flush() }' "$file"
  [ -s "$WORK/reference" ] || fail "the file has no PAM entry"
  local entry
  for entry in $(cut -f1 "$WORK/reference" | awk '{print $4}'); do
    cp "$E2E_BIN/pam_recorder.so" "$WORK/modules/$entry"
  done

  # Everything succeeds: every entry runs once, with exactly its arguments.
  run_stack
  [ "$AUTH_RC" = $PAM_SUCCESS ] && [ "$ACCOUNT_RC" = $PAM_SUCCESS ] ||
    fail "Linux-PAM: auth $AUTH_RC ($AUTH_TEXT), account $ACCOUNT_RC with every module succeeding; ${PAM_SAYS:-it logged nothing}"

  # The shape the device needs.
  local shape
  shape=$(cut -f1 "$WORK/reference" | awk '{print $1, $2, $3}')
  [ "$shape" = "$(cat "$WORK/expected-stack")" ] ||
    fail "the stack is not the device's: file has [$(paste -sd';' - <<<"$shape")], device needs [$(paste -sd';' "$WORK/expected-stack")]"
  local type control module args got summary=""
  while IFS=$'\t' read -r head args; do
    read -r type control module entry <<<"$head"
    grep -qP "^$type\t$entry\t" "$WORK/record" || fail "Linux-PAM never called $entry ($type $control $module)"
    got=$(awk -F'\t' -v f="$type" -v e="$entry" '$1 == f && $2 == e {
      out = ""; for (i = 4; i <= NF; i++) out = out (i > 4 ? "\t" : "") $i; print out; exit }' "$WORK/record")
    [ "$got" = "$args" ] ||
      fail "$type entry $module received [$(tr '\t' ' ' <<<"$got")] where the file gives [$(tr '\t' ' ' <<<"$args")]"
    summary+="${summary:+, }$(label "$module" "$args") $([ -n "$args" ] && awk -F'\t' '{print NF}' <<<"$args" || echo 0)"
  done <"$WORK/reference"

  # Each entry failing in turn.
  local all_auth expect_ran expect_rc behaviour=""
  all_auth=$(awk '$1 == "auth" {print $4}' "$WORK/reference" | paste -sd' ' -)
  while IFS=$'\t' read -r head args; do
    read -r type control module entry <<<"$head"
    run_stack "$entry"
    if [ "$type" = auth ]; then
      case $control in
        requisite) expect_ran=$(awk -v e="$entry" '$1 == "auth" {printf "%s%s", sep, $4; sep = " "; if ($4 == e) exit}' "$WORK/reference")
                   expect_rc=$PAM_AUTH_ERR ;;
        required)  expect_ran=$all_auth expect_rc=$PAM_AUTH_ERR ;;
        optional)  expect_ran=$all_auth expect_rc=$PAM_SUCCESS ;;
        *) fail "unexpected control '$control' for $module" ;;
      esac
      [ "$(ran auth)" = "$expect_ran" ] ||
        fail "with $module ($control) failing, Linux-PAM ran [$(ran auth)] where $control means [$expect_ran]"
      [ "$AUTH_RC" = "$expect_rc" ] ||
        fail "with $module ($control) failing, pam_authenticate gave $AUTH_RC ($AUTH_TEXT) where $control means $expect_rc"
    else
      [ "$control" = required ] || fail "unexpected control '$control' for $type $module"
      [ "$ACCOUNT_RC" = $PAM_PERM_DENIED ] ||
        fail "with $module ($type required) failing, pam_acct_mgmt gave $ACCOUNT_RC"
    fi
    behaviour+="${behaviour:+, }$(label "$module" "$args") $control"
  done <"$WORK/reference"
  pass "Linux-PAM gave each entry exactly the file's arguments ($summary); failing in turn, $behaviour behaved as Linux-PAM defines"
}
