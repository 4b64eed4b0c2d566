#!/usr/bin/env bash
# Runs a Windows program under the tests' own Wine prefix, creating the prefix
# on first use. Usage: wine-run.sh PROGRAM.exe [ARGS...]
# ORVANE_WINEPREFIX names the prefix (default: build/wineprefix beside the
# source tree); WINEDEBUG is passed through (default: quiet).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
export WINEPREFIX=${ORVANE_WINEPREFIX:-$root/build/wineprefix}
export WINEARCH=win64
# Wine turns the command line into UTF-16 by the locale: UTF-8 keeps Japanese intact.
export LC_ALL=C.UTF-8
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko install dialogs: nothing may be downloaded.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}mscoree,mshtml=
mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  if [ ! -f "$WINEPREFIX/.orvane-ready" ]; then
    WINEDEBUG=-all wine wineboot -i >/dev/null 2>&1 || true
    # The dialog font, mapped to an installed CJK font so Japanese text renders.
    WINEDEBUG=-all wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'メイリオ' /t REG_SZ /d 'Noto Sans CJK JP' /f >/dev/null 2>&1 || true
    WINEDEBUG=-all wineserver -w || true
    touch "$WINEPREFIX/.orvane-ready"
  fi
) 9>"$(dirname "$WINEPREFIX")/.wineprefix.lock"
exec wine "$@"
