#!/usr/bin/env bash
# The whole story under Xvfb and Wine, with the test felica.dll as the card:
# the settings program reads the card and registers it with a removal action,
# shows the card list and the sound dialog; the checker starts as the Run
# value says; the card is taken away and the checker asks for the session to
# end (the ExitWindowsEx call, from a relay trace). Screenshots go to
# build/demo/. Needs the win64 build (programs, felica.dll, UI driver).
#   demo/demo.sh
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
out=$root/build/demo
xstate=$root/build/demo-xvfb
bin=$root/build/win64/bin
step() { printf '\n== %s\n' "$*"; }
die() { echo "demo failed: $*" >&2; exit 1; }

for f in OrvaneSetting.exe OrvaneChecker.exe orvane-card.exe felica.dll orvane-ui-driver.exe \
         orvane-close-checker.exe; do
  [ -f "$bin/$f" ] || die "$bin/$f missing: build the win64 preset first"
done

"$root/tests/wine/xvfb.sh" start "$xstate" >/dev/null || die "Xvfb did not start"
stop_xvfb() { ui_cleanup; "$root/tests/wine/xvfb.sh" stop "$xstate" >/dev/null 2>&1; }
. "$root/tests/wine-ui/ui-lib.sh"
UI_BIN=$bin
UI_PREFIX=$root/build/wineprefix-demo
step "Wine prefix $UI_PREFIX and display (the first run creates the prefix: about 10 s)"
ui_init demo "$xstate" setting
trap stop_xvfb EXIT
# Everything of this run in one folder.
rm -rf "$out" && mkdir -p "$out"
UI_OUT=$out

# A fresh start: no record, no Run value, the test library as the FeliCa reader.
ui_run reg delete 'HKLM\SOFTWARE\Brindle\Orvane' /f >/dev/null 2>&1
ui_run reg delete 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v OrvaneChecker /f >/dev/null 2>&1
libdir="$UI_PREFIX/drive_c/Program Files/Common Files/Sony Shared/FeliCaLibrary"
mkdir -p "$libdir" && cp "$bin/felica.dll" "$libdir/felica.dll"
card=012E4CD82A1B3C4D03014B024F4993FF
printf '%s' "$card" >"$out/card"
export ORVANE_TEST_FELICA_CARD
ORVANE_TEST_FELICA_CARD=$(ui_winpath "$out/card")
echo "virtual FeliCa card on the reader: IDm ${card:0:16} PMm ${card:16}"

step "OrvaneSetting: read the card, register it (log off, forced, every second), list, sound dialog"
ui_start "$bin/OrvaneSetting.exe"
ui_drive "$here/setting.ui" | sed -n 's/^ok [0-9]* //p' | grep -vE '^(id|timeout) ' | sed 's/^/  /'
[ "${PIPESTATUS[0]}" -eq 0 ] || die "the settings program did not behave (see $out/driver.log)"
ui_wait_exit 10 || die "the settings program did not exit"

step "what the settings program stored"
run_value=$(ui_run reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v OrvaneChecker 2>/dev/null |
  tr -d '\r' | sed -n 's/^ *OrvaneChecker *REG_SZ *//p')
[ -n "$run_value" ] || die "no Run value OrvaneChecker was written"
echo "Run value OrvaneChecker: $run_value"
echo "\$ orvane-card.exe records"
ui_run "$bin/orvane-card.exe" records | tr -d '\r' | sed 's/^/  /'

step "OrvaneChecker, started as the Run value says, watches the card"
# The value is a quoted command line, as Windows runs it at logon.
run_path=${run_value#\"}; run_path=${run_path%\"}
[ "\"$run_path\"" = "$run_value" ] || die "the Run value $run_value is not a quoted path"
checker=$(ui_run winepath -u "$run_path" 2>/dev/null | tr -d '\r')
[ -f "$checker" ] || die "the Run value points to $run_value, which does not exist"
UI_RELAY='user32.ExitWindowsEx' UI_WINEDEBUG='warn+seh' ui_start "$checker"
ui_run "$bin/orvane-close-checker.exe" --find 30000 >/dev/null || die "the checker's window did not appear"
echo "checker running (hidden window \"OrvaneChecker\"), card on the reader"
sleep 2
[ -z "$(ui_relay_calls user32.ExitWindowsEx)" ] || die "the session end was asked for with the card present"

step "take the card away"
: >"$out/card"
call=
for _ in $(seq 1 100); do
  call=$(ui_relay_calls user32.ExitWindowsEx | head -1)
  [ -n "$call" ] && break
  sleep 0.1
done
[ -n "$call" ] || die "no session-end request within 10 s of taking the card away"
echo "checker debug line: $(ui_debug_lines | head -1)"
echo "session-end request: ExitWindowsEx($call)   (EWX_LOGOFF | EWX_FORCEIFHUNG = 0x10)"
grep -E 'ExitWindowsEx' "$out/program.log" | tr -d '\r' >"$out/session-end-relay.txt"
ui_wait_exit 10 >/dev/null

step "screenshots"
find "$out" -maxdepth 1 -name "*.png" | sort | sed "s/^/  /"
echo
echo "Screenshots are in $out (relay trace: $out/session-end-relay.txt)"
