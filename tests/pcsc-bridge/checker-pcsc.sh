#!/usr/bin/env bash
# OrvaneChecker on the PC/SC path under Wine: the card lies on a vpcd reader
# of the tests' pcscd, reached through the test winscard.dll and
# orvane-pcsc-bridge; its record is written by orvane-write-record.exe. The
# debug lines come from WINEDEBUG=warn+seh, the ExitWindowsEx call from a relay
# trace limited to that one function.
#   checker-pcsc.sh NATIVE_BIN WIN_BIN_DIR PCSC_STATE_DIR XVFB_STATE_DIR CASE
# Needs the harness's pcscd running (ctest fixture). Exit 0 pass, 1 fail,
# 77 skip (the Windows build is missing).
set -uo pipefail
. "$(dirname "$0")/../wine/preamble.sh"
native=$1 bin=$2 pcsc_state=$3 xstate=$4 case=$5
need_built "$bin" OrvaneChecker.exe orvane-write-record.exe orvane-close-checker.exe winscard-bridge/winscard.dll
# A prefix of its own: the tests write records into its registry.
use_prefix pcsc "${ORVANE_BRIDGE_WINEPREFIX:-}"
use_display "$xstate"
READER="Virtual PCD 00 00"
wait_tool=$native/orvane-pcsc-wait

work=$(mktemp -d /tmp/orvane-checker-pcsc.XXXXXX)
checker_pid= bridge_pid= vcard_pid= restore_pcscd=
cleanup() {
  if [ -n "$checker_pid" ] && kill -0 "$checker_pid" 2>/dev/null; then
    run "$bin/orvane-close-checker.exe" 2000 >/dev/null 2>&1
    sleep 1
    kill "$checker_pid" 2>/dev/null
  fi
  [ -n "$bridge_pid" ] && kill "$bridge_pid" 2>/dev/null
  [ -n "$vcard_pid" ] && kill "$vcard_pid" 2>/dev/null
  rm -f "$pcsc_state/bridge-1.pid" "$pcsc_state/vcard-0.pid"
  [ -n "$vcard_pid" ] && "$wait_tool" absent "$READER" 10000
  # A case that stopped the fixture's pcscd and failed before starting it again.
  [ -n "$restore_pcscd" ] && "$root/tests/pcsc/pcscd-harness.sh" restart "$pcsc_state" "$wait_tool" >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL $case: $*"
  echo "--- checker log (filtered)"
  grep -E 'OutputDebugStringA|ExitWindowsEx|err:' "$work/log" 2>/dev/null | head -40
  exit 1
}

# The FeliCa card of the virtual card's "felica" scenario: IDm then PMm.
CARD=012E4CD82A1B3C4D03014B024F4993FF
user=$(id -un)  # what GetUserNameW gives under Wine

run cmd /c exit >/dev/null 2>&1  # creates the prefix on first use
run reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /t REG_SZ /d user32.ExitWindowsEx /f >/dev/null 2>&1 \
  || fail "cannot set RelayInclude"

# The checker loads winscard.dll from System32 only: the bridge goes there,
# in this suite's own prefix.
mkdir -p "$work/app"
cp "$bin/OrvaneChecker.exe" "$work/app/" || fail "cannot copy the checker"
"$root/tests/windows/winscard-bridge/install-bridge.sh" "$ORVANE_WINEPREFIX" "$bin/winscard-bridge/winscard.dll" \
  || fail "cannot put the bridge into the prefix's System32"
# late-reader holds the bridge's calls through this file (see pcsc_bridge.c).
ORVANE_PCSC_BRIDGE_HOLD=$work/hold "$native/orvane-pcsc-bridge" "$work/port" "$work/bridge.log" &
bridge_pid=$!
echo "$bridge_pid" >"$pcsc_state/bridge-1.pid"
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.05; done
[ -s "$work/port" ] || fail "orvane-pcsc-bridge did not start"
export ORVANE_PCSC_BRIDGE_PORT=$(cat "$work/port")

