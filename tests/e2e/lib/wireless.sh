# Wireless: the wlan0 files over simulated radios (mac80211_hwsim). This
# kernel may have none, so the whole family shares one guest: Debian's kernel
# under qemu (scripts/wireless-guest makes it), where each row gets two radios
# of its own and all rows sign in at once (the time goes mostly to the
# station's scan). The tool renders every file here on the host; the guest
# sees this machine's root read-only and the run's directory (under build/,
# at the same path on both sides, so the paths in the files hold) writable.
source "$(dirname "${BASH_SOURCE[0]}")/dot1x.sh"

WIRELESS_FILE=/etc/wpa_supplicant/wlan0/wpa_supplicant.conf
WIRELESS_LIMIT=${E2E_WIRELESS_LIMIT:-85}   # seconds the guest may take, boot included

# The users of hostapd's EAP server: EAP-TLS by certificate, PEAP and TTLS
# under any outer name with alice's password inside.
WIRELESS_EAP_USERS='"alice" TLS
* PEAP,TTLS
"alice" MSCHAPV2,TTLS-PAP "Alice-pw-1" [2]'

# wireless_run_family RESULTS_DIR ROW...
#   ROW  NAME|COMMAND|SSID|SETTINGS|HOSTAPD|EXPECT|BREAK
#     SETTINGS  the [wireless] table's lines (for COMMAND dot1x, [dot1x]'s,
#               interface 1 implied), HOSTAPD the access point's security
#               lines, both split at ';'; @PKI@ is where the certificates are.
#               SSID empty: one of the row's own.
#     EXPECT    PASS or FAIL, then /REGEX/ the cause must match; a row that
#               must FAIL reports PASS when it fails as it must
#     BREAK     a sed script that breaks the generated file (a self-test)
# Writes RESULTS_DIR/NAME/result ("STATUS<tab>cause"; a / in NAME becomes -),
# took, and beside them the settings, the file and both logs.
wireless_run_family() {
  local results=$1 run row name command ssid quoted settings hostapd expect break bad i dir out
  shift
  run=$(mktemp -d "$E2E_ROOT/build/e2e/wireless.XXXXXX") || fail "cannot make the run's directory"
  AFTERWARDS+=("rm -rf '$run'")
  mkdir -p "$run/rows" && cp -a "$PKI" "$run/pki" && printf '%s\n' "$WIRELESS_EAP_USERS" >"$run/pki/eap_user"
  local -a names=() expects=()
  i=0
  for row; do
    IFS='|' read -r name command ssid settings hostapd expect break <<<"$row"
    dir=$run/rows/$(printf '%02d' $i) out=$results/${name//\//-}
    names+=("$name") expects+=("$expect")
    mkdir -p "$dir" "$out"
    ssid=${ssid:-tvr-e2e-$i}
    {
      [ "$command" = dot1x ] && printf '[dot1x]\ninterface = 1\n' || echo '[wireless]'
      quoted=${ssid//\\/\\\\}
      echo "ssid = \"${quoted//\"/\\\"}\""
      tr ';' '\n' <<<"${settings//@PKI@/$run/pki}"
    } >"$out/settings.toml"
    {
      # The guest names the interface (-i); rows spread over the channels.
      printf 'driver=nl80211\nhw_mode=g\nchannel=%d\n' $((i % 11 + 1))
      printf 'ssid2=%s\nlogger_stdout=-1\nlogger_stdout_level=0\n' "$(printf %s "$ssid" | od -An -tx1 | tr -d ' \n')"
      [ -n "$hostapd" ] && tr ';' '\n' <<<"${hostapd//@PKI@/$run/pki}"
    } >"$dir/hostapd.conf"
    i=$((i + 1))
    bad=""
    if ! "$E2E_TOOL" -s "$out/settings.toml" -r "$dir/root" "$command" >"$out/tool.log" 2>&1; then
      bad="tavrel $command failed: $(grep -E 'ERROR|tavrel:' "$out/tool.log" | tail -n 1)"
    elif cp "$dir/root$WIRELESS_FILE" "$out/" && [ -n "$break" ]; then
      sed -i -e "$break" "$dir/root$WIRELESS_FILE" && ! cmp -s "$dir/root$WIRELESS_FILE" "$out/${WIRELESS_FILE##*/}" ||
        bad="self-test: '$break' changed nothing in the file"
      cp "$dir/root$WIRELESS_FILE" "$out/"
    fi
    [ -z "$bad" ] || { printf 'FAIL\t%s\n' "$bad" >"$out/result" && rm -rf "$dir"; }
  done

  # Rows whose file was rendered run in the guest; the rest have their result.
  # The guest's clock follows the instructions it runs (-icount): a busy
  # build machine slows it down but cannot make a handshake time out, which
  # it did now and then on real time. One processor: two took as long, with
  # twice the CPU.
  local guest=$E2E_ROOT/build/guest why="" none=FAIL status cause begin=$SECONDS pid
  if [ -z "$(ls "$run/rows")" ]; then
    :
  elif ! why=$("$E2E_ROOT/scripts/wireless-guest" 2>&1 >/dev/null); then
    why="no guest kernel with simulated radios: $(tail -n 1 <<<"$why")" none=SKIP
  else
    start qemu-system-x86 "$results/wireless-guest-console.log" qemu-system-x86_64 -accel tcg -cpu max -smp 1 -icount shift=1 -m 768 \
      -nodefaults -no-user-config -display none -serial stdio -no-reboot -nic none \
      -kernel "$guest/vmlinux" -initrd "$guest/initramfs.cpio" \
      -append "console=ttyS0 panic=-1 rdinit=/init quiet tvr_run=$run tvr_command=$E2E_ROOT/tests/e2e/lib/wireless-guest" \
      -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
      -virtfs "local,path=$run,mount_tag=run,security_model=none"
    pid=$LAST_PID
    while running $pid && [ $((SECONDS - begin)) -lt "$WIRELESS_LIMIT" ]; do sleep 0.2; done
    running $pid && stop_pid $pid qemu-system-x86 && why="the guest did not end within $WIRELESS_LIMIT s"
  fi
  for ((i = 0; i < ${#names[@]}; i++)); do
    dir=$run/rows/$(printf '%02d' $i) out=$results/${names[$i]//\//-}
    [ -d "$dir" ] || continue
    if [ ! -f "$dir/result" ]; then   # not run, or the guest ended first
      printf '%s\t%s\n' $none "${why:-the guest ended before this row did}" >"$out/result"
      continue
    fi
    cp "$dir"/*.log "$dir/took" "$out/"
    IFS=$'\t' read -r status cause <"$dir/result"
    expect=${expects[$i]}
    local want=${expect%% *} regex=${expect#* /}
    regex=${regex%/}
    [ "$want" = "$expect" ] && regex=""
    if [ "$want" = FAIL ] && [ "$status" = PASS ]; then
      status=FAIL cause="this row must fail (/$regex/), yet: $cause"
    elif [ "$status" = "$want" ] && ! grep -qE -- "$regex" <<<"$cause"; then
      status=FAIL cause="not for the expected reason /$regex/: $cause"
    elif [ "$want" = FAIL ]; then
      status=PASS cause="fails as it must: $cause"
    fi
    printf '%s\t%s\n' "$status" "$cause" >"$out/result"
  done
}
