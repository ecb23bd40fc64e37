#!/usr/bin/env bash
# Smart card: smartcard/cac-win2k with pkinit_win2k turned off in its file;
# the sign-in still works, but the KDC must see the RFC's request.
source "$(dirname "$0")/../lib/selftest.sh"
selftest smartcard/cac-win2k 's/pkinit_win2k = yes/pkinit_win2k = no/' "the RFC's PKINIT asked for" \
  'the KDC saw no PK-INIT-Win2k request: PK-INIT request of type PK-INIT-IETF'