place_card() {
  python3 "$root/tests/vcard/vcard.py" felica --slot 0 --control "$work/card.ctl" &
  vcard_pid=$!
  echo "$vcard_pid" >"$pcsc_state/vcard-0.pid"
  "$wait_tool" present "$READER" 10000 || fail "pcscd does not see the card"
}

record() {  # record TYPE INTERVAL
  run "$bin/orvane-write-record.exe" "$CARD" "$user" secret WINEHOST "$1" "$2" \
    >/dev/null 2>"$work/writer.err" || fail "record writer: $(cat "$work/writer.err")"
}
checker() {
  WINEDLLOVERRIDES=winscard=n WINEDEBUG=warn+seh,+relay "$root/tests/wine/wine-run.sh" "$work/app/OrvaneChecker.exe"
}
debug_lines() { sed -n 's/.*warn:seh:OutputDebugStringA "\(.*\)"\r\{0,1\}$/\1/p' "$work/log"; }
exit_calls() { sed -n 's/.*Call user32\.ExitWindowsEx(\([0-9a-fA-F]*\),\([0-9a-fA-F]*\)).*/\1,\2/p' "$work/log"; }

harness() { "$root/tests/pcsc/pcscd-harness.sh" "$@" >"$work/harness.log" 2>&1 || fail "pcscd harness $1: $(cat "$work/harness.log")"; }

start_armed() {  # start_armed INTERVAL: the card on the reader, a record with log off
  place_card
  record 0x10 "$1"
  checker 2>"$work/log" &
  checker_pid=$!
  run "$bin/orvane-close-checker.exe" --find 60000 >/dev/null 2>&1 || fail "the checker window did not appear"
  kill -0 "$checker_pid" 2>/dev/null || fail "the checker is not running"
  sleep 2
  [ -z "$(debug_lines)" ] || fail "ticks with the card present wrote [$(debug_lines)]"
}

# Stops the fixture's pcscd (and the readers with it) for the rest of the
# case; cleanup starts it again should the case fail before it does.
stop_pcscd() {
  local pcscd_pid
  pcscd_pid=$(cat "$pcsc_state/pcscd.pid")
  restore_pcscd=1
  kill -TERM "$pcscd_pid" 2>/dev/null || fail "cannot stop pcscd"
  for _ in $(seq 50); do kill -0 "$pcscd_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pcscd_pid" 2>/dev/null && fail "pcscd did not stop"
}
no_service_calls() { grep -c '^establish 8010001d$' "$work/bridge.log" 2>/dev/null; }

crashed() { grep -qE 'Unhandled (page fault|exception)|err:seh:|wine: Call from .* to unimplemented' "$work/log"; }

# Within SECONDS: "shutdown\n" and ExitWindowsEx(10, 0), nothing else, no crash.
expect_session_end() {  # expect_session_end SECONDS WHAT
  local i
  for ((i = 0; i < $1 * 10; ++i)); do
    [ -n "$(exit_calls)" ] && break
    crashed && fail "the checker crashed $2"
    sleep 0.1
  done
  [ -n "$(exit_calls)" ] || fail "no ExitWindowsEx within $1 s $2 (a PC/SC call hangs?)"
  [ "$(debug_lines | head -1)" = 'shutdown\n' ] || fail "first debug line [$(debug_lines | head -1)] $2"
  exit_calls | grep -qv '^00000010,00000000$' && fail "ExitWindowsEx with other flags $2: $(exit_calls | sort -u)"
  crashed && fail "the checker crashed $2"
  return 0
}

# Wine ends the session's processes on ExitWindowsEx; a checker still running
# must answer WM_CLOSE and end with code 0. Either way nothing crashed.
ends_cleanly() {
  local i rc=124
  for ((i = 0; i < 50; ++i)); do
    kill -0 "$checker_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$checker_pid" 2>/dev/null; then
    run "$bin/orvane-close-checker.exe" 10000 >/dev/null 2>&1 || fail "WM_CLOSE was not delivered: the checker hangs"
    for ((i = 0; i < 300; ++i)); do
      if ! kill -0 "$checker_pid" 2>/dev/null; then wait "$checker_pid"; rc=$?; break; fi
      sleep 0.1
    done
    [ $rc -ne 124 ] || fail "the checker did not end after WM_CLOSE"
    [ $rc -eq 0 ] || fail "exit code $rc after WM_CLOSE, expected 0"
    ending="closed by WM_CLOSE with code 0"
  else
    wait "$checker_pid"; rc=$?
    [ -n "$(exit_calls)" ] || fail "the checker ended (code $rc) without ending the session"
    ending="ended with the session (code $rc)"
  fi
  checker_pid=
  crashed && fail "the checker crashed"
  return 0
}

