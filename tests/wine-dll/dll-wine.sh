#!/usr/bin/env bash
# Where OrvaneSetting and OrvaneChecker take DLLs from, under Wine, and the
# settings program closing the checker.
#   dll-wine.sh XVFB_STATE_DIR CASE
#   setting-loading  relay trace of the settings program through F1, a card read
#                    with the recognition sound and 終了: SetDefaultDllDirectories
#                    (System32) before any LoadLibraryExW; winscard, netapi32,
#                    winmm and hhctrl.ocx by their System32 path with
#                    LOAD_LIBRARY_SEARCH_SYSTEM32 (800h), felica.dll by its full
#                    path with LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | SYSTEM32 (900h)
#   checker-loading  the same for the checker's start (winscard, felica.dll)
#   planted          copies of both programs in a user folder holding DLLs of
#                    the names they use, run from there with Wine told to prefer
#                    such DLLs: none of them is ever loaded
#   missing          winscard, netapi32, winmm and hhctrl.ocx cannot be loaded:
#                    both programs go on without them and end normally
#   close-all        switching the removal action off closes both windows of
#                    the checker's class and title, and a third, hung one
#                    neither hangs the settings program nor stops it
# Exit 0 pass, 1 fail, 77 skip (the Windows build is missing).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
xstate=$1 case=$2
# shellcheck source=../wine-ui/ui-lib.sh
. "$here/../wine-ui/ui-lib.sh"
ui_init dll "$xstate" "$case"
for f in OrvaneSetting.exe OrvaneChecker.exe felica.dll orvane-write-record.exe orvane-checker-window.exe \
         planted/planted.dll; do
  [ -f "$UI_BIN/$f" ] || { echo "SKIP: $UI_BIN/$f not built"; exit 77; }
done

CARD=012E4CD82A1B3C4D03014B024F4993FF
user=$(id -un)  # what GetUserNameW gives under Wine
KEY='HKLM\Software\Brindle\Orvane'
RELAY='kernel32.LoadLibraryExW;kernelbase.LoadLibraryExW;kernel32.SetDefaultDllDirectories;kernelbase.SetDefaultDllDirectories'

# The test felica.dll where both programs look for it, and its card.
ui_install_felica
printf '%s' "$CARD" >"$UI_OUT/card"

# No records; the recognition sound on, so that a read plays a short wave file.
ui_make_wav
ui_run reg delete "$KEY" /f >/dev/null 2>&1
# Windows 10: the main dialog asks for the account's Microsoft-account name.
ui_run winecfg -v win10 >/dev/null 2>&1
ui_run reg add "$KEY\\sound" /v flag /t REG_DWORD /d 1 /f >/dev/null
ui_run reg add "$KEY\\sound" /v file /t REG_SZ /d 'C:\orvane-test\ding.wav' /f >/dev/null
ui_run reg add "$KEY\\sound" /v sync /t REG_DWORD /d 0 /f >/dev/null

started=()
# shellcheck disable=SC2317  # called by the EXIT trap
cleanup() {
  local pid
  for pid in "${started[@]}"; do kill "$pid" 2>/dev/null; done
  ui_cleanup
}
trap cleanup EXIT

# "FILE FLAGS" of each LoadLibraryExW in the trace whose file is one of the
# DLLs the programs load themselves; the file as the trace shows it.
loads() {
  grep -iE 'Call (kernel32|kernelbase)\.LoadLibraryExW\(' "$UI_OUT/program.log" |
    sed -n 's/.*LoadLibraryExW([0-9a-f]* L"\(.*\)",[0-9a-f]*,\([0-9a-f]*\)) ret=.*/\1 \2/Ip' |
    grep -iE '(winscard\.dll|winmm\.dll|netapi32\.dll|hhctrl\.ocx|felica\.dll) '
}
# The trace's line numbers of the first SetDefaultDllDirectories and of the
# first load of one of those DLLs.
first_line() { grep -niE "$1" "$UI_OUT/program.log" | head -1 | cut -d: -f1; }

