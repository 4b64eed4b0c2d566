# What every Wine test script starts with; sourced after `set -uo pipefail`.
#   root                   the source tree
#   need_built BIN FILE... exit 77 (skip) unless every FILE is in BIN (a Windows build's bin/)
#   use_prefix NAME [PATH] this suite's own Wine prefix: PATH, or build/wineprefix-NAME
#   use_display XSTATE     DISPLAY of the Xvfb that tests/wine/xvfb.sh started in XSTATE
#   run PROGRAM [ARGS...]  PROGRAM under that prefix (tests/wine/wine-run.sh)
#   winpath PATH           a Linux path as a Windows program sees it (Z:\...)
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

need_built() {
  local dir=$1 f
  shift
  for f in "$@"; do
    if [ ! -f "$dir/$f" ]; then
      echo "SKIP: $dir/$f not built (build the win64 preset first)"
      exit 77
    fi
  done
}

use_prefix() { export ORVANE_WINEPREFIX=${2:-$root/build/wineprefix-$1}; }

use_display() {
  DISPLAY=$("$root/tests/wine/xvfb.sh" display "$1") || { echo "no Xvfb display"; exit 1; }
  export DISPLAY
}

run() { "$root/tests/wine/wine-run.sh" "$@"; }

winpath() { printf 'Z:%s' "${1//\//\\}"; }
