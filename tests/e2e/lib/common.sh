# Shared by every scenario: its own scratch directory, settings snapshot,
# namespaces and servers, all undone on exit whatever happens; the result
# line the runner prints. Sourced by a scenario that tests/e2e/run started.
set -uo pipefail
: "${E2E_DIR:?start scenarios through tests/e2e/run}"

DEPS=$E2E_ROOT/build/deps
PKI=$E2E_PKI
TIMEOUT=${E2E_SIGNIN_TIMEOUT:-20}   # seconds a sign-in may take before it counts as failed

WORK=$(mktemp -d "/tmp/$E2E_TAG-$E2E_ID.XXXXXX")
ROOT=$WORK/root                     # the tool's -r: where the generated files land
mkdir -p "$ROOT"
STARTED=()                          # "PID NAME" of every server and client started
NAMESPACES=()
AFTERWARDS=()                       # commands to undo once the namespaces are gone

# Ends a process this scenario started, by its PID, and only while it still
# runs the program it was started as (a PID can be reused).
stop_pid() {
  local pid=$1 name=$2 i
  [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = "$name" ] || return 0
  kill -TERM "$pid" 2>/dev/null
  for ((i = 0; i < 50; i++)); do
    [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = "$name" ] || return 0
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null
}

cleanup() {
  local i entry ns pid pids
  trap - EXIT INT TERM HUP
  # Everything running in our namespaces now, helpers included: waited for
  # below until it is gone from the process table (a helper whose server
  # ended is reaped by init, not by us).
  local everything=""
  for ns in "${NAMESPACES[@]}"; do everything+=" $(ip netns pids "$ns" 2>/dev/null | tr '\n' ' ')"; done
  for ((i = ${#STARTED[@]} - 1; i >= 0; i--)); do
    entry=${STARTED[$i]}
    stop_pid "${entry%% *}" "${entry#* }"
  done
  for ns in "${NAMESPACES[@]}"; do
    # Whatever still runs inside a namespace of ours was started by us (the
    # helpers a server forks, such as smbd's): end it by its PID, and wait
    # until it is gone.
    for ((i = 0; i < 50; i++)); do
      pids=$(ip netns pids "$ns" 2>/dev/null)
      [ -z "$pids" ] && break
      for pid in $pids; do kill -TERM "$pid" 2>/dev/null; done
      [ $i -ge 30 ] && for pid in $pids; do kill -KILL "$pid" 2>/dev/null; done
      sleep 0.1
    done
    ip netns del "$ns" 2>/dev/null
  done
  for entry in "${AFTERWARDS[@]}"; do eval "$entry"; done
  for ((i = 0; i < 50; i++)); do
    pids=""
    for pid in $everything; do [ -d "/proc/$pid" ] && pids+=" $pid"; done
    [ -z "$pids" ] && break
    sleep 0.1
  done
  rm -rf "$WORK"
  rm -f "$E2E_DIR/netns" "$E2E_DIR/pids"
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

# The result: one line for the runner, then the scenario ends.
result() { printf '%s\t%s\n' "$1" "$2" >"$E2E_DIR/result"; }
pass() { result PASS "$*"; exit 0; }
fail() { result FAIL "$*"; exit 1; }
skip() { result SKIP "$*"; exit 77; }

# A network namespace of this scenario, loopback up (ns_name ROLE gives its name).
netns_new() {
  local ns=$E2E_TAG-$E2E_ID-$1
  ip netns add "$ns" || fail "cannot create network namespace $ns"
  NAMESPACES+=("$ns")
  echo "$ns" >>"$E2E_DIR/netns"   # for the runner's sweep, should this scenario be killed
  ip -n "$ns" link set lo up
}
ns_name() { echo "$E2E_TAG-$E2E_ID-$1"; }

# start NAME LOG COMMAND...: runs COMMAND in the background, output to LOG;
# NAME is the program it ends up as (ip netns exec and setsid exec in place,
# so the PID stays the same). Sets LAST_PID.
start() {
  local name=$1 log=$2
  shift 2
  "$@" >"$log" 2>&1 </dev/null &
  LAST_PID=$!
  STARTED+=("$LAST_PID $name")
  echo "$LAST_PID $name" >>"$E2E_DIR/pids"
}
running() { [ -d "/proc/$1" ] && [ "$(cut -d' ' -f3 "/proc/$1/stat" 2>/dev/null)" != Z ]; }

# wait_for FILE REGEX [SECONDS [PID]]: until FILE has a line matching REGEX;
# fails early when PID (the program writing FILE) has ended.
wait_for() {
  local file=$1 regex=$2 seconds=${3:-$TIMEOUT} pid=${4:-} i
  for ((i = 0; i < seconds * 10; i++)); do
    grep -qE -- "$regex" "$file" 2>/dev/null && return 0
    if [ -n "$pid" ] && ! running "$pid"; then
      grep -qE -- "$regex" "$file" 2>/dev/null
      return
    fi
    sleep 0.1
  done
  return 1
}

# wait_listening NAMESPACE PORT [SECONDS [PID]]: until a TCP socket listens
# on PORT there.
wait_listening() {
  local ns=$1 port=$2 seconds=${3:-10} pid=${4:-} i
  for ((i = 0; i < seconds * 10; i++)); do
    [ -n "$(ip netns exec "$ns" ss -Hltn "sport = :$port" 2>/dev/null)" ] && return 0
    [ -n "$pid" ] && ! running "$pid" && return 1
    sleep 0.1
  done
  return 1
}

# The first line of FILE matching REGEX, without its timestamp.
first_line() { grep -m1 -E -- "$2" "$1" 2>/dev/null | sed -E 's/^[0-9]+\.[0-9]+: //'; }
last_line() { grep -E -- "$2" "$1" 2>/dev/null | tail -n 1 | sed -E 's/^[0-9]+\.[0-9]+: //'; }

# The scenario's own settings snapshot, from standard input.
SETTINGS=$E2E_DIR/settings.toml
settings() { cat >"$SETTINGS"; }

# render COMMAND [ARG...]: the tool writes the file from the snapshot.
render() {
  if ! "$E2E_TOOL" -s "$SETTINGS" -r "$ROOT" "$@" >"$E2E_DIR/tool.log" 2>&1; then
    fail "tavrel $* failed: $(grep -E 'ERROR|tavrel:' "$E2E_DIR/tool.log" | tail -n 1)"
  fi
}

# generated FIXED-PATH: sets GENERATED to the file as written (a copy stays
# beside the logs); a self-test (E2E_BREAK, a sed script) breaks it here on
# purpose.
generated() {
  GENERATED=$ROOT$1
  [ -f "$GENERATED" ] || fail "tavrel wrote no $1"
  if [ -n "${E2E_BREAK:-}" ]; then
    cp "$GENERATED" "$WORK/unbroken"
    sed -i -e "$E2E_BREAK" "$GENERATED"
    cmp -s "$GENERATED" "$WORK/unbroken" && fail "self-test: '$E2E_BREAK' changed nothing in $1"
  fi
  cp "$GENERATED" "$E2E_DIR/$(basename "$1")"
}

# Logs the runner shows on a failure: server-*.log and client-*.log.
server_log() { echo "$E2E_DIR/server-$1.log"; }
client_log() { echo "$E2E_DIR/client-$1.log"; }
