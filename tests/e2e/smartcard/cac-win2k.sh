#!/usr/bin/env bash
# The smart-card krb5.conf for Windows 2000 domain controllers (pkinit_win2k
# = yes): that PKINIT dialect needs an Active Directory KDC, which this
# machine cannot run. The file is rendered (and verify_krb5_conf checks its
# kind in tests/check_verify_krb5_conf.cpp), then the scenario says SKIP.
source "$(dirname "$0")/../lib/krb5.sh"
settings <<EOF
[platform]
fips = false
EOF
render krb5-cac "$REALM" 127.0.0.1 "$KDC_PORT" --win2k
generated "$CAC_FILE"
grep -q 'pkinit_win2k = yes' "$GENERATED" || fail "the win2k file does not say pkinit_win2k = yes"
skip "the win2k variant speaks Windows 2000's PKINIT: it needs an Active Directory KDC, not available here"
