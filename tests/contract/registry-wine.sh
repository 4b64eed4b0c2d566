#!/usr/bin/env bash
# The registry contract against WinRegistry on Wine's registry, in a prefix of
# its own (the cases write under HKLM and HKCU).
#   registry-wine.sh WIN_BIN_DIR
# Exit 0 pass, 1 fail, 77 skip (the Windows build is missing).
set -uo pipefail
. "$(dirname "$0")/../wine/preamble.sh"
need_built "$1" orvane-registry-contract.exe
use_prefix registry "${ORVANE_REGISTRY_WINEPREFIX:-}"
run "$1/orvane-registry-contract.exe" | tr -d '\r'
