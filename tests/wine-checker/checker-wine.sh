#!/usr/bin/env bash
# OrvaneChecker end to end under Wine: a record written by the project's own
# writer, a card presented by the test felica.dll, the debug lines from
# WINEDEBUG=warn+seh, and the ExitWindowsEx, AdjustTokenPrivileges and
# LockWorkStation calls from a relay trace limited to those functions.
#   checker-wine.sh WIN_BIN_DIR XVFB_STATE_DIR CASE
# Exit 0 pass, 1 fail, 77 skip (the Windows build is missing).
set -uo pipefail
. "$(dirname "$0")/../wine/preamble.sh"
bin=$1 xstate=$2 case=$3
need_built "$bin" OrvaneChecker.exe orvane-write-record.exe orvane-close-checker.exe felica.dll
# A prefix of their own: these tests change its registry and its felica.dll.
use_prefix checker "${ORVANE_CHECKER_WINEPREFIX:-}"
use_display "$xstate"

work=$(mktemp -d /tmp/orvane-checker-wine.XXXXXX)
checker_pid=
cleanup() {
  if [ -n "$checker_pid" ] && kill -0 "$checker_pid" 2>/dev/null; then
    run "$bin/orvane-close-checker.exe" 2000 >/dev/null 2>&1
    sleep 1
    kill "$checker_pid" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL $case: $*"; echo "--- checker log (filtered)"; grep -E 'OutputDebugStringA|ExitWindowsEx|AdjustTokenPrivileges|err:' "$work/log" 2>/dev/null | head -40; exit 1; }

CARD=012E4CD82A1B3C4D03014B024F4993FF
user=$(id -un)  # what GetUserNameW gives under Wine
export ORVANE_TEST_FELICA_CARD=$(winpath "$work/card")
printf '%s' "$CARD" >"$work/card"

# The library where the checker looks for it; replaced by rename so that a
# running process never sees a half-written file.
run cmd /c exit >/dev/null 2>&1  # creates the prefix on first use
libdir="$ORVANE_WINEPREFIX/drive_c/Program Files/Common Files/Sony Shared/FeliCaLibrary"
mkdir -p "$libdir"
if ! cmp -s "$bin/felica.dll" "$libdir/felica.dll"; then
  cp "$bin/felica.dll" "$libdir/felica.dll.new" && mv -f "$libdir/felica.dll.new" "$libdir/felica.dll"
fi
# advapi32 forwards AdjustTokenPrivileges to kernelbase; either name may show.
relayed='user32.ExitWindowsEx;user32.LockWorkStation;advapi32.AdjustTokenPrivileges;kernelbase.AdjustTokenPrivileges'
run reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /t REG_SZ /d "$relayed" /f >/dev/null 2>&1 \
  || fail "cannot set RelayInclude"

record() {  # record TYPE INTERVAL [USER [PASSWORD [TARGET [LOCK]]]]
  run "$bin/orvane-write-record.exe" "$CARD" "${3:-$user}" "${4:-secret}" "${5:-WINEHOST}" "$1" "$2" "${6:-none}" \
    >/dev/null 2>"$work/writer.err" || fail "record writer: $(cat "$work/writer.err")"
}
no_record() {
  run "$bin/orvane-write-record.exe" "$CARD" --delete >/dev/null 2>&1 || fail "cannot delete the record"
}
debug_lines() { sed -n 's/.*warn:seh:OutputDebugStringA "\(.*\)"\r\{0,1\}$/\1/p' "$work/log"; }
# The results of LockWorkStation, one line per call that returned.
lock_results() { sed -n 's/.*Ret  *user32\.LockWorkStation() retval=\([0-9a-fA-F]*\).*/\1/p' "$work/log"; }
lock_calls() { grep -c 'Call user32\.LockWorkStation(' "$work/log"; }
exit_calls() { sed -n 's/.*Call user32\.ExitWindowsEx(\([0-9a-fA-F]*\),\([0-9a-fA-F]*\)).*/\1,\2/p' "$work/log"; }

# The checker decides at start and exits with code 0 after one debug line.
one_shot() {  # one_shot EXPECTED_LINE
  WINEDEBUG=warn+seh,+relay timeout 120 "$root/tests/wine/wine-run.sh" "$bin/OrvaneChecker.exe" 2>"$work/log"
  local rc=$?
  [ $rc -eq 0 ] || fail "exit code $rc, expected 0"
  local lines; lines=$(debug_lines)
  [ "$lines" = "$1" ] || fail "debug lines [$lines], expected [$1]"
  [ -z "$(exit_calls)" ] || fail "ExitWindowsEx was called"
  echo "PASS $case: exit 0 after \"$1\""
}

start_armed() {
  WINEDEBUG=warn+seh,+relay "$root/tests/wine/wine-run.sh" "$bin/OrvaneChecker.exe" 2>"$work/log" &
  checker_pid=$!
  run "$bin/orvane-close-checker.exe" --find 60000 >/dev/null 2>&1 || fail "the checker window did not appear"
  kill -0 "$checker_pid" 2>/dev/null || fail "the checker is not running"
  [ -z "$(debug_lines)" ] || fail "armed checker wrote [$(debug_lines)]"
}

wait_exit() {  # wait_exit SECONDS: the checker's exit code, 124 on time-out
  local i
  for ((i = 0; i < $1 * 10; ++i)); do
    if ! kill -0 "$checker_pid" 2>/dev/null; then
      wait "$checker_pid"; local rc=$?; checker_pid=; return $rc
    fi
    sleep 0.1
  done
  return 124
}

# What the checker called, in order: one letter per call, D debug line, P AdjustTokenPrivileges, E ExitWindowsEx.
call_order() {
  grep -E 'OutputDebugStringA "shutdown|Call [a-z0-9]+\.(AdjustTokenPrivileges|ExitWindowsEx)\(' "$work/log" |
    sed -E 's/.*OutputDebugStringA.*/D/; s/.*AdjustTokenPrivileges.*/P/; s/.*ExitWindowsEx.*/E/' | tr -d '\n'
}

# Waits up to 3 s until the relay trace holds more than N LockWorkStation calls.
wait_lock_calls() {  # wait_lock_calls N
  for ((i = 0; i < 60; ++i)); do [ "$(lock_calls)" -gt "$1" ] && return 0; sleep 0.05; done
  return 1
}

removal() {  # removal TYPE_HEX PRIVILEGE: card taken away -> "shutdown\n", the
             # privilege when PRIVILEGE is "privilege", then ExitWindowsEx(TYPE, 0)
  local period=1 slack=2
  record "0x$1" $period
  start_armed
  sleep 2  # a few ticks with the card present: nothing happens
  [ -z "$(debug_lines)" ] || fail "ticks with the card present wrote [$(debug_lines)]"
  [ -z "$(exit_calls)" ] || fail "ExitWindowsEx with the card present"
  : >"$work/card"
  local t0; t0=$(date +%s%N)
  local seen=
  for ((i = 0; i < (period + slack) * 20; ++i)); do
    if [ -n "$(exit_calls)" ]; then seen=$(date +%s%N); break; fi
    sleep 0.05
  done
  [ -n "$seen" ] || fail "no ExitWindowsEx within $((period + slack)) s of taking the card away"
  local ms=$(((seen - t0) / 1000000))
  local first; first=$(debug_lines | head -1)
  [ "$first" = 'shutdown\n' ] || fail "first debug line [$first], expected [shutdown\\n]"
  local call; call=$(exit_calls | head -1)
  [ "$call" = "$(printf '%08x' 0x$1),00000000" ] || fail "ExitWindowsEx($call), expected flags $1 and reason 0"
  # "shutdown\n", then the privilege for anything but a plain log off, then the call.
  local want=DE
  [ "$2" = privilege ] && want=DPE
  local order; order=$(call_order)
  order=${order#"${order%%D*}"}  # from the first "shutdown\n" on
  [ "${order:0:${#want}}" = "$want" ] || fail "calls in the order [$order], expected [$want...] (D debug line, P AdjustTokenPrivileges, E ExitWindowsEx)"
  echo "PASS $case: \"shutdown\\n\"$([ "$2" = privilege ] && echo ', AdjustTokenPrivileges') and ExitWindowsEx($call) ${ms} ms after the card left (period ${period} s)"
}

case $case in
  card-comes-late)
    # At logon the library finds no card and no PC/SC reader answers: the
    # checker polls again once a second instead of ending with "no card"
    # (which it says after 30 s, see tests/pcsc-bridge no-service); a card
    # laid on meanwhile arms it, and taking it away ends the session.
    record 0x10 1
    : >"$work/card"
    export ORVANE_TEST_FELICA_LOG=$(winpath "$work/felica.log")
    WINEDEBUG=warn+seh,+relay "$root/tests/wine/wine-run.sh" "$bin/OrvaneChecker.exe" 2>"$work/log" &
    checker_pid=$!
    polls() { grep -c '^polling_and_get_card_information' "$work/felica.log" 2>/dev/null; }
    for ((i = 0; i < 300; ++i)); do
      [ "$(polls)" -ge 3 ] 2>/dev/null && break
      kill -0 "$checker_pid" 2>/dev/null || fail "the checker ended without a card (debug lines [$(debug_lines)]) instead of waiting"
      sleep 0.1
    done
    [ "$(polls)" -ge 3 ] 2>/dev/null || fail "the checker did not poll again: $(polls) polls"
    [ -z "$(debug_lines)" ] || fail "debug lines [$(debug_lines)] while waiting for a card"
    waited=$(polls)
    printf '%s' "$CARD" >"$work/card.new" && mv -f "$work/card.new" "$work/card"
    run "$bin/orvane-close-checker.exe" --find 30000 >/dev/null 2>&1 || fail "the checker did not arm once the card came (debug lines [$(debug_lines)])"
    kill -0 "$checker_pid" 2>/dev/null || fail "the checker is not running"
    : >"$work/card"
    for ((i = 0; i < 60; ++i)); do [ -n "$(exit_calls)" ] && break; sleep 0.05; done
    [ "$(exit_calls | head -1)" = 00000010,00000000 ] || fail "no ExitWindowsEx(10, 0) within 3 s of taking the card away: [$(exit_calls)]"
    echo "PASS $case: no card in $waited polls, armed once the card came, ExitWindowsEx(10) when it left" ;;
  no-record)
    no_record
    one_shot 'no registry data\n' ;;
  no-removal-action)
    record none 1
    one_shot 'no shutdown data\n' ;;
  interval-zero)
    record 0x10 0
    one_shot 'no shutdown data\n' ;;
  other-user)
    record 0x10 1 "${user^^}"
    [ "${user^^}" != "$user" ] || fail "the account name $user has no lower-case letter to change"
    one_shot 'user != login_user\n' ;;
  removal-logoff)
    removal 10 no-privilege ;;
  removal-shutdown)
    removal 11 privilege ;;
  removal-restart)
    removal 12 privilege ;;
  removal-restart-apps)  # EWX_RESTARTAPPS: no shut-down bit, still not a plain log off
    removal 40 privilege ;;
  removal-lock)
    # "type" 0 with "lock" = 1: the card leaving locks the workstation, never
    # ends the session, and needs no privilege. A lock the system refused is
    # tried again at every tick; one that succeeded is not repeated until
    # the card came back and left again. Wine 8's LockWorkStation refuses
    # (returns FALSE, locks nothing), so under Wine the retry is what shows;
    # a Wine that locks must show exactly one call per removal.
    record 0 1 "$user" secret WINEHOST 1
    start_armed
    sleep 2
    [ "$(lock_calls)" -eq 0 ] || fail "LockWorkStation with the card present"
    : >"$work/card"
    wait_lock_calls 0 || fail "no LockWorkStation within 3 s of taking the card away"
    sleep 2.5  # two more ticks with the card away
    away=$(lock_calls)
    results=$(lock_results | sort -u | tr '\n' ' ')
    if [ "$(lock_results | head -1)" = 00000000 ]; then
      [ "$away" -ge 2 ] || fail "a refused lock was not tried again: $away LockWorkStation calls in 2.5 s"
      outcome="refused, tried again at every tick ($away calls)"
    else
      [ "$away" -eq 1 ] || fail "$away LockWorkStation calls while the card stayed away, expected 1"
      outcome="once"
    fi
    [ "$(debug_lines | sort -u)" = 'lock\n' ] || fail "debug lines [$(debug_lines)], expected only [lock\n]"
    [ "$(debug_lines | wc -l)" -eq "$away" ] || fail "$(debug_lines | wc -l) \"lock\" lines for $away LockWorkStation calls"
    printf '%s' "$CARD" >"$work/card.new" && mv -f "$work/card.new" "$work/card"
    sleep 1.5  # the card is seen again: the calls stop
    back=$(lock_calls)
    sleep 2
    [ "$(lock_calls)" -eq "$back" ] || fail "LockWorkStation went on after the card came back"
    : >"$work/card"
    wait_lock_calls "$back" || fail "no second LockWorkStation within 3 s of taking the card away again"
    [ -z "$(exit_calls)" ] || fail "ExitWindowsEx was called: [$(exit_calls)]"
    ! grep -q 'Call [a-z0-9]*\.AdjustTokenPrivileges(' "$work/log" || fail "a lock asked for the shut-down privilege"
    echo "PASS $case: LockWorkStation when the card left (retval $results: $outcome), none while it was back, again when it left again; no ExitWindowsEx, no privilege" ;;
  removal-logoff-without-lock)
    # Plain log off, "lock" absent (an earlier case may have left it): ExitWindowsEx(0).
    record 0 1
    start_armed
    : >"$work/card"
    for ((i = 0; i < 60; ++i)); do [ -n "$(exit_calls)" ] && break; sleep 0.05; done
    [ "$(exit_calls | head -1)" = 00000000,00000000 ] || fail "no ExitWindowsEx(0, 0) within 3 s of taking the card away: [$(exit_calls)]"
    [ "$(lock_calls)" -eq 0 ] || fail "LockWorkStation without \"lock\""
    [ "$(debug_lines | head -1)" = 'shutdown\n' ] || fail "first debug line [$(debug_lines | head -1)], expected [shutdown\n]"
    echo "PASS $case: ExitWindowsEx(0, 0) and no LockWorkStation" ;;
  close)
    record 0x10 1
    start_armed
    run "$bin/orvane-close-checker.exe" 10000 >"$work/close.out" 2>/dev/null || fail "close: $(cat "$work/close.out")"
    wait_exit 30; rc=$?
    [ $rc -ne 124 ] || fail "the checker did not end after WM_CLOSE"
    [ $rc -eq 0 ] || fail "exit code $rc after WM_CLOSE, expected 0"
    [ -z "$(debug_lines)" ] || fail "debug lines [$(debug_lines)]"
    echo "PASS $case: WM_CLOSE ends the checker with code 0" ;;
  long-record)
    # 90 code units in all: 208 bytes of "data", as the settings program may write.
    long_password=$(printf 'p%.0s' $(seq 1 $((60 - ${#user}))))
    record 0x10 1 "$user" "$long_password" "TARGET-HOST-NAME-012345678901"
    start_armed
    echo "PASS $case: a 208-byte record arms the watch" ;;
  *) echo "unknown case $case"; exit 2 ;;
esac
exit 0