expect_loading() {  # expect_loading "NAME..." : each loaded once at least, every load as it must be
  local all name file flags want
  all=$(loads)
  echo "--- loads"; echo "$all"
  local restrict
  restrict=$(sed -n 's/.*Call \(kernel32\|kernelbase\)\.SetDefaultDllDirectories(\([0-9a-f]*\)) ret=.*/\2/Ip' "$UI_OUT/program.log")
  [ "$(head -1 <<<"$restrict")" = 00000800 ] || ui_fail "SetDefaultDllDirectories calls [$restrict], expected 00000800"
  local set_at load_at
  set_at=$(first_line 'Call (kernel32|kernelbase)\.SetDefaultDllDirectories\(')
  load_at=$(first_line 'Call (kernel32|kernelbase)\.LoadLibraryExW\(.*(winscard|winmm|netapi32|hhctrl|felica)')
  [ -n "$load_at" ] && [ "$set_at" -lt "$load_at" ] || ui_fail "SetDefaultDllDirectories (line $set_at) not before the first load (line $load_at)"
  for name in $1; do
    grep -qi "\\\\$name " <<<"$all" || ui_fail "$name never loaded by LoadLibraryExW"
  done
  local line
  while read -r line; do
    file=${line% *} flags=${line##* }
    case ${file,,} in
      *felica.dll)
        want='c:\\program files\\common files\\sony shared\\felicalibrary\\felica.dll 00000900' ;;
      *)
        want="c:\\\\windows\\\\system32\\\\${file##*\\\\} 00000800" ;;
    esac
    [ "${file,,} $flags" = "${want,,}" ] || ui_fail "LoadLibraryExW($file, $flags), expected [$want]"
  done <<<"$all"
}

