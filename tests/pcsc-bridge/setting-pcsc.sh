#!/usr/bin/env bash
# OrvaneSetting's main dialog on the PC/SC path under Wine: cards on a vpcd
# reader of the tests' pcscd, reached through the test winscard.dll and
# orvane-pcsc-bridge, and the real window driven by the UI driver.
#   setting-pcsc.sh NATIVE_BIN XVFB_STATE_DIR PCSC_STATE_DIR
# FeliCa and Mifare cards read at the press and at a tick, with the reader's
# display name in the status line; a card with a short ATR (card kind 2)
# refused with IDS_CARD_UNUSABLE. Needs the harness's pcscd running
# (ctest fixture). Exit 0 pass, 1 fail, 77 skip (the Windows build is missing).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
native=$1 xstate=$2 pcsc_state=$3
# shellcheck source=../wine-ui/ui-lib.sh
. "$here/../wine-ui/ui-lib.sh"
ui_init setting-pcsc "$xstate" reads
for f in OrvaneSetting.exe winscard-bridge/winscard.dll; do
  [ -f "$UI_BIN/$f" ] || { echo "SKIP: $UI_BIN/$f not built"; exit 77; }
done
READER="Virtual PCD 00 00"
wait_tool=$native/orvane-pcsc-wait
work=$UI_OUT/work
mkdir -p "$work/app"
bridge_pid= vcard_pid=
finish() {
  ui_cleanup
  [ -n "$bridge_pid" ] && kill "$bridge_pid" 2>/dev/null
  if [ -n "$vcard_pid" ]; then
    kill "$vcard_pid" 2>/dev/null
    "$wait_tool" absent "$READER" 10000
  fi
  rm -f "$pcsc_state/bridge-2.pid" "$pcsc_state/vcard-2.pid"
}
trap finish EXIT

# The program loads winscard.dll from System32 only: the bridge goes there,
# in this suite's own prefix.
cp "$UI_BIN/OrvaneSetting.exe" "$work/app/" || ui_fail "cannot copy the program"
"$ui_root/tests/windows/winscard-bridge/install-bridge.sh" "$UI_PREFIX" "$UI_BIN/winscard-bridge/winscard.dll" \
  || ui_fail "cannot put the bridge into the prefix's System32"
"$native/orvane-pcsc-bridge" "$work/port" "$work/bridge.log" &
bridge_pid=$!
echo "$bridge_pid" >"$pcsc_state/bridge-2.pid"
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.05; done
[ -s "$work/port" ] || ui_fail "orvane-pcsc-bridge did not start"
export ORVANE_PCSC_BRIDGE_PORT
ORVANE_PCSC_BRIDGE_PORT=$(cat "$work/port")

# One virtual card whose scenario the script changes through its FIFO.
python3 "$ui_root/tests/vcard/vcard.py" felica --slot 0 --control "$work/card.ctl" &
vcard_pid=$!
echo "$vcard_pid" >"$pcsc_state/vcard-2.pid"
"$wait_tool" present "$READER" 10000 || ui_fail "pcscd does not see the card"
cat >"$work/card.sh" <<SH
#!/bin/sh
# card.sh remove | card.sh SCENARIO: take the card away, or lay another one on.
printf 'remove\n' >"$work/card.ctl"
"$wait_tool" absent "$READER" 10000 || exit 1
[ "\$1" = remove ] && exit 0
printf 'scenario %s\ninsert\n' "\$1" >"$work/card.ctl"
"$wait_tool" present "$READER" 10000
SH
chmod +x "$work/card.sh"

export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winscard=n"
ui_start "$work/app/OrvaneSetting.exe"
ui_drive - <<UI || ui_fail "driver exit code $?"
timeout 10000
window {@IDD_MAIN} timeout=60000
# The reader's display name: its instance number and the blank before it go.
text IDC_STATUS "{@IDS_READER_READY|Virtual PCD 00}"
enabled IDC_READ
click IDC_READ
wait-text IDC_STATUS "{@IDS_CARD_READ| (FeliCa) }"
host $work/card.sh mifare4 timeout=20000
click IDC_READ
wait-text IDC_STATUS "{@IDS_CARD_READ| (Mifare) }"
screenshot mifare.bmp dialog
# A short ATR: card kind 2, refused.
host $work/card.sh short-atr timeout=20000
click IDC_READ
msgbox {@IDS_CAPTION}
msgbox-text {@IDS_CARD_UNUSABLE}
msgbox-buttons 1
msgbox-press 1
text IDC_STATUS "{@IDS_READER_READY|Virtual PCD 00}"
text IDC_READ {@IDS_READ_CARD}
disabled IDC_REGISTER
disabled IDC_SOUND
# No card, then a FeliCa card laid on while timer 1 polls.
host $work/card.sh remove timeout=20000
click IDC_READ
text IDC_STATUS "{@IDS_READING|Virtual PCD 00}"
host $work/card.sh felica timeout=20000
wait-text IDC_STATUS "{@IDS_CARD_READ| (FeliCa) }"
text IDC_READ {@IDS_READ_CARD}
enabled IDC_REGISTER
click IDC_EXIT
exit 0 timeout=10000
UI
echo "PASS setting-pcsc: FeliCa and Mifare over PC/SC at the press and at a tick, short ATR refused with IDS_CARD_UNUSABLE"
