# Shared by every family file (tests/e2e/<family>.sh, run by tests/e2e/run):
# the family's table, the sandbox its rows run in (scratch, namespaces,
# servers, all undone on exit whatever happens) and each row's result.
#   FAMILY.sh --list   its rows: "own<TAB>ROW" (a job each) or "shared<TAB>ROW"
#   FAMILY.sh ROW...   runs them (ROW is "name" or "name [client]")
# A family defines run_row NAME COLUMN... (one row, ending in pass, fail or
# skip); one whose rows share an expensive set-up also defines run_rows
# ROW...: called once with every selected row, it sets up, then runs them
# (each_row ROW...) or writes each row's result itself (row_result).
set -uo pipefail
FAMILY=${0##*/} FAMILY=${FAMILY%.sh}
DEPS=${E2E_ROOT:-}/build/deps
PKI=${E2E_PKI:-}
TIMEOUT=${E2E_SIGNIN_TIMEOUT:-20}   # seconds a sign-in may take before it counts as failed

# The table: row NAME COLUMN..., in the order the rows are reported; a
# column may go on over several lines (they read as one, joined by spaces).
declare -A ROWS
ROW_NAMES=()
row() { local name=$1 IFS=$'\x1f'; shift; ROW_NAMES+=("$name"); ROWS[$name]="${*//$'\n'/ }"; }
# The lines a row reports as ("name", or "name [client]" for each client).
list_row() { echo "$1"; }
# slug VAR TEXT: a row's name as a directory name ("krb5/service [mit]" ->
# krb5-service-mit); row_dir VAR ROW: its directory under build/e2e/logs (a
# row named FAMILY/NAME reports under another family).
slug() { local s=${2//[\/ \[\]]/-}; s=${s//--/-}; printf -v "$1" '%s' "${s%-}"; }
row_dir() { local n=$2; [[ $n == */* ]] || n=$FAMILY/$n; slug "$1" "$n"; printf -v "$1" '%s' "$E2E_LOGS/${!1}"; }
# runs_as PID [NAME]: whether PID runs (the program NAME); a zombie does not.
runs_as() {
  local comm state
  { read -r comm <"/proc/$1/comm" && read -r _ _ state _ <"/proc/$1/stat"; } 2>/dev/null || return 1
  [ "$state" != Z ] && { [ -z "${2:-}" ] || [ "$comm" = "$2" ]; }
}
# stop_pid PID NAME: ends a process this job started, by its PID, and only
# while it still runs the program it was started as (a PID can be reused).
stop_pid() {
  runs_as "$1" "$2" || return 0
  kill -TERM "$1" 2>/dev/null
  until_ok 5 "" not runs_as "$1" "$2" || kill -KILL "$1" 2>/dev/null
}
not() { ! "$@"; }
# emptied NS SIGNAL: whether nothing runs in namespace NS; sends what does SIGNAL.
emptied() {
  local pids
  mapfile -t pids < <(ip netns pids "$1" 2>/dev/null)
  [ ${#pids[@]} = 0 ] || { kill -"$2" "${pids[@]}" 2>/dev/null; return 1; }
}

# undo LIST [FROM]: LIST has a line for each program started ("pid PID
# NAME") and namespace made ("netns NAME"); undoes them, last first, from
# line FROM+1 on, and drops them from LIST. A row undoes its own, a job all
# of its, the runner's sweep what a job ended by force left.
undo() {
  local list=$1 from=${2:-0} entries kind what name pid gone=""
  entries=$(tail -n "+$((from + 1))" "$list" 2>/dev/null | tac)
  [ -n "$entries" ] || return 0
  # Whatever runs in our namespaces was started by us (the helpers a server
  # forks, such as smbd's); what runs there now is waited for at the end
  # until it has left the process table (init reaps an orphan helper).
  while read -r kind what name; do
    [ "$kind" = netns ] && gone+=" $(ip netns pids "$what" 2>/dev/null | tr '\n' ' ')"
  done <<<"$entries"
  while read -r kind what name; do
    if [ "$kind" = pid ]; then stop_pid "$what" "$name"; continue; fi
    until_ok 3 "" emptied "$what" TERM || until_ok 2 "" emptied "$what" KILL
    ip netns del "$what" 2>/dev/null
  done <<<"$entries"
  for pid in $gone; do until_ok 5 "" test ! -d "/proc/$pid"; done
  sed -i "$((from + 1)),\$d" "$list"
}

# The result: one line for the runner (status, tenths of a second or -,
# cause), then the row ends.
row_result() { local dir; row_dir dir "$1"; mkdir -p "$dir"; printf '%s\t%s\t%s\n' "$2" "${4:--}" "$3" >"$dir/result"; }
result() { printf '%s\t%s\t%s\n' "$1" $(((${EPOCHREALTIME/./} - ROW_START) / 100000)) "$2" >"$E2E_DIR/result"; }
pass() { result PASS "$*"; exit 0; }
fail() { result FAIL "$*"; exit 1; }
skip() { result SKIP "$*"; exit 77; }

# each_row ROW...: each row in a subshell of its own: its directory, scratch,
# settings snapshot and generated files, its result, and what it started
# undone when it ends.
each_row() {
  local row
  for row; do
    (
      name=${row%% \[*} CLIENT="" ROW_START=${EPOCHREALTIME/./}
      [[ $row =~ \ \[(.*)\]$ ]] && CLIENT=${BASH_REMATCH[1]}
      row_dir E2E_DIR "$row"
      WORK=$JOB_WORK/${E2E_DIR##*/} ROOT=$WORK/root SETTINGS=$E2E_DIR/settings.toml   # ROOT: the tool's -r
      mkdir -p "$E2E_DIR" "$ROOT"
      mapfile -t made <"$MADE"
      trap 'undo "$MADE" '"${#made[@]}" EXIT
      [ -n "${ROWS[$name]+set}" ] || fail "$FAMILY has no row $name"
      IFS=$'\x1f' read -ra columns <<<"${ROWS[$name]}"
      run_row "$name" "${columns[@]}"
      fail "the row ended without a result"
    )
  done
}

main() {
  local kind=own row
  declare -F run_rows >/dev/null && kind=shared
  if [ "${1:-}" = --list ]; then
    for row in "${ROW_NAMES[@]}"; do
      IFS=$'\x1f' read -ra columns <<<"${ROWS[$row]}"
      list_row "$row" "${columns[@]}" | sed "s/^/$kind\t/"
    done
    exit 0
  fi
  : "${E2E_LOGS:?run the rows through tests/e2e/run}"
  MADE=$E2E_JOB_DIR/made
  JOB_WORK=$(mktemp -d "$E2E_SCRATCH/job-$E2E_ID.XXXXXX")
  chmod 0711 "$JOB_WORK"   # smbd works in its share as the user's Unix account
  mkdir -p "$E2E_JOB_DIR" && : >>"$MADE"
  trap 'undo "$MADE"; rm -rf "$JOB_WORK" "$MADE"' EXIT
  trap 'exit 129' HUP
  trap 'exit 130' INT
  trap 'exit 143' TERM
  if [ $kind = shared ]; then E2E_DIR=$E2E_JOB_DIR run_rows "$@"; else each_row "$@"; fi
}

# netns_new VAR ROLE: a network namespace of this row, loopback up; VAR is its name.
netns_new() {
  printf -v "$1" '%s' "$E2E_TAG-$E2E_ID-$2"
  ip netns add "${!1}" || fail "cannot create network namespace ${!1}"
  echo "netns ${!1}" >>"$MADE"
  ip -n "${!1}" link set lo up
}

# start NAME LOG COMMAND...: runs COMMAND in the background, output to LOG;
# NAME is the program it ends up as (ip netns exec and setsid exec in place,
# so the PID stays the same). Sets LAST_PID.
start() {
  "${@:3}" >"$2" 2>&1 </dev/null &
  LAST_PID=$!
  echo "pid $LAST_PID $1" >>"$MADE"
}

# until_ok SECONDS PID COMMAND...: until COMMAND succeeds; gives up early
# when PID (the program it waits for) has ended.
until_ok() {
  local seconds=$1 pid=$2 i
  for ((i = 0; i < seconds * 10; i++)); do
    "${@:3}" && return 0
    [ -n "$pid" ] && ! runs_as "$pid" && break
    sleep 0.1
  done 2>/dev/null
  "${@:3}"
}
# wait_for FILE REGEX [SECONDS [PID]]: until FILE has a line matching REGEX.
wait_for() { until_ok "${3:-$TIMEOUT}" "${4:-}" grep -qE -- "$2" "$1"; }

# The first (last) line of FILE matching REGEX, without its timestamp.
first_line() { grep -m1 -E -- "$2" "$1" 2>/dev/null | sed -E 's/^[0-9]+\.[0-9]+: //'; }
last_line() { grep -E -- "$2" "$1" 2>/dev/null | tail -n 1 | sed -E 's/^[0-9]+\.[0-9]+: //'; }

# settings TOML-LINE...: the row's own settings snapshot.
settings() { printf '%s\n' "$@" >"$SETTINGS"; }

# render COMMAND [ARG...]: the tool writes the file from the snapshot.
render() {
  "$E2E_TOOL" -s "$SETTINGS" -r "$ROOT" "$@" >"$E2E_DIR/tool.log" 2>&1 ||
    fail "tavrel $* failed: $(grep -E 'ERROR|tavrel:' "$E2E_DIR/tool.log" | tail -n 1)"
}

# generated FIXED-PATH [REGEX]: sets GENERATED to the file as written, which
# must have a line matching REGEX (a copy stays beside the logs); a self-test
# (E2E_BREAK, a sed script) then breaks it on purpose.
generated() {
  GENERATED=$ROOT$1
  [ -f "$GENERATED" ] || fail "tavrel wrote no $1"
  [ -z "${2:-}" ] || grep -qE -- "$2" "$GENERATED" || fail "$1 has no line matching /$2/"
  if [ -n "${E2E_BREAK:-}" ]; then
    cp "$GENERATED" "$WORK/unbroken"
    sed -i -e "$E2E_BREAK" "$GENERATED"
    cmp -s "$GENERATED" "$WORK/unbroken" && fail "self-test: '$E2E_BREAK' changed nothing in $1"
  fi
  cp "$GENERATED" "$E2E_DIR/${1##*/}"
}

# Logs the runner shows on a failure: server-*.log and client-*.log.
server_log() { echo "$E2E_DIR/server-$1.log"; }
client_log() { echo "$E2E_DIR/client-$1.log"; }
