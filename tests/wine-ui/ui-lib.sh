# shellcheck shell=bash
# Library for end-to-end tests of our dialogs under Wine: source it from a test
# script (bash). It keeps one Wine prefix per test group and runs the UI driver
# (orvane-ui-driver.exe) against a program started in the background.
#
#   ui_init GROUP XVFB_STATE_DIR CASE   prefix build/wineprefix-ui-GROUP, DISPLAY
#                                      of the group's Xvfb, output folder
#                                      build/wine-ui/GROUP/CASE ($UI_OUT)
#   ui_start PROGRAM.exe [ARGS...]      starts the program under Wine in the
#                                      background; its stderr (Wine's debug
#                                      output) goes to $UI_OUT/program.log.
#                                      UI_RELAY="dll.Func;dll.Func2" traces just
#                                      those calls (WINEDEBUG=+relay with a
#                                      RelayInclude list); UI_WINEDEBUG sets
#                                      other channels (e.g. warn+seh)
#   ui_drive SCRIPT|-                   runs the driver on a script file (or on
#                                      standard input) with the build's resource
#                                      map ($UI_NAMES: IDC_READ, "{@IDS_WRITTEN}"
#                                      in the script); prints its lines, keeps
#                                      them in $UI_OUT/driver.log, turns its BMP
#                                      screenshots into PNG; returns its exit code
#   ui_wait_exit [SECONDS]              the program's exit code (124: still
#                                      running after SECONDS, default 10)
#   ui_relay_calls FUNC                 "ARGS" of every traced call of FUNC
#   ui_debug_lines                      OutputDebugString texts (UI_WINEDEBUG=warn+seh)
#   ui_run PROGRAM.exe [ARGS...]        runs a Windows program in the prefix, in
#                                      the foreground (e.g. reg add)
#   ui_winpath PATH                     a Unix path as Wine's Z: path
#   ui_res_id SYMBOL                    the resource map's number of SYMBOL
#   ui_res_text SYMBOL [FILL...]        its text as the driver shows it (\r\n
#                                      escaped, no quotes), each %s filled in turn
#   ui_fail MESSAGE                     prints FAIL with the logs' tails, exits 1
# The program is ended (only that process) when the script exits.
# UI_BIN names the Windows build (default build/win64/bin); ui_init exits 77
# (ctest's skip) when the driver is not built there.

ui_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
UI_BIN=${UI_BIN:-$ui_root/build/win64/bin}
# The programs' resource symbols and texts, made with them (cmake/resource_map.cmake).
UI_NAMES=${UI_NAMES:-$UI_BIN/../resource_map/resource_map.names}
ui_pid=

ui_env() {
  export WINEPREFIX=$UI_PREFIX WINEARCH=win64
  # UTF-8 locale: Wine converts command lines and file names by it.
  export LANG=C.UTF-8 LC_ALL=C.UTF-8
  # No Mono or Gecko install dialogs when the prefix is made.
  export WINEDLLOVERRIDES="mscoree,mshtml="
}

ui_winpath() { local p=$1; printf 'Z:%s' "${p//\//\\}"; }

ui_run() { WINEDEBUG=-all wine "$@"; }

ui_res_id() {
  local symbol=${1:?symbol} name number rest
  while read -r name number rest; do
    [ "$name" = "$symbol" ] && { printf '%s\n' "$number"; return 0; }
  done <"$UI_NAMES"
  echo "no $symbol in $UI_NAMES" >&2
  return 1
}