case $case in
  setting-loading)
    UI_RELAY=$RELAY ui_start "$UI_BIN/OrvaneSetting.exe"
    ui_drive "$here/read-help-exit.ui" || ui_fail "driver exit code $?"
    ui_wait_exit 10
    expect_loading "winscard.dll netapi32.dll winmm.dll hhctrl.ocx felica.dll"
    echo "PASS setting-loading: System32 only, then winscard, netapi32, winmm, hhctrl.ocx from System32, felica.dll with its folder"
    ;;
  checker-loading)
    # The card's record names another user: the checker loads, polls, asks
    # for the logon account's Microsoft-account name and ends.
    ui_run "$UI_BIN/orvane-write-record.exe" "$CARD" someone-else secret WINEHOST 0x10 1 >/dev/null 2>&1 ||
      ui_fail "cannot arrange the record"
    UI_RELAY=$RELAY UI_WINEDEBUG=warn+seh ui_start "$UI_BIN/OrvaneChecker.exe"
    ui_wait_exit 60; rc=$?
    [ $rc -eq 0 ] || ui_fail "checker exit code $rc"
    [ "$(ui_debug_lines)" = 'user != login_user\n' ] || ui_fail "debug lines [$(ui_debug_lines)]"
    expect_loading "winscard.dll netapi32.dll felica.dll"
    echo "PASS checker-loading: System32 only, then winscard and netapi32 from System32, felica.dll with its folder"
    ;;
  planted)
    # A user-writable folder with copies of both programs and DLLs of every
    # name they load; the current directory is that folder too, and Wine is
    # told to take such DLLs over its own wherever the search finds them.
    dl=$UI_OUT/Downloads
    mkdir -p "$dl"
    cp "$UI_BIN/OrvaneSetting.exe" "$UI_BIN/OrvaneChecker.exe" "$dl/" || ui_fail "cannot copy the programs"
    for name in winscard.dll winmm.dll netapi32.dll hhctrl.ocx control.dll; do
      cp "$UI_BIN/planted/planted.dll" "$dl/$name"
    done
    export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winscard,winmm,netapi32,hhctrl.ocx=n,b"
    cd "$dl" || ui_fail "no folder $dl"
    # The planted DLL does write its marker when it is loaded.
    ui_run rundll32 "$(ui_winpath "$dl/control.dll"),Nothing" >/dev/null 2>&1
    [ -f "$dl/control.dll.loaded" ] || ui_fail "the planted DLL wrote no marker when loaded"
    planted_loaded() { (cd "$dl" && ls -- *.loaded 2>/dev/null | grep -v '^control\.dll\.loaded$' | tr '\n' ' '); }
    ui_start "$dl/OrvaneSetting.exe"
    ui_drive "$here/read-help-exit.ui"; rc=$?
    ui_wait_exit 10
    # A planted DLL may keep the program from starting at all: the markers first.
    [ -z "$(planted_loaded)" ] || ui_fail "the settings program loaded planted DLLs: $(planted_loaded)"
    [ $rc -eq 0 ] || ui_fail "driver exit code $rc"
    UI_WINEDEBUG=warn+seh ui_start "$dl/OrvaneChecker.exe"
    ui_wait_exit 60; rc=$?
    [ -z "$(planted_loaded)" ] || ui_fail "the checker loaded planted DLLs: $(planted_loaded)"
    [ $rc -eq 0 ] || ui_fail "the checker ended with $rc"
    [ "$(ui_debug_lines)" = 'no registry data\n' ] || ui_fail "checker debug lines [$(ui_debug_lines)]"
    echo "PASS planted: neither program loaded winscard.dll, winmm.dll, netapi32.dll or hhctrl.ocx from its own folder"
    ;;
  missing)
    # winscard, netapi32, winmm and hhctrl.ocx cannot be loaded: the checker
    # finds no PC/SC service, reads the card through the library and counts
    # the account lookup as failed; the settings program reads the card, plays
    # nothing, opens no help, and both end normally.
    ui_run "$UI_BIN/orvane-write-record.exe" "$CARD" someone-else secret WINEHOST 0x10 1 >/dev/null 2>&1 ||
      ui_fail "cannot arrange the record"
    export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winscard,netapi32,winmm,hhctrl.ocx=d"
    UI_WINEDEBUG=warn+seh ui_start "$UI_BIN/OrvaneChecker.exe"
    ui_wait_exit 60; rc=$?
    [ $rc -eq 0 ] || ui_fail "checker exit code $rc"
    [ "$(ui_debug_lines)" = 'user != login_user\n' ] || ui_fail "checker debug lines [$(ui_debug_lines)]"
    ui_run "$UI_BIN/orvane-write-record.exe" "$CARD" --delete >/dev/null 2>&1 || ui_fail "cannot delete the record"
    ui_start "$UI_BIN/OrvaneSetting.exe"
    ui_drive "$here/read-help-exit.ui" || ui_fail "driver exit code $?"
    echo "PASS missing: without winscard, netapi32, winmm and hhctrl.ocx both programs work on and end with 0"
    ;;
  close-all)
    ui_run "$UI_BIN/orvane-write-record.exe" "$CARD" "$user" secret WINEHOST 0x12 1 >/dev/null 2>&1 ||
      ui_fail "cannot arrange the record"
    # Two windows of the checker's name that take messages, then a hung one
    # (the newest: the one a single FindWindowW finds first).
    for kind in pump pump hang; do
      ready=$UI_OUT/ready-${#started[@]}
      WINEDEBUG=-all wine "$UI_BIN/orvane-checker-window.exe" $kind "$(ui_winpath "$ready")" \
        >/dev/null 2>&1 &
      started+=($!)
      for _ in $(seq 200); do [ -f "$ready" ] && break; sleep 0.05; done
      [ -f "$ready" ] || ui_fail "the $kind window did not appear"
    done
    ui_start "$UI_BIN/OrvaneSetting.exe"
    t0=$(date +%s)
    ui_drive "$here/switch-off.ui" || ui_fail "driver exit code $? (switching off with a hung window of the checker's name)"
    t1=$(date +%s)
    for i in 0 1; do
      for _ in $(seq 100); do kill -0 "${started[$i]}" 2>/dev/null || break; sleep 0.05; done
      kill -0 "${started[$i]}" 2>/dev/null && ui_fail "window $i of the checker's name was not closed"
      wait "${started[$i]}"; rc=$?
      [ $rc -eq 0 ] || ui_fail "window $i ended with $rc, expected 0 (WM_CLOSE)"
    done
    kill -0 "${started[2]}" 2>/dev/null || ui_fail "the hung window's program ended (it never takes a message)"
    echo "PASS close-all: both windows of the checker's name closed, the hung one passed over; switch-off took $((t1 - t0)) s"
    ;;
  *) echo "unknown case $case"; exit 2 ;;
esac
exit 0
