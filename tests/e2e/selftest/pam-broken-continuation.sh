#!/usr/bin/env bash
# PAM: pam/ocsp with the first continuation backslash of its file removed;
# Linux-PAM must read the next line as a broken entry and fail the stack.
source "$(dirname "$0")/../lib/selftest.sh"
selftest pam/ocsp '0,/ \\$/s/ \\$//' "a broken continued line" \
  'Linux-PAM: auth [0-9]+ .*illegal module type'
