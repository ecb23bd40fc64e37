#!/usr/bin/env bash
# The same NTLMv1 file against the legacy server the switch exists for
# (ntlm auth = ntlmv1-permitted): the upload lands, and smbd records NTLMv1.
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
smbd_start ntlmv1-permitted
filing_upload
