#!/usr/bin/env bash
# build_smb_conf_for_filing (tavrel smb-filing), NTLMv2 on: a scan uploaded
# to the share and folder the file names lands, signed in with NTLMv2.
source "$(dirname "$0")/../lib/smb.sh"
settings <<EOF
[network]
address = "127.0.0.1"
netmask = "255.0.0.0"
[config]
"services[scan2file].resolveHostname" = false
"services[scan2file].SMBSecurity.NTLMv2Only" = true
EOF
render smb-filing 127.0.0.1 "$SHARE\\inbox"
smbd_start
filing_upload
