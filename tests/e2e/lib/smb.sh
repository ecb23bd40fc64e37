# SMB: Samba's smbd on 127.0.0.1 in a network namespace of the scenario, on
# a port of its own, with a private configuration, directories, share and
# user; smbclient, with the generated file as its configuration (-s),
# uploads or lists there.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

SMBD=$DEPS/samba/usr/sbin/smbd
SMB_PORT=4450
WORKGROUP=TVRE2E
SHARE=scans
# smbd maps an SMB user to a Unix account; daemon exists on every Debian
# system, and the suite adds no account to the machine.
SMB_USER=daemon SMB_PASSWORD=Scan-pw-1
FILING_FILE=/etc/smb.conf.file
AUTH_FILE=/etc/smb.conf.auth

# smbd_start [NTLM-AUTH]: NTLM-AUTH is smbd's "ntlm auth" (default
# ntlmv2-only, as a default Samba server has it).
smbd_start() {
  local ntlm=${1:-ntlmv2-only} dir=$WORK/smbd
  netns_new smb
  SMB_NS=$(ns_name smb)
  SHARE_DIR=$WORK/share
  chmod 0711 "$WORK"   # smbd works in the share as the user's Unix account
  mkdir -p "$dir"/{private,lock,state,cache,pid,ncalrpc,usershares} "$SHARE_DIR"
  chmod 0777 "$SHARE_DIR"
  chmod 1755 "$dir/usershares"   # smbd reads usershares only from a directory like this
  SMBD_LOG=$(server_log smbd)
  cat >"$dir/smb.conf" <<EOF
[global]
	workgroup = $WORKGROUP
	server role = standalone server
	smb ports = $SMB_PORT
	interfaces = 127.0.0.1
	bind interfaces only = yes
	ntlm auth = $ntlm
	passdb backend = tdbsam:$dir/private/passdb.tdb
	private dir = $dir/private
	lock directory = $dir/lock
	state directory = $dir/state
	cache directory = $dir/cache
	pid directory = $dir/pid
	ncalrpc dir = $dir/ncalrpc
	log file = $SMBD_LOG
	log level = 3 auth_audit:3
	load printers = no
	printcap name = /dev/null
	disable spoolss = yes
	usershare path = $dir/usershares
[$SHARE]
	path = $SHARE_DIR
	read only = no
EOF
  printf '%s\n%s\n' "$SMB_PASSWORD" "$SMB_PASSWORD" |
    ip netns exec "$SMB_NS" smbpasswd -c "$dir/smb.conf" -a -s "$SMB_USER" >"$WORK/smbpasswd.log" 2>&1 ||
    fail "smbpasswd could not add $SMB_USER: $(tail -n 1 "$WORK/smbpasswd.log")"
  # On exit smbd signals its whole process group: give it a session of its own.
  start smbd "$SMBD_LOG" ip netns exec "$SMB_NS" setsid "$SMBD" --foreground --no-process-group \
    --debug-stdout -s "$dir/smb.conf"
  wait_listening "$SMB_NS" "$SMB_PORT" 15 "$LAST_PID" ||
    fail "smbd did not start: $(tail -n 1 "$SMBD_LOG")"
}

# smb_client CONF SERVICE COMMANDS: smbclient with CONF as its only
# configuration; output in the client log, status in SMB_RC. Samba's own
# state directories, when this machine has them, are private to the call.
smb_client() {
  local conf=$1 service=$2 commands=$3
  SMB_CLIENT_LOG=$(client_log smbclient)
  ip netns exec "$SMB_NS" sh -c '
    for d in /run /var/cache/samba /var/lib/samba /var/log/samba; do
      [ -d "$d" ] && mount -t tmpfs tvr-e2e "$d"
    done
    exec "$@"' sh timeout "$TIMEOUT" smbclient -s "$conf" "$service" -p "$SMB_PORT" \
    -U "$SMB_USER%$SMB_PASSWORD" -c "$commands" >"$SMB_CLIENT_LOG" 2>&1
  SMB_RC=$?
}

