#!/usr/bin/env bash
# Puts the test winscard.dll into a Wine prefix's System32 (drive_c/windows/
# system32: the 64-bit programs' one), the only folder the programs load
# winscard.dll from. Wine keeps loading its own winscard unless a program runs
# with WINEDLLOVERRIDES=winscard=n, so the prefix's other tests are unaffected.
# Replaced by rename, so that a running process never sees a half-written file.
#   install-bridge.sh WINEPREFIX BRIDGE_DLL
set -euo pipefail
prefix=$1 dll=$2
system32=$prefix/drive_c/windows/system32
[ -d "$system32" ] || { echo "no System32 in $prefix (prefix not made?)" >&2; exit 1; }
cmp -s "$dll" "$system32/winscard.dll" && exit 0
cp "$dll" "$system32/winscard.dll.orvane-new"
mv -f "$system32/winscard.dll.orvane-new" "$system32/winscard.dll"
