#!/usr/bin/env bash
# The filing file with the NTLMv2 switch off asks for NTLMv1
# (client ntlmv2 auth = no): a default Samba server (ntlm auth =
# ntlmv2-only) must refuse it.
source "$(dirname "$0")/../lib/smb.sh"
settings <<EOF
[network]
address = "127.0.0.1"
netmask = "255.0.0.0"
[config]
"services[scan2file].resolveHostname" = false
"services[scan2file].SMBSecurity.NTLMv2Only" = false
EOF
render smb-filing 127.0.0.1 "$SHARE\\inbox"
grep -q 'client ntlmv2 auth = no' "$ROOT$FILING_FILE" || fail "the file does not switch NTLMv2 off"
smbd_start ntlmv2-only
filing_upload --expect-refusal
