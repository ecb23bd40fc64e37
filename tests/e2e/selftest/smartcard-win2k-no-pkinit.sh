#!/usr/bin/env bash
# Smart card: smartcard/cac-win2k against a KDC with PKINIT turned off; the
# KDC must refuse the request.
source "$(dirname "$0")/../lib/selftest.sh"
E2E_KDC_PKINIT=no selftest smartcard/cac-win2k '' "PKINIT turned off at the KDC" \
  'KDC: PK-INIT request but PK-INIT not enabled'
