#!/usr/bin/env bash
# The registry contract against WinRegistry on Wine's registry, in a prefix of
# its own (the cases write under HKLM and HKCU).
#   registry-wine.sh WIN_BIN_DIR
# Exit 0 pass, 1 fail, 77 skip (the Windows build is missing).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
exe=$1/orvane-registry-contract.exe
if [ ! -f "$exe" ]; then
  echo "SKIP: $exe not built (build the win64 preset first)"
  exit 77
fi
export ORVANE_WINEPREFIX=${ORVANE_REGISTRY_WINEPREFIX:-$root/build/wineprefix-registry}
"$root/tests/wine/wine-run.sh" "$exe" | tr -d '\r'
