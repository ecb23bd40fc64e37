# Wireless: over the air needs radios, which only a kernel with the
# simulated-radio module (mac80211_hwsim) gives a build machine. Without it
# the scenario says SKIP with that reason (the EAP lines the wireless files
# share with the wired file are proven by the dot1x scenarios). With it: two
# simulated radios, one moved into the access point's namespace (hostapd,
# driver=nl80211), one into the device's (wpa_supplicant -D nl80211 with the
# generated wlan0 file, unchanged); success is CTRL-EVENT-CONNECTED.
source "$(dirname "${BASH_SOURCE[0]}")/dot1x.sh"

WIRELESS_FILE=/etc/wpa_supplicant/wlan0/wpa_supplicant.conf
SSID=tvr-e2e-office

hwsim_module() {
  [ -d "/lib/modules/$(uname -r)" ] && find "/lib/modules/$(uname -r)" -name 'mac80211_hwsim.ko*' -print -quit 2>/dev/null
}

# Skips unless this scenario can have two radios of its own. Radios of a
# module someone else loaded are not ours to move; ours are loaded here,
# one scenario at a time, and unloaded when the scenario ends.
hwsim_radios() {
  if [ -z "$(hwsim_module)" ] && [ ! -d /sys/module/mac80211_hwsim ]; then
    skip "this kernel ($(uname -r)) has no mac80211_hwsim, so no simulated radio to sign in over the air; the EAP lines shared with the wired file are proven by dot1x/*"
  fi
  command -v iw >/dev/null && command -v modprobe >/dev/null || fail "mac80211_hwsim needs iw and modprobe (scripts/e2e-deps installs them)"
  exec 8>>"$E2E_ROOT/build/e2e/hwsim.lock"
  flock 8
  [ -d /sys/module/mac80211_hwsim ] && skip "mac80211_hwsim is loaded already: its radios belong to someone else"
  modprobe mac80211_hwsim radios=2 || fail "modprobe mac80211_hwsim radios=2 failed"
  AFTERWARDS+=("modprobe -r mac80211_hwsim")
  local phys=() phy
  for phy in /sys/class/ieee80211/*; do
    [ "$(basename "$(readlink -f "$phy/device/driver")")" = mac80211_hwsim ] && phys+=("$(basename "$phy")")
  done
  [ ${#phys[@]} -ge 2 ] || fail "mac80211_hwsim gave ${#phys[@]} radios, not 2"
  netns_new ap
  netns_new dev
  AP_NS=$(ns_name ap) DEV_NS=$(ns_name dev)
  iw phy "${phys[0]}" set netns name "$AP_NS" && iw phy "${phys[1]}" set netns name "$DEV_NS" ||
    fail "cannot move the simulated radios into the namespaces"
  local ifname
  ifname=$(ip -n "$AP_NS" -o link show | awk -F': ' '$2 != "lo" {print $2; exit}')
  ip -n "$AP_NS" link set "$ifname" name ap0 && ip -n "$AP_NS" link set ap0 up
  ifname=$(ip -n "$DEV_NS" -o link show | awk -F': ' '$2 != "lo" {print $2; exit}')
  ip -n "$DEV_NS" link set "$ifname" name wlan0 && ip -n "$DEV_NS" link set wlan0 up
}

# wireless_sign_in RENDER-COMMAND HOSTAPD-LINE...: the access point's
# security lines, then the device signs in with the generated file.
wireless_sign_in() {
  local command=$1
  shift
  hwsim_radios
  render "$command"
  generated "$WIRELESS_FILE"
  local file=$GENERATED hostapd_log client
  hostapd_log=$(server_log hostapd) client=$(client_log wpa_supplicant)
  {
    echo "interface=ap0"
    echo "driver=nl80211"
    echo "ssid=$SSID"
    echo "hw_mode=g"
    echo "channel=1"
    echo "logger_stdout=-1"
    echo "logger_stdout_level=0"
    printf '%s\n' "$@"
  } >"$WORK/hostapd.conf"
  start hostapd "$hostapd_log" ip netns exec "$AP_NS" "$HOSTAPD" -d -t "$WORK/hostapd.conf"
  wait_for "$hostapd_log" 'ap0: AP-ENABLED' 15 "$LAST_PID" ||
    fail "hostapd did not start: $(first_line "$hostapd_log" '[Ii]nvalid|[Ff]ailed|not supported')"
  start wpa_supplicant "$client" ip netns exec "$DEV_NS" sh -c 'mount -t tmpfs tvr-e2e-run /run && exec "$@"' sh \
    wpa_supplicant -D nl80211 -i wlan0 -c "$file" -t
  wait_for "$client" 'CTRL-EVENT-CONNECTED' "$TIMEOUT" "$LAST_PID" ||
    fail "no CTRL-EVENT-CONNECTED; wpa_supplicant: $(last_line "$client" 'CTRL-EVENT-[A-Z-]+|[Ff]ail' || echo 'nothing'); hostapd: $(last_line "$hostapd_log" 'EAP-[A-Z0-9-]+: .*([Ii]nvalid|[Ff]ail)|WPA: .*([Ii]nvalid|mismatch|fail)')"
  pass "CTRL-EVENT-CONNECTED to $SSID over simulated radios"
}
