# Kerberos: an MIT KDC for the test realm on 127.0.0.1 in a network namespace
# of the scenario, on a port of its own (so a file that lost its port cannot
# reach it); kinit with the generated file as KRB5_CONFIG, then klist must
# show the ticket-granting ticket. Clients: MIT's (the reader of
# /etc/krb5.conf) and Heimdal's, both unpacked by scripts/private-deps.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

REALM=TVR.TEST
KDC_PORT=21088
PASSWORD_USER=alice PASSWORD=Alice-pw-1
CARD_USER=carol   # no password: PKINIT is her only way in (its certificate is in the PKI)
MIT=$DEPS/mit
HEIMDAL=$DEPS/heimdal
KRB5_FILE=/etc/krb5.conf
CAC_FILE=/usr/heimdal/etc/krb5.conf

kdc_start() {
  netns_new kdc
  KDC_NS=$(ns_name kdc)
  local db=$WORK/kdc
  mkdir -p "$db"
  KDC_LOG=$(server_log krb5kdc)
  cat >"$db/kdc.conf" <<EOF
[kdcdefaults]
	kdc_ports = $KDC_PORT
	kdc_tcp_ports = $KDC_PORT
[realms]
	$REALM = {
		database_name = $db/principal
		key_stash_file = $db/stash
		acl_file = $db/kadm5.acl
		pkinit_identity = FILE:$PKI/kdc.pem,$PKI/kdc.key
		pkinit_anchors = FILE:$PKI/ca.pem
	}
[dbmodules]
	db_module_dir = $MIT/usr/lib/x86_64-linux-gnu/krb5/plugins/kdb
[logging]
	kdc = FILE:$KDC_LOG
EOF
  # The KDC and its tools read this, never the machine's /etc/krb5.conf.
  cat >"$db/krb5.conf" <<EOF
[libdefaults]
	default_realm = $REALM
[realms]
	$REALM = {
		kdc = 127.0.0.1:$KDC_PORT
	}
EOF
  local env=(env KRB5_CONFIG="$db/krb5.conf" KRB5_KDC_PROFILE="$db/kdc.conf")
  "${env[@]}" "$MIT/usr/sbin/kdb5_util" create -s -r "$REALM" -P "tvr-e2e-master-key" >"$WORK/kdb5_util.log" 2>&1 ||
    fail "kdb5_util could not create the realm: $(tail -n 1 "$WORK/kdb5_util.log")"
  "${env[@]}" "$MIT/usr/sbin/kadmin.local" -r "$REALM" -q "addprinc -pw $PASSWORD $PASSWORD_USER" >"$WORK/kadmin.log" 2>&1 &&
    "${env[@]}" "$MIT/usr/sbin/kadmin.local" -r "$REALM" -q "addprinc -nokey +requires_preauth $CARD_USER" >>"$WORK/kadmin.log" 2>&1 ||
    fail "kadmin.local could not add the users: $(tail -n 1 "$WORK/kadmin.log")"
  start krb5kdc "$(server_log krb5kdc-console)" ip netns exec "$KDC_NS" "${env[@]}" "$MIT/usr/sbin/krb5kdc" -n
  wait_for "$KDC_LOG" 'commencing operation' 10 "$LAST_PID" ||
    fail "krb5kdc did not start: $(tail -n 1 "$(server_log krb5kdc-console)")"
}

# krb5_sign_in CLIENT FIXED-PATH [--pkinit]
#   CLIENT  mit or heimdal
#   the file at FIXED-PATH (rendered already) is KRB5_CONFIG, unchanged;
#   --pkinit signs the card user in with her certificate and key (FILE:),
#   trusting the test CA given on the command line.
krb5_sign_in() {
  local client=$1 fixed=$2 pkinit=${3:-}
  generated "$fixed"
  local conf=$GENERATED
  kdc_start
  local log cache=$WORK/ccache user kinit klist
  log=$(client_log "kinit-$client")
  local env=(env KRB5_CONFIG="$conf" KRB5CCNAME="FILE:$cache")
  if [ "$client" = mit ]; then
    kinit=("$MIT/usr/bin/kinit") klist=("$MIT/usr/bin/klist")
    [ -n "$pkinit" ] && kinit+=(-X "X509_user_identity=FILE:$PKI/carol.pem,$PKI/carol.key" -X "X509_anchors=FILE:$PKI/ca.pem")
  else
    kinit=("$HEIMDAL/usr/bin/kinit.heimdal") klist=("$HEIMDAL/usr/bin/heimtools" klist)
    # Heimdal 7.8 offers only a 1024-bit Diffie-Hellman group, which MIT's
    # KDC refuses: the reply key is then encrypted to the certificate instead.
    [ -n "$pkinit" ] && kinit+=(-C "FILE:$PKI/carol.pem,$PKI/carol.key" "--x509-anchors=FILE:$PKI/ca.pem" --pk-use-enckey)
    [ -z "$pkinit" ] && kinit+=(--password-file=STDIN)
  fi
  # No realm in the name: the file's default realm decides it.
  if [ -n "$pkinit" ]; then user=$CARD_USER; else user=$PASSWORD_USER; fi
  local rc
  echo "$PASSWORD" | ip netns exec "$KDC_NS" "${env[@]}" timeout "$TIMEOUT" "${kinit[@]}" "$user" >"$log" 2>&1
  rc=$?
  "${env[@]}" "${klist[@]}" >>"$log" 2>&1
  local kdc_says
  kdc_says=$(last_line "$KDC_LOG" 'AS_REQ' | sed -E 's/^.*\(info\): //; s/ authtime [0-9]+, etypes \{[^}]*\},//; s/\([0-9]+\)//g; s/DEPRECATED://g')
  if [ $rc != 0 ]; then
    [ $rc = 124 ] && fail "kinit ($client) had no answer within $TIMEOUT s; KDC: ${kdc_says:-no request arrived}"
    fail "kinit ($client): $(grep -m1 -E 'kinit' "$log" | sed 's/^Password for [^:]*: //'); KDC: ${kdc_says:-no request arrived}"
  fi
  grep -q "krbtgt/$REALM@$REALM" "$log" || fail "kinit ($client) succeeded but klist shows no krbtgt/$REALM@$REALM"
  local how="password"
  [ -n "$pkinit" ] && how="PKINIT (she has no password)"
  pass "klist ($client) shows krbtgt/$REALM@$REALM for $user@$REALM by $how; KDC: $kdc_says"
}
