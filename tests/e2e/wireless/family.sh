#!/usr/bin/env bash
# The wlan0 files, every row in one guest boot (lib/wireless.sh). The rows
# that must FAIL test the suite itself: a wrong psk, a wrong WEP key (WEP
# "connects" all the same: only traffic shows it) and a wrong EAP password.
source "$(dirname "$0")/../lib/wireless.sh"
rsn="wpa=2;wpa_key_mgmt=WPA-PSK;rsn_pairwise=CCMP"
# WPA and WPA2 both: an access point of WPA alone fails now and then under
# emulation (its first handshake message is sent again after 100 ms).
wpa="wpa=3;wpa_key_mgmt=WPA-PSK;wpa_pairwise=CCMP;rsn_pairwise=CCMP"
key=7f3a0c11e2d94b5a86c0f1e2d3c4b5a69788796a5b4c3d2e1f00112233445566
# The access point gets the key a passphrase gives (wpa_passphrase), so that
# only the device spends time deriving it.
psk() { wpa_passphrase "$1" "$2" | sed -n 's/^\tpsk=//p'; }
eap="wpa=2;wpa_key_mgmt=WPA-EAP;rsn_pairwise=CCMP;ieee8021x=1;eap_server=1;eap_user_file=@PKI@/eap_user"
eap+=";ca_cert=@PKI@/ca.pem;server_cert=@PKI@/server.pem;private_key=@PKI@/server.key"
ent='sec_mode = 5;enc_mode = 1;user_name = "alice";ca_cert = "@PKI@/ca.pem"'
peap="$ent;eap_type = 1;outer_identity = \"anonymous\""
hex_psk="sec_mode = 3;enc_mode = 1;psk = \"$key\"|$rsn;wpa_psk=$key"
rows=(
  # name|command|ssid|settings|access point's security lines|expect|sed script that breaks the file
  "wireless/open|wifi-open||sec_mode = 0||PASS"
  "wireless/wep-text|wifi-wep||sec_mode = 1;wep_key = \"Wep-1\";key_is_hex = 0|wep_key0=\"Wep-1\"|PASS"
  "wireless/wep-hex|wifi-wep||sec_mode = 1;wep_key = \"0123456789abcdef0123456789\";key_is_hex = 1|wep_key0=0123456789abcdef0123456789|PASS"
  "wireless/personal|wifi-personal|tvr-rsn|sec_mode = 3;enc_mode = 1;psk = \"Psk-secret-1\"|$rsn;wpa_psk=$(psk tvr-rsn Psk-secret-1)|PASS /PTK=CCMP/"
  "wireless/wpa-wpa2|wifi-personal|tvr-wpa|sec_mode = 2;enc_mode = 1;psk = \"Psk-secret-1\"|$wpa;wpa_psk=$(psk tvr-wpa Psk-secret-1)|PASS /PTK=CCMP/"
  "wireless/personal-hex-psk|wifi-personal||$hex_psk|PASS /PTK=CCMP/"
  "wireless/wpa-wpa2-hex-psk|wifi-personal||sec_mode = 2;enc_mode = 1;psk = \"$key\"|$wpa;wpa_psk=$key|PASS /PTK=CCMP/"
  "wireless/hex-ssid|wifi-open|say \"hi\" #1|sec_mode = 0||PASS"
  "wireless/enterprise-peap|dot1x||$peap;password = \"Alice-pw-1\"|$eap|PASS /\(PEAP\)/"
  "wireless/enterprise-tls|dot1x||$ent;eap_type = 2;client_cert = \"@PKI@/client.pem\";private_key = \"@PKI@/client.key\"|$eap|PASS /\(TLS\)/"
  "wireless/enterprise-ttls-pap|dot1x||$ent;eap_type = 5;outer_identity = \"anonymous\";password = \"Alice-pw-1\"|$eap|PASS /\(TTLS\)/"
  "wireless/wrong-psk|wifi-personal||sec_mode = 3;enc_mode = 1;psk = \"${key/7f/80}\"|$rsn;wpa_psk=$key|FAIL /4-Way Handshake failed/"
  "wireless/wrong-wep-key|wifi-wep||sec_mode = 1;wep_key = \"Wep-2\";key_is_hex = 0|wep_key0=\"Wep-1\"|FAIL /no reply/"
  "wireless/wrong-eap-password|dot1x||$peap;password = \"Not-alices\"|$eap|FAIL /CTRL-EVENT-EAP-FAILURE/"
  # Reported under selftest/: personal-hex-psk with its file's psk broken.
  "selftest/wireless-wrong-psk|wifi-personal||$hex_psk|FAIL /4-Way Handshake failed/|s/^\(    psk=\)7f/\180/"
)

# Until the runner reports a row of a family as its own line: each row's
# logs go where the runner keeps a scenario's, its line to this scenario's
# log, a failing row's logs beside it, and the result sums them up.
logs=$(dirname "$E2E_DIR")
wireless_run_family "$logs" "${rows[@]}"
declare -A count=([PASS]=0 [FAIL]=0 [SKIP]=0)
failed=""
for row in "${rows[@]}"; do
  name=${row%%|*}
  dir=$logs/${name//\//-}
  IFS=$'\t' read -r status cause <"$dir/result"
  printf '%-4s %-36s %5s s  %s\n' "$status" "$name" "$(cat "$dir/took" 2>/dev/null || echo -)" "$cause"
  count[$status]=$((count[$status] + 1))
  [ "$status" = FAIL ] || continue
  failed+="; $name: $cause"
  for log in "$dir"/*-*.log; do
    [ -f "$log" ] && cp "$log" "$E2E_DIR/$(basename "$log" .log)-${name//\//-}.log"
  done
  # A row the guest did not finish has no logs: the guest's console shows how far it got.
  [ -f "$dir/server-hostapd.log" ] || cp "$logs/wireless-guest-console.log" "$E2E_DIR/server-guest-console.log" 2>/dev/null
done
[ -n "$failed" ] && fail "${count[FAIL]} of ${#rows[@]} rows FAIL${failed}"
[ "${count[SKIP]}" = ${#rows[@]} ] && skip "$cause"
pass "${count[PASS]} rows PASS, ${count[SKIP]} SKIP, in one guest boot (their lines: $E2E_DIR/scenario.log, their logs beside it)"
