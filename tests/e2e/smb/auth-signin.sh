#!/usr/bin/env bash
# build_smb_conf_for_authentication (tavrel smb-auth): with the file as
# smbclient's configuration the user signs in to a share of the file's
# password server, in the file's workgroup (smbd records the domain).
source "$(dirname "$0")/../lib/smb.sh"
settings <<EOF
[network]
address = "127.0.0.1"
netmask = "255.0.0.0"
[smb]
method = "domain"
[[smb.auth]]
domain = "$WORKGROUP"
address = "127.0.0.1"
hostname = ""
EOF
render smb-auth
generated "$AUTH_FILE"
server=$(sed -nE 's/^[[:space:]]*password server = (.*)$/\1/p' "$GENERATED")
[ -n "$server" ] || fail "the file names no password server"
smbd_start
smb_client "$GENERATED" "//$server/$SHARE" "ls"
[ $SMB_RC = 0 ] || fail "smbclient: $(smbclient_error); smbd: $(smbd_reason)"
auth=$(smbd_auth)
case $auth in
  "[$WORKGROUP]\\[$SMB_USER] "*NT_STATUS_OK*) ;;
  *) fail "signed in, but not in the file's workgroup $WORKGROUP: smbd: $auth" ;;
esac
pass "listed //$server/$SHARE; smbd: $auth"
