#!/usr/bin/env bash
# Wired 802.1X (tavrel dot1x, interface 0): the authenticator (hostapd,
# driver=wired) in one network namespace, the device (wpa_supplicant -D wired
# with the generated eth0 file, unchanged) in another, joined by a veth pair;
# EAPOL needs no addresses. hostapd is its own EAP server, or hands EAP to
# FreeRADIUS on the authenticator's loopback.
source "$(dirname "$0")/lib/common.sh"

HOSTAPD=$DEPS/hostapd/usr/sbin/hostapd
FREERADIUS=$DEPS/freeradius/usr/sbin/freeradius
WIRED_FILE=/etc/wpa_supplicant/eth0/wpa_supplicant.conf
RADIUS_SECRET=tvr-e2e-radius-secret

PW='password = "Alice-pw-1"' CA="ca_cert = \"$PKI/ca.pem\"" ANON='outer_identity = "anonymous"'
CERT="client_cert = \"$PKI/client.pem\", private_key = \"$PKI/client.key\""
ENC_CERT="client_cert = \"$PKI/client.pem\", private_key = \"$PKI/client-enc.key\", private_key_passwd = '${E2E_KEY_PASSPHRASE:-}'"
INNER='"alice" MSCHAPV2 "Alice-pw-1" [2]'
RADIUS_ALICE='"alice" Cleartext-Password := "Alice-pw-1"'
# A password with a double quote and a '#': a quoted string cannot hold it,
# so the file must write it in hex (as hostapd takes an unquoted one).
ODD_PW='Pw"with#hash-1'
HEX_PW=""
for ((i = 0; i < ${#ODD_PW}; i++)); do printf -v HEX_PW '%s%02x' "$HEX_PW" "'${ODD_PW:i:1}"; done

# The EAP server: hostapd's own, or FreeRADIUS (hostapd only authenticates
# the port, as enterprise networks run it). Its users: one line each between
# '|'. What must happen: the device signs in with that EAP method; "reject":
# a wrong password ends in FreeRADIUS's Access-Reject; METHOD?: SKIP when no
# server here has METHOD. The [dot1x] keys go with interface 0, user alice.
#   name                 server      expect     server's users                    [dot1x] keys; a line the file must have
row md5                  hostapd     MD5        '"alice" MD5 "Alice-pw-1"'        "eap_type = 0, $PW"
row mschapv2             hostapd     MSCHAPV2   '"alice" MSCHAPV2 "Alice-pw-1"'   "eap_type = 3, $PW"
row peap                 hostapd     PEAP       "* PEAP|$INNER"                   "eap_type = 1, $PW, $CA"
# The server accepts the tunnel only for the outer name, sent before it.
row peap-outer-identity  hostapd     PEAP       "\"anonymous\" PEAP|$INNER"       "eap_type = 1, $PW, $CA, $ANON"
row hex-password         hostapd     PEAP       "* PEAP|\"alice\" MSCHAPV2 $HEX_PW [2]" \
  "eap_type = 1, password = '$ODD_PW', $CA" "^    password=$HEX_PW\$"
row tls                  hostapd     TLS        '"alice" TLS'                     "eap_type = 2, $CA, $CERT"
# The key's passphrase has a double quote and a '#' too.
row tls-encrypted-key    hostapd     TLS        '"alice" TLS'                     "eap_type = 2, $CA, $ENC_CERT"
row ttls-pap             hostapd     TTLS       "* TTLS|\"alice\" TTLS-PAP \"Alice-pw-1\" [2]" "eap_type = 5, $PW, $CA, $ANON"
row ttls-mschapv2        hostapd     TTLS       "* TTLS|\"alice\" TTLS-MSCHAPV2 \"Alice-pw-1\" [2]" "eap_type = 6, $PW, $CA, $ANON"
row ttls-tls             hostapd     TTLS       '* TTLS|"alice" TLS [2]'          "eap_type = 7, $CA, $ANON, $ENC_CERT"
# hostapd has no LEAP; nor has FreeRADIUS 3.2.1 ("Ignoring EAP method 'leap',
# because it is no longer supported"): wpa_supplicant's parser proves the
# file (tests/check_wpa_supplicant.cpp).
row leap                 hostapd     LEAP?      '"alice" LEAP "Alice-pw-1"'       "eap_type = 4, $PW"
row radius-md5           freeradius  MD5        "$RADIUS_ALICE"                   "eap_type = 0, $PW"
row radius-peap          freeradius  PEAP       "$RADIUS_ALICE"                   "eap_type = 1, $PW, $CA, $ANON"
row radius-wrong-password freeradius reject     "$RADIUS_ALICE"                   'eap_type = 0, password = "Not-alices-pw"'

# FreeRADIUS's own configuration directory: one client (hostapd on
# 127.0.0.1), EAP-MD5 and PEAP with MSCHAPv2 inside (its one server checks
# the inner name and password too), the users file; logs to standard
# output, sign-ins included, and rejects at once.
radius_config() {
  local dir=$WORK/raddb
  mkdir -p "$dir/run"
  : >"$dir/dictionary"
  cat >"$dir/radiusd.conf" <<EOF
libdir = $DEPS/freeradius/usr/lib/freeradius
logdir = $dir/run
run_dir = $dir/run
log { auth = yes }
security { reject_delay = 0 }
client hostapd {
	ipaddr = 127.0.0.1
	secret = $RADIUS_SECRET
}
modules {
	eap {
		default_eap_type = md5
		md5 { }
		tls-config tls-common {
			private_key_file = $PKI/server.key
			certificate_file = $PKI/server.pem
			ca_file = $PKI/ca.pem
		}
		peap {
			tls = tls-common
			default_eap_type = mschapv2
			virtual_server = default
		}
		mschapv2 { }
	}
	mschap { }
	files { filename = $WORK/users }
}
server default {
	listen {
		type = auth
		ipaddr = 127.0.0.1
		port = 1812
	}
	authorize {
		eap
		files
		mschap
	}
	authenticate {
		Auth-Type MSCHAP {
			mschap
		}
		eap
	}
}
EOF
}

# run_row NAME SERVER EXPECT USERS KEYS [FILE-LINE]
run_row() {
  local server=$2 expect=$3 method=${3%\?} auth dev hostapd_log radius_log client used reason why client_says logins names
  tr '|' '\n' <<<"$4" >"$WORK/users"
  settings "dot1x = { interface = 0, user_name = \"alice\", $5 }"
  render dot1x
  generated "$WIRED_FILE" "${6:-}"
  netns_new auth auth
  netns_new dev dev
  ip -n "$auth" link add sw0 type veth peer name eth0 netns "$dev" || fail "cannot create the veth pair"
  ip -n "$auth" link set sw0 up && ip -n "$dev" link set eth0 up || fail "cannot bring the veth pair up"

  hostapd_log=$(server_log hostapd) radius_log=$(server_log freeradius) client=$(client_log wpa_supplicant)
  printf '%s\n' interface=sw0 driver=wired logger_stdout=-1 logger_stdout_level=0 ieee8021x=1 eapol_version=2 >"$WORK/hostapd.conf"
  if [ "$server" = freeradius ]; then
    printf '%s\n' eap_server=0 own_ip_addr=127.0.0.1 auth_server_addr=127.0.0.1 auth_server_port=1812 \
      "auth_server_shared_secret=$RADIUS_SECRET" >>"$WORK/hostapd.conf"
    radius_config
    start freeradius "$radius_log" ip netns exec "$auth" \
      "$FREERADIUS" -X -d "$WORK/raddb" -D "$DEPS/freeradius/usr/share/freeradius"
    wait_for "$radius_log" '^Ready to process requests' 10 "$LAST_PID" ||
      fail "FreeRADIUS did not start: $(last_line "$radius_log" 'rror|[Ff]ailed')"
  else
    printf '%s\n' eap_server=1 "eap_user_file=$WORK/users" "ca_cert=$PKI/ca.pem" "server_cert=$PKI/server.pem" \
      "private_key=$PKI/server.key" >>"$WORK/hostapd.conf"
  fi

  start hostapd "$hostapd_log" ip netns exec "$auth" "$HOSTAPD" -d -t "$WORK/hostapd.conf"
  if ! wait_for "$hostapd_log" 'sw0: AP-ENABLED' 10 "$LAST_PID"; then
    why=$(first_line "$hostapd_log" 'Unsupported EAP type|[Ii]nvalid|[Ff]ailed' | sed -E "s/ on line [0-9]+ in '.*'//")
    [ "$method" != "$expect" ] && grep -q "Unsupported EAP type" "$hostapd_log" &&
      skip "no $method server on Debian 12: hostapd says \"$why\", FreeRADIUS 3.2.1 dropped $method; the file is proven by wpa_supplicant's parser"
    fail "hostapd did not start: $why"
  fi

  # The file's ctrl_interface is /var/run/wpa_supplicant: a private /run
  # (in the mount namespace ip netns exec makes) keeps its socket off the host.
  start wpa_supplicant "$client" ip netns exec "$dev" sh -c 'mount -t tmpfs tvr-e2e-run /run && exec "$@"' sh \
    wpa_supplicant -D wired -i eth0 -c "$GENERATED" -t
  wait_for "$client" 'CTRL-EVENT-EAP-(SUCCESS|FAILURE)' "$TIMEOUT" "$LAST_PID"

  used=$(first_line "$client" 'CTRL-EVENT-EAP-METHOD' | sed -E 's/.*method ([0-9]+ \([^)]*\)).*/method \1/')
  if [ "$server" = freeradius ]; then
    reason=$(first_line "$radius_log" 'Login incorrect|rlm_eap.*([Ff]ail|[Ii]nvalid|[Ii]ncorrect)|Sent Access-Reject')
  else
    reason=$(first_line "$hostapd_log" '^[0-9.]+: EAP-[A-Z0-9-]+: .*([Ii]nvalid|[Ff]ail|[Mm]ismatch|[Rr]eject|[Uu]nknown|[Uu]nsupported|not found|not allowed)')
  fi
  if [ "$expect" = reject ]; then
    grep -q 'CTRL-EVENT-EAP-FAILURE' "$client" ||
      fail "a wrong password must fail, yet: $(last_line "$client" 'CTRL-EVENT-EAP-[A-Z]+' || echo 'no EAP result') (timeout ${TIMEOUT} s)"
    grep -q 'Sent Access-Reject' "$radius_log" || fail "CTRL-EVENT-EAP-FAILURE without an Access-Reject from FreeRADIUS"
    pass "wrong password refused: FreeRADIUS: $(first_line "$radius_log" 'Login incorrect') and $(first_line "$radius_log" 'Sent Access-Reject' | sed -E 's/^\([0-9]+\) //; s/ from .*//'); wpa_supplicant: CTRL-EVENT-EAP-FAILURE"
  fi
  if ! grep -q 'CTRL-EVENT-EAP-SUCCESS' "$client"; then
    client_says=$(last_line "$client" 'CTRL-EVENT-EAP-FAILURE|EAP-[A-Z0-9-]+: |Failed|failed') || true
    fail "no CTRL-EVENT-EAP-SUCCESS; wpa_supplicant: ${client_says:-no EAP result within ${TIMEOUT} s}; server: ${reason:-nothing logged}"
  fi
  [[ $used == *"($method)"* ]] || fail "signed in, but with ${used:-no method} where the file asks for $method"
  if [ "$server" = freeradius ]; then
    grep -q 'Sent Access-Accept' "$radius_log" || fail "CTRL-EVENT-EAP-SUCCESS without FreeRADIUS's Access-Accept"
    logins=$(grep -E 'Login OK: ' "$radius_log" | sed -E 's/^\([0-9]+\) +//; s/ \(from client .* via TLS tunnel\)/ inside the tunnel/; s/ \(from client .*\)$//' | paste -sd';' - | sed 's/;/; /g')
    pass "CTRL-EVENT-EAP-SUCCESS with $used; FreeRADIUS: $logins; $(first_line "$radius_log" 'Sent Access-Accept' | sed -E 's/^\([0-9]+\) //; s/ from .*//')"
  fi
  # The names hostapd's EAP server was given, outer first (its hexdumps' ASCII column).
  names=$(grep -A1 'EAP-Identity: Peer identity' "$hostapd_log" | grep -v -e 'Peer identity' -e '^--' |
    awk '{print $NF}' | paste -sd, - | sed 's/,/, /g')
  pass "CTRL-EVENT-EAP-SUCCESS with $used from hostapd's EAP server (identities it saw: ${names:-none})"
}

main "$@"
