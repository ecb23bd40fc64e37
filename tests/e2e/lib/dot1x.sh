# Wired 802.1X: the authenticator (hostapd, driver=wired) in one network
# namespace, the device (wpa_supplicant -D wired with the generated eth0 file,
# unchanged) in another, joined by a veth pair; EAPOL needs no addresses.
# hostapd is its own EAP server, or hands EAP to FreeRADIUS on the
# authenticator's loopback.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

HOSTAPD=$DEPS/hostapd/usr/sbin/hostapd
FREERADIUS=$DEPS/freeradius/usr/sbin/freeradius
RADIUS_DICTIONARIES=$DEPS/freeradius/usr/share/freeradius
WIRED_FILE=/etc/wpa_supplicant/eth0/wpa_supplicant.conf
RADIUS_SECRET=tvr-e2e-radius-secret

# The users of hostapd's own EAP server (its eap_user file), from stdin.
eap_users() { cat >"$WORK/eap_user"; }
# The users of FreeRADIUS (its users file), from stdin.
radius_users() { cat >"$WORK/radius_users"; }

# FreeRADIUS's own configuration directory: one client (hostapd on
# 127.0.0.1), EAP-MD5 and PEAP with MSCHAPv2 inside (through the usual
# inner-tunnel virtual server), the users file; logs to standard output.
radius_config() {
  local dir=$WORK/raddb
  mkdir -p "$dir/log" "$dir/run"
  : >"$dir/dictionary"
  cat >"$dir/radiusd.conf" <<EOF
prefix = $DEPS/freeradius/usr
raddbdir = $dir
confdir = $dir
logdir = $dir/log
run_dir = $dir/run
libdir = $DEPS/freeradius/usr/lib/freeradius
pidfile = $dir/run/freeradius.pid
max_request_time = 30
cleanup_delay = 5
max_requests = 64
hostname_lookups = no
log {
	destination = stdout
	auth = yes
	auth_badpass = no
	auth_goodpass = no
}
security {
	allow_core_dumps = no
	max_attributes = 200
	reject_delay = 0
	status_server = no
}
client hostapd {
	ipaddr = 127.0.0.1
	secret = $RADIUS_SECRET
}
modules {
	eap {
		default_eap_type = md5
		timer_expire = 60
		max_sessions = 16
		md5 {
		}
		tls-config tls-common {
			private_key_file = $PKI/server.key
			certificate_file = $PKI/server.pem
			ca_file = $PKI/ca.pem
			tls_min_version = "1.2"
		}
		peap {
			tls = tls-common
			default_eap_type = mschapv2
			virtual_server = inner-tunnel
		}
		mschapv2 {
		}
	}
	mschap {
	}
	files {
		filename = $WORK/radius_users
	}
}
server inner-tunnel {
	authorize {
		eap {
			ok = return
		}
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
server default {
	listen {
		type = auth
		ipaddr = 127.0.0.1
		port = 1812
	}
	authorize {
		eap {
			ok = return
		}
		files
	}
	authenticate {
		eap
	}
}
EOF
}

# dot1x_sign_in METHOD [--radius] [--expect-reject] [--skip-unsupported]
#   METHOD           the EAP method wpa_supplicant must end up using (PEAP, TLS, ...)
#   --radius         hostapd only authenticates; FreeRADIUS is the EAP server
#   --expect-reject  the sign-in must fail with an Access-Reject (a wrong password)
#   --skip-unsupported  SKIP (with the server's words) when the EAP server
#                    does not have METHOD
dot1x_sign_in() {
  local method=$1 radius=0 expect_reject=0 skip_unsupported=0
  shift
  for arg; do
    case $arg in
      --radius) radius=1 ;;
      --expect-reject) expect_reject=1 ;;
      --skip-unsupported) skip_unsupported=1 ;;
    esac
  done

  render dot1x
  generated "$WIRED_FILE"
  local file=$GENERATED

  netns_new auth
  netns_new dev
  local auth dev
  auth=$(ns_name auth) dev=$(ns_name dev)
  ip -n "$auth" link add sw0 type veth peer name eth0 netns "$dev" || fail "cannot create the veth pair"
  ip -n "$auth" link set sw0 up && ip -n "$dev" link set eth0 up || fail "cannot bring the veth pair up"

  local hostapd_log radius_log client
  hostapd_log=$(server_log hostapd)
  client=$(client_log wpa_supplicant)
  {
    echo "interface=sw0"
    echo "driver=wired"
    echo "logger_stdout=-1"
    echo "logger_stdout_level=0"
    echo "ieee8021x=1"
    echo "eapol_version=2"
    if [ $radius = 1 ]; then
      echo "eap_server=0"
      echo "own_ip_addr=127.0.0.1"
      echo "auth_server_addr=127.0.0.1"
      echo "auth_server_port=1812"
      echo "auth_server_shared_secret=$RADIUS_SECRET"
    else
      echo "eap_server=1"
      echo "eap_user_file=$WORK/eap_user"
      echo "ca_cert=$PKI/ca.pem"
      echo "server_cert=$PKI/server.pem"
      echo "private_key=$PKI/server.key"
    fi
  } >"$WORK/hostapd.conf"

  if [ $radius = 1 ]; then
    radius_config
    radius_log=$(server_log freeradius)
    start freeradius "$radius_log" ip netns exec "$auth" \
      "$FREERADIUS" -X -d "$WORK/raddb" -D "$RADIUS_DICTIONARIES"
    wait_for "$radius_log" '^Ready to process requests' 10 "$LAST_PID" ||
      fail "FreeRADIUS did not start: $(last_line "$radius_log" 'rror|[Ff]ailed')"
  fi

  start hostapd "$hostapd_log" ip netns exec "$auth" "$HOSTAPD" -d -t "$WORK/hostapd.conf"
  if ! wait_for "$hostapd_log" 'sw0: AP-ENABLED' 10 "$LAST_PID"; then
    local why
    why=$(first_line "$hostapd_log" 'Unsupported EAP type|[Ii]nvalid|[Ff]ailed' | sed -E "s/ on line [0-9]+ in '.*'//")
    if [ $skip_unsupported = 1 ] && grep -q "Unsupported EAP type" "$hostapd_log"; then
      echo "$why"   # the caller words the SKIP
      SERVER_REFUSED=$why
      return 77
    fi
    fail "hostapd did not start: $why"
  fi

  # The file's ctrl_interface is /var/run/wpa_supplicant: a private /run
  # (in the mount namespace ip netns exec makes) keeps its socket off the host.
  start wpa_supplicant "$client" ip netns exec "$dev" sh -c 'mount -t tmpfs tvr-e2e-run /run && exec "$@"' sh \
    wpa_supplicant -D wired -i eth0 -c "$file" -t
  local supplicant=$LAST_PID
  wait_for "$client" 'CTRL-EVENT-EAP-(SUCCESS|FAILURE)' "$TIMEOUT" "$supplicant"

  local used reason
  used=$(first_line "$client" 'CTRL-EVENT-EAP-METHOD' | sed -E 's/.*method ([0-9]+ \([^)]*\)).*/method \1/')
  if [ $radius = 1 ]; then
    reason=$(first_line "$radius_log" 'Login incorrect|rlm_eap.*([Ff]ail|[Ii]nvalid|[Ii]ncorrect)|Sent Access-Reject')
  else
    reason=$(first_line "$hostapd_log" '^[0-9.]+: EAP-[A-Z0-9-]+: .*([Ii]nvalid|[Ff]ail|[Mm]ismatch|[Rr]eject|[Uu]nknown|[Uu]nsupported|not found|not allowed)')
  fi

  if [ $expect_reject = 1 ]; then
    grep -q 'CTRL-EVENT-EAP-FAILURE' "$client" ||
      fail "a wrong password must fail, yet: $(last_line "$client" 'CTRL-EVENT-EAP-[A-Z]+' || echo 'no EAP result') (timeout ${TIMEOUT} s)"
    grep -q 'Sent Access-Reject' "$radius_log" || fail "CTRL-EVENT-EAP-FAILURE without an Access-Reject from FreeRADIUS"
    pass "wrong password refused: FreeRADIUS: $(first_line "$radius_log" 'Login incorrect') and $(first_line "$radius_log" 'Sent Access-Reject' | sed -E 's/^\([0-9]+\) //; s/ from .*//'); wpa_supplicant: CTRL-EVENT-EAP-FAILURE"
  fi

  if ! grep -q 'CTRL-EVENT-EAP-SUCCESS' "$client"; then
    local client_says
    client_says=$(last_line "$client" 'CTRL-EVENT-EAP-FAILURE|EAP-[A-Z0-9-]+: |Failed|failed') || true
    [ -n "$client_says" ] || client_says="no EAP result within ${TIMEOUT} s"
    fail "no CTRL-EVENT-EAP-SUCCESS; wpa_supplicant: $client_says; server: ${reason:-nothing logged}"
  fi
  case $used in
    *"($method)"*) ;;
    *) fail "signed in, but with ${used:-no method} where the file asks for $method" ;;
  esac
  if [ $radius = 1 ]; then
    grep -q 'Sent Access-Accept' "$radius_log" || fail "CTRL-EVENT-EAP-SUCCESS without FreeRADIUS's Access-Accept"
    local logins
    logins=$(grep -E 'Login OK: ' "$radius_log" | sed -E 's/^\([0-9]+\) +//; s/ \(from client .* via TLS tunnel\)/ inside the tunnel/; s/ \(from client .*\)$//' | paste -sd';' - | sed 's/;/; /g')
    pass "CTRL-EVENT-EAP-SUCCESS with $used; FreeRADIUS: $logins; $(first_line "$radius_log" 'Sent Access-Accept' | sed -E 's/^\([0-9]+\) //; s/ from .*//')"
  fi
  # The names hostapd's EAP server was given, outer first (the ASCII column
  # of its hexdumps).
  local names
  names=$(grep -A1 'EAP-Identity: Peer identity' "$hostapd_log" | grep -v -e 'Peer identity' -e '^--' |
    awk '{print $NF}' | paste -sd, - | sed 's/,/, /g')
  pass "CTRL-EVENT-EAP-SUCCESS with $used from hostapd's EAP server (identities it saw: ${names:-none})"
}
