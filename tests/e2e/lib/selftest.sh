# The suite's test of itself: a scenario run again with its generated file
# broken on purpose (a sed script applied to the file before the sign-in)
# must FAIL, and for the server's reason. A suite that cannot fail proves
# nothing.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# selftest SCENARIO SED-SCRIPT WHAT REASON-REGEX
#   WHAT          what the break does, for the result line
#   REASON-REGEX  what the FAIL must say (the server's or client's words)
selftest() {
  local target=$1 break=$2 what=$3 reason=$4 dir=$E2E_DIR/broken status cause
  mkdir -p "$dir"
  E2E_NAME=$target E2E_DIR=$dir E2E_ID=${E2E_ID}b E2E_BREAK=$break \
    bash "$E2E_ROOT/tests/e2e/$target.sh" >"$dir/scenario.log" 2>&1
  [ -f "$dir/result" ] || fail "$target with $what ended without a result: $(tail -n 1 "$dir/scenario.log")"
  IFS=$'\t' read -r status cause <"$dir/result"
  [ "$status" = FAIL ] || fail "$target with $what gave $status, so the suite could not see this fault: $cause"
  grep -qE -- "$reason" <<<"$cause" || fail "$target with $what FAILed, but not for the expected reason /$reason/: $cause"
  pass "$target with $what FAILs as it must: $cause"
}
