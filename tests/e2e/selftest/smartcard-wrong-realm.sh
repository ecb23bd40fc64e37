#!/usr/bin/env bash
# Smart card: smartcard/cac-heimdal with another realm in its file; the
# PKINIT sign-in must fail at the KDC.
source "$(dirname "$0")/../lib/selftest.sh"
selftest smartcard/cac-heimdal 's/TVR\.TEST/WRONG.TEST/g' "a wrong realm" \
  "KDC: .*CLIENT_NOT_FOUND: carol@WRONG.TEST"
