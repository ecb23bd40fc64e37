#!/usr/bin/env bash
# SMB: Samba's smbd on 127.0.0.1 in a network namespace of the row, on a port
# of its own, with a private configuration, directories, share and user;
# smbclient, with the generated file as its configuration (-s), lists or
# uploads there.
source "$(dirname "$0")/lib/common.sh"

SMBD=$DEPS/samba/usr/sbin/smbd
SMB_PORT=4450
WORKGROUP=TVRE2E
SHARE=scans
# smbd maps an SMB user to a Unix account; daemon exists on every Debian
# system, and the suite adds no account to the machine.
SMB_USER=daemon SMB_PASSWORD=Scan-pw-1
FILING_FILE=/etc/smb.conf.file
AUTH_FILE=/etc/smb.conf.auth

# smbd's "ntlm auth"; what smbd must record: the sign-in with NTLMv2 or
# NTLMv1, or "refused". smb-auth: with the file, smbclient lists a share of
# the file's password server, in the file's workgroup; smb-filing: a scan
# uploaded where the file points lands byte for byte.
FILING="smb-filing 127.0.0.1 $SHARE\\inbox"
NTLMV2_ONLY='config = { "services[scan2file].resolveHostname" = false, "services[scan2file].SMBSecurity.NTLMv2Only" ='
#   name                   smbd             expect   tool command  settings; a line the file must have
row auth-signin            ntlmv2-only      NTLMv2   smb-auth \
  "smb = { method = \"domain\", auth = [ { domain = \"$WORKGROUP\", address = \"127.0.0.1\", hostname = \"\" } ] }"
row filing-upload          ntlmv2-only      NTLMv2   "$FILING"     "$NTLMV2_ONLY true }"
# With the NTLMv2 switch off, the file asks for NTLMv1: a default server
# refuses it, the legacy server the switch exists for accepts it.
row filing-ntlmv1-refused  ntlmv2-only      refused  "$FILING"     "$NTLMV2_ONLY false }" 'client ntlmv2 auth = no'
row filing-ntlmv1-permitted ntlmv1-permitted NTLMv1  "$FILING"     "$NTLMV2_ONLY false }"

# smbd_start NTLM-AUTH: NTLM-AUTH is smbd's "ntlm auth" (a default one's: ntlmv2-only).
smbd_start() {
  local ntlm=$1 dir=$WORK/smbd
  netns_new SMB_NS smb
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
  until_ok 15 "$LAST_PID" smbd_listening ||
    fail "smbd did not start: $(tail -n 1 "$SMBD_LOG")"
}

smbd_listening() { [ -n "$(ip netns exec "$SMB_NS" ss -Hltn "sport = :$SMB_PORT")" ]; }

# smb_client CONF SERVICE COMMANDS: smbclient with CONF as its only
# configuration; output in the client log, status in SMB_RC. Samba's own
# state directories, when this machine has them, are private to the call.
smb_client() {
  SMB_CLIENT_LOG=$(client_log smbclient)
  ip netns exec "$SMB_NS" sh -c '
    for d in /run /var/cache/samba /var/lib/samba /var/log/samba; do
      [ -d "$d" ] && mount -t tmpfs tvr-e2e "$d"
    done
    exec "$@"' sh timeout "$TIMEOUT" smbclient -s "$1" "$2" -p "$SMB_PORT" \
    -U "$SMB_USER%$SMB_PASSWORD" -c "$3" >"$SMB_CLIENT_LOG" 2>&1
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

# The value the generated file gives KEY.
file_says() { sed -nE "s/^[[:space:]]*$1 = (.*)\$/\1/p" "$GENERATED"; }

# run_row NAME NTLM-AUTH EXPECT COMMAND SETTINGS [FILE-LINE]
run_row() {
  local expect=$3 command=$4 service path folder="" scan=$WORK/scan.pdf auth
  settings 'network = { address = "127.0.0.1", netmask = "255.0.0.0" }' "$5"
  render $command
  if [ "$command" = smb-auth ]; then
    generated "$AUTH_FILE" "${6:-}"
    [ -n "$(file_says 'password server')" ] || fail "the file names no password server"
    service=//$(file_says 'password server')/$SHARE
    smbd_start "$2"
    smb_client "$GENERATED" "$service" ls
  else
    # The target: //<default service>/<path's first part>, the rest of path as the folder.
    generated "$FILING_FILE" "${6:-}"
    path=$(file_says path)
    [ -n "$(file_says 'default service')" ] && [ -n "$path" ] || fail "the filing file names no server or path"
    path=${path#/}
    service=//$(file_says 'default service')/${path%%/*}
    [[ $path == */* ]] && folder=${path#*/}
    smbd_start "$2"
    [ -n "$folder" ] && mkdir -p "$SHARE_DIR/$folder" && chmod 0777 "$SHARE_DIR/$folder"
    head -c 65536 /dev/urandom >"$scan"
    smb_client "$GENERATED" "$service" "${folder:+cd \"$folder\"; }put \"$scan\" scan-0001.pdf"
  fi
  if [ "$expect" = refused ]; then
    [ $SMB_RC != 0 ] || fail "the server should refuse the sign-in, yet smbclient succeeded; smbd: $(smbd_auth)"
    pass "refused as it must be: smbclient: $(smbclient_error); smbd: $(smbd_reason)"
  fi
  [ $SMB_RC != 124 ] || fail "smbclient had no answer within $TIMEOUT s"
  [ $SMB_RC = 0 ] || fail "smbclient: $(smbclient_error); smbd: $(smbd_reason)"
  auth=$(smbd_auth)
  [[ $auth == *"with [$expect] status [NT_STATUS_OK]" ]] || fail "signed in, but not with $expect: smbd: $auth"
  if [ "$command" = smb-auth ]; then
    [[ $auth == "[$WORKGROUP]\\[$SMB_USER] "* ]] || fail "signed in, but not in the file's workgroup $WORKGROUP: smbd: $auth"
    pass "listed $service; smbd: $auth"
  fi
  cmp -s "$scan" "$SHARE_DIR/${folder:+$folder/}scan-0001.pdf" ||
    fail "smbclient reported success but the scan did not land at $SHARE_DIR/${folder:+$folder/}scan-0001.pdf"
  pass "uploaded to $service${folder:+/$folder} and it landed; smbd: $auth"
}

main "$@"