ui_res_text() {
  local symbol=${1:?symbol} name number text
  shift
  while IFS=' ' read -r name number text; do
    [ "$name" = "$symbol" ] || continue
    text=${text#\"}
    text=${text%\"}
    local fill
    for fill in "$@"; do text=${text/"%s"/"$fill"}; done
    printf '%s\n' "$text"
    return 0
  done <"$UI_NAMES"
  echo "no $symbol in $UI_NAMES" >&2
  return 1
}

ui_init() {
  local group=${1:?group} xstate=${2:?xvfb state} case=${3:?case}
  if [ ! -f "$UI_BIN/orvane-ui-driver.exe" ] || [ ! -f "$UI_NAMES" ]; then
    echo "SKIP: $UI_BIN/orvane-ui-driver.exe or $UI_NAMES not built (build the win64 preset first)"
    exit 77
  fi
  UI_GROUP=$group UI_CASE=$case
  UI_PREFIX=${UI_PREFIX:-$ui_root/build/wineprefix-ui-$group}
  UI_OUT=$ui_root/build/wine-ui/$group/$case
  rm -rf "$UI_OUT" && mkdir -p "$UI_OUT"
  ui_env
  DISPLAY=$("$ui_root/tests/wine/xvfb.sh" display "$xstate") || { echo "FAIL: no Xvfb display in $xstate"; exit 1; }
  export DISPLAY
  mkdir -p "$(dirname "$UI_PREFIX")"
  (
    flock 9
    # A prefix whose first boot did not finish (seen under load) lacks the
    # system DLLs: made again, at most twice, and marked ready only when whole.
    local tries=0
    while [ ! -f "$UI_PREFIX/.orvane-ui-ready" ] || [ ! -f "$UI_PREFIX/drive_c/windows/system32/kernel32.dll" ]; do
      [ $tries -lt 3 ] || { echo "FAIL: cannot make the Wine prefix $UI_PREFIX"; exit 1; }
      tries=$((tries + 1))
      if [ $tries -gt 1 ]; then
        WINEDEBUG=-all wineserver -k 2>/dev/null
        rm -rf "$UI_PREFIX"
      fi
      ui_run wineboot -i >/dev/null 2>&1
      WINEDEBUG=-all wineserver -w
      [ -f "$UI_PREFIX/drive_c/windows/system32/kernel32.dll" ] || continue
      # Without a window manager every hide or destroy waits 2 s for it:
      # unmanaged windows do not.
      ui_run reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
      # The dialog font, and the one message boxes reach through Tahoma's font link.
      for font in 'メイリオ' 'MS UI Gothic'; do
        ui_run reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$font" /t REG_SZ /d 'Noto Sans CJK JP' /f >/dev/null 2>&1
      done
      WINEDEBUG=-all wineserver -w
      touch "$UI_PREFIX/.orvane-ui-ready"
    done
  ) 9>"$UI_PREFIX.lock" || exit 1
  trap ui_cleanup EXIT
}

# The test felica.dll where both programs look for it, replaced by rename so
# that a running process never sees a half-written file; it plays the card
# whose ID the test writes into $UI_OUT/card (empty: no card).
ui_install_felica() {
  local libdir="$UI_PREFIX/drive_c/Program Files/Common Files/Sony Shared/FeliCaLibrary"
  mkdir -p "$libdir"
  if ! cmp -s "$UI_BIN/felica.dll" "$libdir/felica.dll"; then
    cp "$UI_BIN/felica.dll" "$libdir/felica.dll.new" && mv -f "$libdir/felica.dll.new" "$libdir/felica.dll"
  fi
  export ORVANE_TEST_FELICA_CARD
  ORVANE_TEST_FELICA_CARD=$(ui_winpath "$UI_OUT/card")
}

# A short, valid wave file at C:\orvane-test\ding.wav in the prefix.
ui_make_wav() {
  local wavdir="$UI_PREFIX/drive_c/orvane-test"
  mkdir -p "$wavdir"
  [ -s "$wavdir/ding.wav" ] || python3 - "$wavdir/ding.wav" <<'PY'
import sys, wave
w = wave.open(sys.argv[1], "wb")
w.setnchannels(1); w.setsampwidth(2); w.setframerate(8000)
w.writeframes(b"\0\0" * 800)
w.close()
PY
}

ui_start() {
  local debug=${UI_WINEDEBUG:--all}
  if [ -n "${UI_RELAY:-}" ]; then
    ui_run reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /t REG_SZ /d "$UI_RELAY" /f >/dev/null 2>&1 \
      || ui_fail "cannot set RelayInclude"
    debug=${UI_WINEDEBUG:+$UI_WINEDEBUG,}+relay
  fi
  WINEDEBUG=$debug wine "$@" >"$UI_OUT/program.out" 2>"$UI_OUT/program.log" &
  ui_pid=$!
}

ui_drive() {
  local script=${1:?script or -} rc
  [ "$script" = - ] || script=$(ui_winpath "$(cd "$(dirname "$script")" && pwd)/$(basename "$script")")
  WINEDEBUG=-all wine "$UI_BIN/orvane-ui-driver.exe" --out "$(ui_winpath "$UI_OUT")" \
    --names "$(ui_winpath "$(cd "$(dirname "$UI_NAMES")" && pwd)/$(basename "$UI_NAMES")")" "$script" >"$UI_OUT/driver.log" 2>&1
  rc=$?
  tr -d '\r' <"$UI_OUT/driver.log"
  local bmp
  for bmp in "$UI_OUT"/*.bmp; do
    [ -f "$bmp" ] || continue
    if command -v convert >/dev/null && convert "$bmp" "${bmp%.bmp}.png" 2>/dev/null; then rm -f "$bmp"; fi
  done
  return $rc
}

ui_wait_exit() {
  local secs=${1:-10} i
  [ -n "$ui_pid" ] || return 125
  for ((i = 0; i < secs * 20; ++i)); do
    if ! kill -0 "$ui_pid" 2>/dev/null; then
      wait "$ui_pid"; local rc=$?; ui_pid=; return $rc
    fi
    sleep 0.05
  done
  return 124
}

ui_relay_calls() {
  sed -n "s/.*Call ${1//./\\.}(\(.*\)) ret=.*/\1/p" "$UI_OUT/program.log"
}

ui_debug_lines() {
  sed -n 's/.*warn:seh:OutputDebugString[AW] \(L\)\{0,1\}"\(.*\)"\r\{0,1\}$/\2/p' "$UI_OUT/program.log"
}

ui_fail() {
  echo "FAIL $UI_GROUP/$UI_CASE: $*"
  echo "--- program log (tail) $UI_OUT/program.log"
  tail -n 20 "$UI_OUT/program.log" 2>/dev/null
  exit 1
}

ui_cleanup() {
  # Only the program this script started: its wine process and what it spawned.
  if [ -n "$ui_pid" ] && kill -0 "$ui_pid" 2>/dev/null; then
    kill "$ui_pid" 2>/dev/null
    wait "$ui_pid" 2>/dev/null
  fi
  ui_pid=
}