case $case in
  reader-unplugged)
    # pcscd goes away with its readers while the card lies on one: the next
    # tick counts the card as gone and ends the session; nothing hangs.
    start_armed 1
    stop_pcscd
    expect_session_end 5 "with the readers gone"
    ends_cleanly
    harness restart "$pcsc_state" "$wait_tool"  # the fixture's pcscd for the tests after
    restore_pcscd= vcard_pid=  # the harness ended the card with its pcscd
    echo "PASS $case: \"shutdown\\n\" and ExitWindowsEx(10) with pcscd and its readers gone; $ending" ;;
  pcscd-restart)
    # pcscd restarts and the card is back before the next tick (period 5 s):
    # the checker's context is stale. Whether it finds the card again or
    # counts it as gone, it neither crashes nor hangs.
    start_armed 5
    restore_pcscd=1
    harness restart "$pcsc_state" "$wait_tool"
    restore_pcscd= vcard_pid=
    place_card
    for _ in $(seq 120); do  # two more ticks
      [ -n "$(exit_calls)" ] && break
      crashed && fail "the checker crashed after pcscd restarted"
      sleep 0.1
    done
    if [ -n "$(exit_calls)" ]; then
      expect_session_end 1 "after pcscd restarted"
      outcome="the card counted as gone"
    else
      [ -z "$(debug_lines)" ] || fail "debug lines [$(debug_lines)] without ExitWindowsEx"
      outcome="the card found again"
    fi
    ends_cleanly
    echo "PASS $case: pcscd restarted under an armed checker: $outcome; $ending" ;;
  removal)
    # Armed on the card on the PC/SC reader; taking it away ends the session.
    place_card
    record 0x10 1
    checker 2>"$work/log" &
    checker_pid=$!
    run "$bin/orvane-close-checker.exe" --find 60000 >/dev/null 2>&1 || fail "the checker window did not appear"
    kill -0 "$checker_pid" 2>/dev/null || fail "the checker is not running"
    sleep 3  # ticks with the card present: nothing happens
    [ -z "$(debug_lines)" ] || fail "ticks with the card present wrote [$(debug_lines)]"
    [ -z "$(exit_calls)" ] || fail "ExitWindowsEx with the card present"
    echo remove >"$work/card.ctl"
    t0=$(date +%s%N) seen=
    for _ in $(seq 100); do
      if [ -n "$(exit_calls)" ]; then seen=$(date +%s%N); break; fi
      sleep 0.05
    done
    [ -n "$seen" ] || fail "no ExitWindowsEx within 5 s of taking the card off the reader"
    [ "$(debug_lines | head -1)" = 'shutdown\n' ] || fail "first debug line [$(debug_lines | head -1)]"
    call=$(exit_calls | head -1)
    [ "$call" = "00000010,00000000" ] || fail "ExitWindowsEx($call), expected flags 10 and reason 0"
    echo "PASS $case: ExitWindowsEx($call) $(((seen - t0) / 1000000)) ms after the card left the PC/SC reader" ;;
  no-card)
    # Nothing on the readers: the checker reads no card and ends at once.
    record 0x10 1
    WINEDLLOVERRIDES=winscard=n WINEDEBUG=warn+seh,+relay timeout 120 \
      "$root/tests/wine/wine-run.sh" "$work/app/OrvaneChecker.exe" 2>"$work/log"
    rc=$?
    # Through the bridge: both readers were tried, each without a card.
    [ "$(grep -c '^connect ' "$work/bridge.log")" = 2 ] || fail "the checker did not poll both PC/SC readers: $(cat "$work/bridge.log")"
    # Readers that answer without a card are final: no second attempt.
    [ "$(grep -c '^establish ' "$work/bridge.log")" = 1 ] || fail "the checker waited although the readers answered: $(cat "$work/bridge.log")"
    [ $rc -eq 0 ] || fail "exit code $rc, expected 0"
    [ "$(debug_lines)" = 'no card\n' ] || fail "debug lines [$(debug_lines)], expected [no card\\n]"
    [ -z "$(exit_calls)" ] || fail "ExitWindowsEx was called"
    echo "PASS $case: exit 0 after \"no card\\n\"" ;;
  late-reader)
    # Logon before the smart-card service: the checker starts with pcscd
    # stopped and keeps asking; 5 s later pcscd comes with the card on the
    # reader and the checker arms; taking the card away ends the session.
    # The virtual card can only connect once pcscd runs, and a reader seen
    # without its card would rightly end the checker ("no card"), so the
    # bridge holds the checker's calls until both are there.
    record 0x10 1
    stop_pcscd
    checker 2>"$work/log" &
    checker_pid=$!
    sleep 5
    kill -0 "$checker_pid" 2>/dev/null || fail "the checker ended without a service (debug lines [$(debug_lines)])"
    [ -z "$(debug_lines)" ] || fail "debug lines [$(debug_lines)] while waiting for the service"
    waited=$(no_service_calls)
    [ "${waited:-0}" -ge 2 ] || fail "the checker did not ask again for the service: $(cat "$work/bridge.log")"
    touch "$work/hold"
    harness restart "$pcsc_state" "$wait_tool"
    restore_pcscd= vcard_pid=
    place_card
    rm -f "$work/hold"
    run "$bin/orvane-close-checker.exe" --find 30000 >/dev/null 2>&1 || fail "the checker did not arm once pcscd and the card came (debug lines [$(debug_lines)])"
    kill -0 "$checker_pid" 2>/dev/null || fail "the checker is not running"
    sleep 2
    [ -z "$(debug_lines)" ] || fail "ticks with the card present wrote [$(debug_lines)]"
    [ -z "$(exit_calls)" ] || fail "ExitWindowsEx with the card present"
    echo remove >"$work/card.ctl"
    expect_session_end 5 "after the card left"
    ends_cleanly
    echo "PASS $case: \"no service\" $waited times, armed once pcscd and the card came, ExitWindowsEx(10) when the card left; $ending" ;;
  no-service)
    # pcscd never comes: the checker asks once a second for 30 s, then ends
    # with "no card" and code 0.
    record 0x10 1
    stop_pcscd
    t0=$(date +%s)
    WINEDLLOVERRIDES=winscard=n WINEDEBUG=warn+seh,+relay timeout 120 \
      "$root/tests/wine/wine-run.sh" "$work/app/OrvaneChecker.exe" 2>"$work/log"
    rc=$?
    elapsed=$(($(date +%s) - t0))
    harness restart "$pcsc_state" "$wait_tool"  # the fixture's pcscd for the tests after
    restore_pcscd=
    [ $rc -eq 0 ] || fail "exit code $rc, expected 0"
    [ "$(debug_lines)" = 'no card\n' ] || fail "debug lines [$(debug_lines)], expected [no card\\n]"
    [ -z "$(exit_calls)" ] || fail "ExitWindowsEx was called"
    [ "$(no_service_calls)" = 31 ] || fail "$(no_service_calls) attempts at a context, expected 31: $(sort "$work/bridge.log" | uniq -c)"
    [ "$(grep -vc '^establish 8010001d$' "$work/bridge.log")" = 0 ] || fail "other calls than a context: $(sort "$work/bridge.log" | uniq -c)"
    [ $elapsed -ge 30 ] || fail "ended after $elapsed s, before the 30 s wait"
    [ $elapsed -le 90 ] || fail "ended after $elapsed s"
    echo "PASS $case: 31 attempts without a service, then \"no card\n\" and exit 0 after $elapsed s" ;;
  *) echo "unknown case $case"; exit 2 ;;
esac
exit 0
