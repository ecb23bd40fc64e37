#!/usr/bin/env bash
# Kerberos: krb5/krb5-mit with another realm in its file (same KDC); the KDC
# must not know the user in that realm.
source "$(dirname "$0")/../lib/selftest.sh"
selftest krb5/krb5-mit 's/TVR\.TEST/WRONG.TEST/g' "a wrong realm" \
  "KDC: .*CLIENT_NOT_FOUND: alice@WRONG.TEST"
