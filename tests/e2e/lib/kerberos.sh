# Kerberos, for the krb5 and smartcard families: an MIT KDC for the test
# realm on 127.0.0.1 in a network namespace of the row, on a port of its own
# (a file that lost its port cannot reach it); kinit with the generated file
# as KRB5_CONFIG, then klist must show the ticket-granting ticket. Clients:
# MIT's (the reader of /etc/krb5.conf) and Heimdal's.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

REALM=TVR.TEST
KDC_PORT=21088
PASSWORD_USER=alice PASSWORD=Alice-pw-1
CARD_USER=carol   # no password: PKINIT is her only way in (its certificate is in the PKI)
MIT=$DEPS/mit
HEIMDAL=$DEPS/heimdal
KRB5_FILE=/etc/krb5.conf
CAC_FILE=/usr/heimdal/etc/krb5.conf

# A row's clients are its first column ("-": none, the row signs nobody in).
list_row() {
  local client
  if [ "$2" = - ]; then echo "$1"; else for client in $2; do echo "$1 [$client]"; done; fi
}

kdc_start() {
  netns_new kdc
  KDC_NS=$(ns_name kdc) KDC_LOG=$(server_log krb5kdc)
  local db=$WORK/kdc
  mkdir -p "$db"
  # The KDC and its tools read this, never the machine's /etc/krb5.conf.
  cat >"$db/kdc.conf" <<EOF
[libdefaults]
	default_realm = $REALM
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
  local env=(env KRB5_CONFIG="$db/kdc.conf" KRB5_KDC_PROFILE="$db/kdc.conf")
  "${env[@]}" "$MIT/usr/sbin/kdb5_util" create -s -r "$REALM" -P "tvr-e2e-master-key" >"$WORK/kdb5_util.log" 2>&1 ||
    fail "kdb5_util could not create the realm: $(tail -n 1 "$WORK/kdb5_util.log")"
  printf '%s\n' "addprinc -pw $PASSWORD $PASSWORD_USER" "addprinc -nokey +requires_preauth $CARD_USER" |
    "${env[@]}" "$MIT/usr/sbin/kadmin.local" -r "$REALM" >"$WORK/kadmin.log" 2>&1 ||
    fail "kadmin.local could not add the users: $(tail -n 1 "$WORK/kadmin.log")"
  start krb5kdc "$(server_log krb5kdc-console)" ip netns exec "$KDC_NS" "${env[@]}" "$MIT/usr/sbin/krb5kdc" -n
  wait_for "$KDC_LOG" 'commencing operation' 10 "$LAST_PID" ||
    fail "krb5kdc did not start: $(tail -n 1 "$(server_log krb5kdc-console)")"
}

# krb5_sign_in CLIENT FIXED-PATH [--pkinit]: with the file at FIXED-PATH
# (rendered already, unchanged) as KRB5_CONFIG, CLIENT's kinit (mit or
# heimdal) signs alice in with her password, or with --pkinit the card user
# with her certificate and key (FILE:), trusting the test CA given on the
# command line. No realm in the name: the file's default realm decides it.
krb5_sign_in() {
  local client=$1 pkinit=${3:-} conf log user=$PASSWORD_USER how=password kinit klist rc kdc_says
  generated "$2"
  conf=$GENERATED log=$(client_log "kinit-$client")
  kdc_start
  local env=(env KRB5_CONFIG="$conf" KRB5CCNAME="FILE:$WORK/ccache")
  [ -n "$pkinit" ] && user=$CARD_USER how="PKINIT (she has no password)"
  if [ "$client" = mit ]; then
    kinit=("$MIT/usr/bin/kinit") klist=("$MIT/usr/bin/klist")
    [ -n "$pkinit" ] && kinit+=(-X "X509_user_identity=FILE:$PKI/carol.pem,$PKI/carol.key" -X "X509_anchors=FILE:$PKI/ca.pem")
  else
    kinit=("$HEIMDAL/usr/bin/kinit.heimdal" --password-file=STDIN) klist=("$HEIMDAL/usr/bin/heimtools" klist)
    # Heimdal 7.8 offers only a 1024-bit Diffie-Hellman group, which MIT's
    # KDC refuses: the reply key is then encrypted to the certificate instead.
    [ -n "$pkinit" ] && kinit=("${kinit[0]}" -C "FILE:$PKI/carol.pem,$PKI/carol.key" "--x509-anchors=FILE:$PKI/ca.pem" --pk-use-enckey)
  fi
  # A here-string, not a pipe: a kinit that never reads it (PKINIT) and ends
  # first would leave a writer to die of SIGPIPE and fail the pipeline.
  ip netns exec "$KDC_NS" "${env[@]}" timeout "$TIMEOUT" "${kinit[@]}" "$user" <<<"$PASSWORD" >"$log" 2>&1
  rc=$?
  "${env[@]}" "${klist[@]}" >>"$log" 2>&1
  kdc_says=$(last_line "$KDC_LOG" 'AS_REQ' | sed -E 's/^.*\(info\): //; s/ authtime [0-9]+, etypes \{[^}]*\},//; s/\([0-9]+\)//g; s/DEPRECATED://g')
  [ $rc != 124 ] || fail "kinit ($client) had no answer within $TIMEOUT s; KDC: ${kdc_says:-no request arrived}"
  [ $rc = 0 ] || fail "kinit ($client) ended with status $rc: $(grep -m1 -E 'kinit' "$log" |
    sed 's/^Password for [^:]*: //'); KDC: ${kdc_says:-no request arrived}"
  grep -q "krbtgt/$REALM@$REALM" "$log" || fail "kinit ($client) succeeded but klist shows no krbtgt/$REALM@$REALM"
  pass "klist ($client) shows krbtgt/$REALM@$REALM for $user@$REALM by $how; KDC: $kdc_says"
}