# The server's record of the last sign-in: "[DOMAIN]\[user] ... with [NTLMv2] status [...]".
compact_auth() { sed -E 's/^ *Auth: \[[^]]*\] user (\[[^]]*\]\\\[[^]]*\]) at \[[^]]*\] (with \[[^]]*\] status \[[^]]*\]).*/\1 \2/'; }
smbd_auth() { last_line "$SMBD_LOG" '^ *Auth: ' | compact_auth; }
# Why smbd refused: its most telling line.
smbd_reason() {
  local regex line
  for regex in 'NOT PERMITTED' 'FAILED with error' 'failed to find service' 'status \[NT_STATUS_[A-Z_]+\]'; do
    line=$(grep -E -- "$regex" "$SMBD_LOG" 2>/dev/null | grep -v 'NT_STATUS_OK' | tail -n 1)
    [ -n "$line" ] && break
  done
  echo "${line:-nothing logged}" | sed -E 's/^ +//' | compact_auth
}
smbclient_error() { grep -m1 -E 'NT_STATUS_[A-Z_]+|failed' "$SMB_CLIENT_LOG" | sed -E 's/^ +//'; }

# The share and folder the filing file names: //<default service>/<first
# part of path>, then the rest of the path as the folder.
filing_target() {
  local conf=$1
  FILING_SERVER=$(sed -nE 's/^[[:space:]]*default service = (.*)$/\1/p' "$conf")
  FILING_PATH=$(sed -nE 's/^[[:space:]]*path = (.*)$/\1/p' "$conf")
  [ -n "$FILING_SERVER" ] && [ -n "$FILING_PATH" ] || fail "the filing file names no server or path"
  local path=${FILING_PATH#/}
  FILING_SHARE=${path%%/*}
  FILING_FOLDER=${path#"$FILING_SHARE"}
  FILING_FOLDER=${FILING_FOLDER#/}
}

# filing_upload [--expect-refusal]: uploads a scan to where the filing file
# points; it must land byte for byte (or, with --expect-refusal, the server
# must refuse the sign-in).
filing_upload() {
  local expect=${1:-}
  generated "$FILING_FILE"
  local conf=$GENERATED
  filing_target "$conf"
  [ -n "$FILING_FOLDER" ] && mkdir -p "$SHARE_DIR/$FILING_FOLDER" && chmod 0777 "$SHARE_DIR/$FILING_FOLDER"
  local scan=$WORK/scan.pdf
  head -c 65536 /dev/urandom >"$scan"
  local cd_command=""
  [ -n "$FILING_FOLDER" ] && cd_command="cd \"$FILING_FOLDER\"; "
  smb_client "$conf" "//$FILING_SERVER/$FILING_SHARE" "${cd_command}put \"$scan\" scan-0001.pdf"
  if [ "$expect" = --expect-refusal ]; then
    [ $SMB_RC != 0 ] || fail "the server should refuse the sign-in, yet smbclient succeeded; smbd: $(smbd_auth)"
    pass "refused as it must be: smbclient: $(smbclient_error); smbd: $(smbd_reason)"
  fi
  if [ $SMB_RC != 0 ]; then
    [ $SMB_RC = 124 ] && fail "smbclient had no answer within $TIMEOUT s"
    fail "smbclient: $(smbclient_error); smbd: $(smbd_reason)"
  fi
  local landed=$SHARE_DIR/${FILING_FOLDER:+$FILING_FOLDER/}scan-0001.pdf
  cmp -s "$scan" "$landed" || fail "smbclient reported success but the scan did not land at $landed"
  pass "uploaded to //$FILING_SERVER/$FILING_SHARE${FILING_FOLDER:+/$FILING_FOLDER} and it landed; smbd: $(smbd_auth)"
}
