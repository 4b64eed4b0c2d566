#!/usr/bin/env bash
# The card list with many records under Wine: the time from the delete button
# until the list holds every row, beside a plain loop that only enumerates
# the same keys and reads each "comment" (same run, same prefix).
#   list-bench.sh [--rows N] [--bin WIN64_BIN]     default 10000 rows, build/win64/bin
# Needs Xvfb (started here) and the win64 build. Prints both times and the ratio.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
rows=10000
bin=$root/build/win64/bin
while [ $# -gt 0 ]; do
  case $1 in
    --rows) rows=$2; shift 2 ;;
    --bin) bin=$2; shift 2 ;;
    *) echo "usage: $0 [--rows N] [--bin DIR]" >&2; exit 2 ;;
  esac
done
for f in OrvaneSetting.exe orvane-list-bench.exe; do
  [ -f "$bin/$f" ] || { echo "list-bench: $bin/$f not built (build the win64 preset)" >&2; exit 1; }
done
export WINEPREFIX=$root/build/wineprefix-list-bench WINEARCH=win64 LANG=C.UTF-8 LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
state=$root/build/list-bench-xvfb
"$root/tests/wine/xvfb.sh" start "$state" >/dev/null || exit 1
trap '"$root/tests/wine/xvfb.sh" stop "$state" >/dev/null' EXIT
DISPLAY=$("$root/tests/wine/xvfb.sh" display "$state"); export DISPLAY
if [ ! -f "$WINEPREFIX/.orvane-ready" ]; then
  wineboot -i >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.orvane-ready"
fi
# N records with comments (and the "data" a record has), imported at once.
reg=$root/build/list-bench-$rows.reg
python3 - "$rows" "$reg" <<'PY'
import sys
n, path = int(sys.argv[1]), sys.argv[2]
lines = ["Windows Registry Editor Version 5.00", "",
         "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Brindle\\Orvane]", ""]
for i in range(n):
    lines += ["[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brindle\\Orvane\\%x]" % (0x10000000 + i),
              '"comment"="2024/01/02 03:04:05 card %d"' % i,
              '"data"=hex:' + ",".join(["a5"] * 48), ""]
open(path, "w", encoding="utf-16").write("\r\n".join(lines) + "\r\n")
PY
wine reg import "Z:${reg//\//\\}" >/dev/null 2>&1 || { echo "list-bench: reg import failed" >&2; exit 1; }
wine "$bin/orvane-list-bench.exe" "Z:${bin//\//\\}\\OrvaneSetting.exe" "$rows" | tr -d '\r'
