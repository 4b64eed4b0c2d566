#!/usr/bin/env bash
# How fast OrvaneSetting's main dialog comes up under Wine, and how soon a card
# placed during a read is shown (bounded by the read timer's 1 s period).
#   setting-bench.sh [RUNS]   (default 5; needs the win64 and native builds)
# Prints the median of each and the driver's own start-up cost, which is
# measured alone and taken off. A benchmark, never a test with a time limit.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
runs=${1:-5}
xstate=$root/build/bench-setting-xvfb
"$root/tests/wine/xvfb.sh" start "$xstate" >/dev/null || exit 1
trap '"$root/tests/wine/xvfb.sh" stop "$xstate"' EXIT
# shellcheck source=../wine-ui/ui-lib.sh
. "$root/tests/wine-ui/ui-lib.sh"
ui_init bench "$xstate" setting
trap 'ui_cleanup; "$root/tests/wine/xvfb.sh" stop "$xstate"' EXIT
program=$UI_BIN/OrvaneSetting.exe
libdir="$UI_PREFIX/drive_c/Program Files/Common Files/Sony Shared/FeliCaLibrary"
mkdir -p "$libdir" && cp "$UI_BIN/felica.dll" "$libdir/felica.dll"
card_file=$UI_OUT/card
export ORVANE_TEST_FELICA_CARD
ORVANE_TEST_FELICA_CARD=$(ui_winpath "$card_file")

now() { date +%s.%N; }
ms() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%d", (b - a) * 1000 }'; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
window='window {@IDD_MAIN} timeout=60000'
shown='wait-text IDC_STATUS "{@IDS_CARD_READ| (FeliCa) }" timeout=5000'

starts=() cards=() overheads=()
for ((i = 0; i < runs; ++i)); do
  : >"$card_file"
  t0=$(now)
  ui_start "$program"
  echo "$window" | ui_drive - >/dev/null || { echo "run $i: no window"; exit 1; }
  t1=$(now)
  # The driver's own cost: the same step on a window that is already there.
  echo "$window" | ui_drive - >/dev/null
  t2=$(now)
  printf '%s\nclick IDC_READ\n' "$window" | ui_drive - >/dev/null
  t3=$(now)
  printf '%s' 012E4CD82A1B3C4D03014B024F4993FF >"$card_file"
  printf '%s\n%s\n' "$window" "$shown" | ui_drive - >/dev/null || { echo "run $i: card not shown"; exit 1; }
  t4=$(now)
  printf '%s\nclose\nexit 0\n' "$window" | ui_drive - >/dev/null
  ui_wait_exit 10 >/dev/null
  overhead=$(ms "$t1" "$t2")
  overheads+=("$overhead")
  starts+=($(($(ms "$t0" "$t1") - overhead)))
  cards+=($(($(ms "$t3" "$t4") - overhead)))
done
echo "runs: $runs (Wine $(wine --version 2>/dev/null), win64 build)"
echo "process start to main dialog visible: $(printf '%s\n' "${starts[@]}" | median) ms (median)"
echo "card placed to card shown:            $(printf '%s\n' "${cards[@]}" | median) ms (median; read timer period 1000 ms)"
echo "driver start-up taken off each:       $(printf '%s\n' "${overheads[@]}" | median) ms (median)"
