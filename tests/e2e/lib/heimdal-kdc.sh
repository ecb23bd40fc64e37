# Heimdal's KDC, the one that speaks both PKINIT dialects (Windows 2000's and
# the RFC's) and logs which one a request used: MIT's kinit ignores
# pkinit_win2k, so only the KDC's word shows the file asked for it. Sourced
# after krb5.sh. E2E_KDC_PKINIT=no starts the KDC with PKINIT turned off
# (the self-test's way to prove a scenario can fail).
HEIMDAL_KDC=$DEPS/heimdal-kdc

# heimdal_kdc_start: on 127.0.0.1:$KDC_PORT in a namespace of the scenario,
# with a private database holding the card user (random key: no password).
heimdal_kdc_start() {
  netns_new kdc
  KDC_NS=$(ns_name kdc)
  local db=$WORK/heimdal-kdc
  mkdir -p "$db"
  KDC_LOG=$(server_log heimdal-kdc)
  cat >"$db/kdc.conf" <<EOF
[libdefaults]
	default_realm = $REALM
[kdc]
	database = {
		dbname = $db/heimdal
		mkey_file = $db/m-key
		log_file = $db/iprop.log
	}
	enable-pkinit = ${E2E_KDC_PKINIT:-yes}
	pkinit_identity = FILE:$PKI/kdc.pem,$PKI/kdc.key
	pkinit_anchors = FILE:$PKI/ca.pem
	pkinit_principal_in_certificate = yes
[logging]
	kdc = FILE:$KDC_LOG
EOF
  # Without log_file, kadmin opens its change log under /var/lib/heimdal-kdc.
  local kadmin=("$HEIMDAL/usr/bin/kadmin.heimdal" -l -c "$db/kdc.conf")
  { KRB5_CONFIG=$db/kdc.conf "$HEIMDAL_KDC/usr/sbin/kstash" --random-key -k "$db/m-key" &&
    "${kadmin[@]}" init --realm-max-ticket-life=unlimited --realm-max-renewable-life=unlimited "$REALM" &&
    "${kadmin[@]}" add --random-key --use-defaults "$CARD_USER@$REALM"; } >"$WORK/kadmin.log" 2>&1 ||
    fail "the Heimdal realm could not be made: $(tail -n 1 "$WORK/kadmin.log")"
  start kdc "$(server_log heimdal-kdc-console)" ip netns exec "$KDC_NS" env KRB5_CONFIG="$db/kdc.conf" \
    "$HEIMDAL_KDC/usr/lib/heimdal-servers/kdc" --config-file="$db/kdc.conf" --addresses=127.0.0.1 --ports="$KDC_PORT"
  KDC_PID=$LAST_PID
  wait_for "$KDC_LOG" 'KDC started master process' 10 "$KDC_PID" ||
    fail "Heimdal's kdc did not start: $(tail -n 1 "$(server_log heimdal-kdc-console)")"
}

# The master ends its workers when it ends: nothing may stay behind.
heimdal_kdc_stop() {
  local i
  stop_pid "$KDC_PID" kdc
  for ((i = 0; i < 30; i++)); do [ -z "$(ip netns pids "$KDC_NS")" ] && return 0; sleep 0.1; done
  fail "Heimdal's kdc left processes behind: $(ip netns pids "$KDC_NS" | tr '\n' ' ')"
}

# heimdal_pkinit_sign_in FIXED-PATH TYPE: the card user signs in by PKINIT
# with Heimdal's kinit and the file at FIXED-PATH as KRB5_CONFIG, unchanged;
# klist must show the TGT and the KDC must log a request of TYPE
# (PK-INIT-Win2k or PK-INIT-IETF).
heimdal_pkinit_sign_in() {
  local type=$2 cache=$WORK/ccache log rc kdc_says
  generated "$1"
  heimdal_kdc_start
  log=$(client_log kinit-heimdal)
  local env=(env KRB5_CONFIG="$GENERATED" KRB5CCNAME="FILE:$cache")
  ip netns exec "$KDC_NS" "${env[@]}" timeout "$TIMEOUT" "$HEIMDAL/usr/bin/kinit.heimdal" \
    -C "FILE:$PKI/carol.pem,$PKI/carol.key" -D "FILE:$PKI/ca.pem" "$CARD_USER" >"$log" 2>&1
  rc=$?
  "${env[@]}" "$HEIMDAL/usr/bin/heimtools" klist >>"$log" 2>&1
  # The KDC's first complaint about the last request (its client only ever
  # says "Password incorrect").
  kdc_says=$(awk '/ AS-REQ .* from /{r=""} r=="" && /not |[Ff]ail|UNKNOWN|[Nn]o such|rror/{r=$0}
    END{sub(/^[^ ]+ /, "", r); print r}' "$KDC_LOG")
  [ $rc = 0 ] || fail "kinit (heimdal): $(grep -m1 kinit "$log"); KDC: ${kdc_says:-no complaint}"
  grep -q "krbtgt/$REALM@$REALM" "$log" || fail "kinit (heimdal) succeeded but klist shows no krbtgt/$REALM@$REALM"
  grep -q "PK-INIT request of type $type\$" "$KDC_LOG" ||
    fail "the KDC saw no $type request: $(grep -m1 -o 'PK-INIT request of type.*' "$KDC_LOG")"
  heimdal_kdc_stop
  pass "klist (heimdal) shows krbtgt/$REALM@$REALM for $CARD_USER@$REALM; KDC: PK-INIT request of type $type," \
    "$(grep -m1 -o 'PK-INIT([a-z0-9]*) pre-authentication succeeded' "$KDC_LOG")"
}
