#!/usr/bin/env bash
# SMB: smb/filing-upload with another share in its file's path; smbd must
# answer that no such share exists.
source "$(dirname "$0")/../lib/selftest.sh"
selftest smb/filing-upload 's|^\(\tpath = /\)scans|\1nosuch|' "a wrong share" \
  'NT_STATUS_BAD_NETWORK_NAME.*failed to find service nosuch'
