# Kerberos, for the krb5 and smartcard families: a KDC for the test realm
# (MIT's, or Heimdal's, which logs which kind of PKINIT a request was) on
# 127.0.0.1 in a network namespace of the row, on a port of its own (a file
# that lost its port cannot reach it); kinit with the generated file as
# KRB5_CONFIG, then klist must show the ticket-granting ticket. Clients:
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
KDC=mit   # the row's KDC: mit, or "heimdal TYPE", the PKINIT request Heimdal's must log

list_row() { local client; for client in $2; do echo "$1 [$client]"; done; }   # once with each client in column 1

# With E2E_KDC_PKINIT=no Heimdal's KDC runs with PKINIT off (a self-test's).
kdc_start() {
  local db=$WORK/kdc kind=${KDC%% *} kdc ready
  netns_new KDC_NS kdc
  KDC_LOG=$(server_log "$kind-kdc")
  mkdir -p "$db"
  # The KDC and its tools read this, never the machine's /etc/krb5.conf.
  local env=(env KRB5_CONFIG="$db/kdc.conf" KRB5_KDC_PROFILE="$db/kdc.conf")
  local pkinit="pkinit_identity = FILE:$PKI/kdc.pem,$PKI/kdc.key
		pkinit_anchors = FILE:$PKI/ca.pem"
  printf '[libdefaults]\n\tdefault_realm = %s\n[logging]\n\tkdc = FILE:%s\n' "$REALM" "$KDC_LOG" >"$db/kdc.conf"
  if [ "$kind" = mit ]; then
    kdc=("$MIT/usr/sbin/krb5kdc" -n) ready='commencing operation'
    cat >>"$db/kdc.conf" <<EOF
[kdcdefaults]
	kdc_ports = $KDC_PORT
	kdc_tcp_ports = $KDC_PORT
[realms]
	$REALM = {
		database_name = $db/principal
		key_stash_file = $db/stash
		$pkinit
	}
[dbmodules]
	db_module_dir = $MIT/usr/lib/x86_64-linux-gnu/krb5/plugins/kdb
EOF
    "${env[@]}" "$MIT/usr/sbin/kdb5_util" create -s -r "$REALM" -P "tvr-e2e-master-key" &&
      printf '%s\n' "addprinc -pw $PASSWORD $PASSWORD_USER" "addprinc -nokey +requires_preauth $CARD_USER" |
      "${env[@]}" "$MIT/usr/sbin/kadmin.local" -r "$REALM"
  else
    kdc=("$DEPS/heimdal-kdc/usr/lib/heimdal-servers/kdc" --config-file="$db/kdc.conf" --ports="$KDC_PORT")
    ready='KDC started master process'
    # Without log_file kadmin writes its log under /var/lib/heimdal-kdc.
    cat >>"$db/kdc.conf" <<EOF
[kdc]
	database = {
		dbname = $db/heimdal
		mkey_file = $db/m-key
		log_file = $db/iprop.log
	}
	enable-pkinit = ${E2E_KDC_PKINIT:-yes}
	pkinit_principal_in_certificate = yes
	$pkinit
EOF
    local kadmin=("$HEIMDAL/usr/bin/kadmin.heimdal" -l -c "$db/kdc.conf")
    "${env[@]}" "$DEPS/heimdal-kdc/usr/sbin/kstash" --random-key -k "$db/m-key" &&
      "${kadmin[@]}" init --realm-max-ticket-life=unlimited --realm-max-renewable-life=unlimited "$REALM" &&
      "${kadmin[@]}" add --random-key --use-defaults "$CARD_USER@$REALM"
  fi >"$WORK/kadmin.log" 2>&1 || fail "the $kind realm could not be made: $(tail -n 1 "$WORK/kadmin.log")"
  start "${kdc[0]##*/}" "$(server_log "$kind-kdc-console")" ip netns exec "$KDC_NS" "${env[@]}" "${kdc[@]}"
  wait_for "$KDC_LOG" "$ready" 10 "$LAST_PID" ||
    fail "the $kind KDC did not start: $(tail -n 1 "$(server_log "$kind-kdc-console")")"
}

# krb5_sign_in CLIENT FIXED-PATH [--pkinit]: with the file at FIXED-PATH
# (rendered already, unchanged) as KRB5_CONFIG, CLIENT's kinit (mit or
# heimdal) signs alice in with her password, or with --pkinit the card user
# with her certificate and key (FILE:), trusting the test CA given on the
# command line. No realm in the name: the file's default realm decides it.
krb5_sign_in() {
  local client=$1 pkinit=${3:-} conf log user=$PASSWORD_USER how=password kinit klist rc says type=${KDC#* }
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
    # KDC refuses, and Windows 2000's PKINIT has none: the reply key is
    # encrypted to the certificate instead.
    [ -n "$pkinit" ] && kinit=("${kinit[0]}" -C "FILE:$PKI/carol.pem,$PKI/carol.key" "--x509-anchors=FILE:$PKI/ca.pem" --pk-use-enckey)
  fi
  # A here-string, not a pipe: a kinit that never reads it (PKINIT) and ends
  # first would leave a writer to die of SIGPIPE and fail the pipeline.
  ip netns exec "$KDC_NS" "${env[@]}" timeout "$TIMEOUT" "${kinit[@]}" "$user" <<<"$PASSWORD" >"$log" 2>&1
  rc=$?
  "${env[@]}" "${klist[@]}" >>"$log" 2>&1
  # What the KDC said: MIT's AS_REQ line; Heimdal's PKINIT kind and outcome,
  # and complaints, after its last AS-REQ.
  if [ "$KDC" = mit ]; then
    says=$(last_line "$KDC_LOG" 'AS_REQ' | sed -E 's/^.*\(info\): //; s/ authtime [0-9]+, etypes \{[^}]*\},//; s/\([0-9]+\)//g; s/DEPRECATED://g')
  else
    says=$(awk '/ AS-REQ .* from /{r=""} / PK-INIT request|PK-INIT\(.*succeeded|not |[Ff]ail|UNKNOWN|[Nn]o such|rror/{
      sub(/^[^ ]+ /, ""); r=r (r==""?"":"; ") $0} END{print r}' "$KDC_LOG")
  fi
  [ $rc != 124 ] || fail "kinit ($client) had no answer within $TIMEOUT s; KDC: ${says:-no request arrived}"
  [ $rc = 0 ] || fail "kinit ($client) ended with status $rc: $(grep -m1 -E 'kinit' "$log" |
    sed 's/^Password for [^:]*: //'); KDC: ${says:-no request arrived}"
  grep -q "krbtgt/$REALM@$REALM" "$log" || fail "kinit ($client) succeeded but klist shows no krbtgt/$REALM@$REALM"
  [ "$KDC" = mit ] || grep -q "PK-INIT request of type $type\$" "$KDC_LOG" || fail "the KDC saw no $type request: $says"
  pass "klist ($client) shows krbtgt/$REALM@$REALM for $user@$REALM by $how; KDC: $says"
}
