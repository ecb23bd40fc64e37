#!/usr/bin/env bash
# The wlan0 files over simulated radios (mac80211_hwsim). This kernel may
# have none, so the rows share one guest: Debian's kernel under qemu
# (scripts/wireless-guest makes it), where each row gets two radios of its
# own and all rows sign in at once (lib/wireless-guest). The tool renders
# every file here; the guest sees this machine's root read-only, the job's
# scratch writable, so the paths in the files hold on both sides.
source "$(dirname "$0")/lib/common.sh"

WIRELESS_FILE=/etc/wpa_supplicant/wlan0/wpa_supplicant.conf
# Seconds the guest may take, boot included: a guard against a hung guest,
# far above its time on a busy machine (about 50 s), not a measure.
GUEST_LIMIT=${E2E_WIRELESS_LIMIT:-300}
# hostapd's EAP server for the 802.1X rows: EAP-TLS by certificate, PEAP and
# TTLS under any outer name with alice's password inside.
EAP_USERS='"alice" TLS
* PEAP,TTLS
"alice" MSCHAPV2,TTLS-PAP "Alice-pw-1" [2]'
EAP_SERVER="wpa=2 wpa_key_mgmt=WPA-EAP rsn_pairwise=CCMP ieee8021x=1 eap_server=1 ca_cert=$PKI/ca.pem
  server_cert=$PKI/server.pem private_key=$PKI/server.key"

rsn="wpa=2 wpa_key_mgmt=WPA-PSK rsn_pairwise=CCMP"
# WPA and WPA2 both: an access point of WPA alone fails now and then under
# emulation (its first handshake message is sent again after 100 ms).
wpa="wpa=3 wpa_key_mgmt=WPA-PSK wpa_pairwise=CCMP rsn_pairwise=CCMP"
key=7f3a0c11e2d94b5a86c0f1e2d3c4b5a69788796a5b4c3d2e1f00112233445566
# The access point gets the key a passphrase gives, so that only the device
# spends time deriving it.
psk() { wpa_passphrase "$1" "$2" | sed -n 's/^\tpsk=//p'; }
hex_psk="sec_mode = 3, enc_mode = 1, psk = \"$key\""
ent="sec_mode = 5, enc_mode = 1, user_name = \"alice\", ca_cert = \"$PKI/ca.pem\""
peap="$ent, eap_type = 1, outer_identity = \"anonymous\""

# The keys go with the ssid into [wireless], for dot1x into [dot1x] with
# interface 1 (its access point: the EAP server above). ssid "-": tvr-NAME.
# What must happen: PASS or FAIL, then what the cause must say.
#   name              command        ssid     keys; access point's lines ("-": none); what must happen
row open              wifi-open      -        'sec_mode = 0' - PASS
row wep-text          wifi-wep       -        'sec_mode = 1, wep_key = "Wep-1", key_is_hex = 0' 'wep_key0="Wep-1"' PASS
row wep-hex           wifi-wep       -        'sec_mode = 1, wep_key = "0123456789abcdef0123456789", key_is_hex = 1' \
  wep_key0=0123456789abcdef0123456789 PASS
row personal          wifi-personal  tvr-rsn  'sec_mode = 3, enc_mode = 1, psk = "Psk-secret-1"' \
  "$rsn wpa_psk=$(psk tvr-rsn Psk-secret-1)" 'PASS PTK=CCMP'
row wpa-wpa2          wifi-personal  tvr-wpa  'sec_mode = 2, enc_mode = 1, psk = "Psk-secret-1"' \
  "$wpa wpa_psk=$(psk tvr-wpa Psk-secret-1)" 'PASS PTK=CCMP'
row personal-hex-psk  wifi-personal  -        "$hex_psk" "$rsn wpa_psk=$key" 'PASS PTK=CCMP'
row wpa-wpa2-hex-psk  wifi-personal  -        "sec_mode = 2, enc_mode = 1, psk = \"$key\"" "$wpa wpa_psk=$key" 'PASS PTK=CCMP'
row hex-ssid          wifi-open      'say "hi" #1' 'sec_mode = 0' - PASS
row enterprise-peap   dot1x          -        "$peap, password = \"Alice-pw-1\"" - 'PASS \(PEAP\)'
row enterprise-tls    dot1x          -        "$ent, eap_type = 2, client_cert = \"$PKI/client.pem\",
  private_key = \"$PKI/client.key\"" - 'PASS \(TLS\)'
row enterprise-ttls-pap dot1x        -        "$ent, eap_type = 5, outer_identity = \"anonymous\", password = \"Alice-pw-1\"" - \
  'PASS \(TTLS\)'
# The rows that must FAIL test the suite itself: a wrong psk, a wrong WEP key
# (WEP "connects" all the same: only traffic shows it), a wrong EAP password,
# and personal-hex-psk with its file broken (sed), reported with the self-tests.
row wrong-psk         wifi-personal  -        "sec_mode = 3, enc_mode = 1, psk = \"${key/7f/80}\"" "$rsn wpa_psk=$key" \
  'FAIL 4-Way Handshake failed'
