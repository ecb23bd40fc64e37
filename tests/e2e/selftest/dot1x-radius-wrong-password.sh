#!/usr/bin/env bash
# 802.1X through RADIUS: dot1x/radius-md5 with another password in its file;
# FreeRADIUS must answer Access-Reject.
source "$(dirname "$0")/../lib/selftest.sh"
selftest dot1x/radius-md5 's/^\(    password=\).*/\1"Not-alices-pw"/' "a wrong password" \
  'Login incorrect|Access-Reject'