row wrong-wep-key     wifi-wep       -        'sec_mode = 1, wep_key = "Wep-2", key_is_hex = 0' 'wep_key0="Wep-1"' 'FAIL no reply'
row wrong-eap-password dot1x         -        "$peap, password = \"Not-alices\"" - 'FAIL CTRL-EVENT-EAP-FAILURE'
row selftest/wireless-wrong-psk wifi-personal - "$hex_psk" "$rsn wpa_psk=$key" 'FAIL 4-Way Handshake failed' \
  's/^\(    psk=\)7f/\180/'

# run_row NAME COMMAND SSID KEYS ACCESS-POINT EXPECT [BREAK]: the row's file
# and its access point's configuration, for the guest.
run_row() {
  local ssid=$3 quoted ap=$5
  [ "$ssid" = - ] && ssid=tvr-${1##*/}
  quoted=${ssid//\\/\\\\} quoted=${quoted//\"/\\\"}
  if [ "$2" = dot1x ]; then
    settings "dot1x = { interface = 1, ssid = \"$quoted\", $4 }"
    printf '%s\n' "$EAP_USERS" >"$WORK/eap_user"
    ap="$EAP_SERVER eap_user_file=$WORK/eap_user"
  else
    settings "wireless = { ssid = \"$quoted\", $4 }"
  fi
  render "$2"
  E2E_BREAK=${7:-} generated "$WIRELESS_FILE"
  { printf 'driver=nl80211\nhw_mode=g\nlogger_stdout=-1\nlogger_stdout_level=0\nssid2=%s\n' \
      "$(printf %s "$ssid" | od -An -tx1 | tr -d ' \n')"
    [ "$ap" = - ] || tr -s ' ' '\n' <<<"$ap"
  } >"$WORK/hostapd.conf"
  exit 0
}

# run_rows ROW...: every row's file (a row the tool fails FAILs here), one
# guest for all, then each row's result from the guest's.
run_rows() {
  local guest=$E2E_ROOT/build/guest console=$E2E_JOB_DIR/guest-console.log why="" i pid row dir work
  local columns expect want regex status cause
  each_row "$@"
  if ! why=$("$E2E_ROOT/scripts/wireless-guest" 2>&1 >/dev/null); then
    why="no guest kernel with simulated radios: $(tail -n 1 <<<"$why")"
  elif compgen -G "$JOB_WORK/*/hostapd.conf" >/dev/null; then
    # The guest's clock follows the instructions it runs (-icount): a busy
    # build machine slows it down but cannot make a handshake time out, which
    # it did now and then on real time. One processor: two took as long, with
    # twice the CPU.
    start qemu-system-x86 "$console" qemu-system-x86_64 -accel tcg -cpu max -smp 1 -icount shift=1 -m 768 \
      -nodefaults -no-user-config -display none -serial stdio -no-reboot -nic none \
      -kernel "$guest/vmlinux" -initrd "$guest/initramfs.cpio" \
      -append "console=ttyS0 panic=-1 rdinit=/init quiet tvr_run=$JOB_WORK tvr_command=$E2E_ROOT/tests/e2e/lib/wireless-guest" \
      -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
      -virtfs "local,path=$JOB_WORK,mount_tag=run,security_model=none"
    pid=$LAST_PID
    for ((i = 0; i < GUEST_LIMIT * 5; i++)); do runs_as $pid || break; sleep 0.2; done
    runs_as $pid && stop_pid $pid qemu-system-x86 && why="the guest did not end within $GUEST_LIMIT s"
  fi
  for row; do
    row_dir dir "$row"
    work=$JOB_WORK/${dir##*/}
    [ -f "$dir/result" ] && continue   # its file was not rendered
    IFS=$'\x1f' read -ra columns <<<"${ROWS[$row]}"
    expect=${columns[4]} want=${expect%% *} regex=${expect#"$want"} regex=${regex# }
    if [ -f "$work/result" ]; then
      cp "$work"/*.log "$dir/"
      IFS=$'\t' read -r status cause <"$work/result"
    else   # not run, or the guest ended first: its console shows how far it got
      status=FAIL cause=${why:-the guest ended before this row did}
      cp "$console" "$dir/server-guest-console.log" 2>/dev/null
    fi
    if [ "$status" != "$want" ]; then
      [ "$want" = FAIL ] && status=FAIL cause="this row must fail (/$regex/), yet: $cause"
    elif ! [[ $cause =~ $regex ]]; then
      status=FAIL cause="not for the expected reason /$regex/: $cause"
    elif [ "$want" = FAIL ]; then
      status=PASS cause="fails as it must: $cause"
    fi
    row_result "$row" "$status" "$cause" "$(cat "$work/took" 2>/dev/null)"
  done
}

main "$@"
