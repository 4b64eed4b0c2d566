#!/usr/bin/env bash
# How soon OrvaneChecker is armed at logon under Wine: from the process start
# to the return of its watch timer's SetTimer, with the user's card on the
# reader (the test felica.dll) and a record that asks for a log off.
#   checker-bench.sh [RUNS]   (default 5; needs the win64 build)
# The start is taken just before wine is started; the armed moment is the
# relay trace's "Ret user32.SetTimer" line, stamped by Wine's +timestamp
# (its tick count: CLOCK_MONOTONIC_RAW in ms, the clock the start is read
# from). At a logon Windows is already up: so is Wine's session here (its
# wineserver and system processes, kept alive by an idle cmd.exe), whose
# start would otherwise add about 1.5 s to every run. One run before the
# measured ones warms the caches.
# Prints the median; a benchmark, never a test with a time limit.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../wine/preamble.sh"
runs=${1:-5}
bin=$root/build/win64/bin
need_built "$bin" OrvaneChecker.exe orvane-write-record.exe orvane-close-checker.exe felica.dll
use_prefix bench-checker
xstate=$root/build/bench-checker-xvfb
"$root/tests/wine/xvfb.sh" start "$xstate" >/dev/null || exit 1
use_display "$xstate"
work=$(mktemp -d /tmp/orvane-checker-bench.XXXXXX)
trap 'WINEPREFIX=$ORVANE_WINEPREFIX wineserver -k 2>/dev/null; "$root/tests/wine/xvfb.sh" stop "$xstate" >/dev/null; rm -rf "$work"' EXIT

CARD=012E4CD82A1B3C4D03014B024F4993FF
run cmd /c exit >/dev/null 2>&1  # makes the prefix on first use
export WINEPREFIX=$ORVANE_WINEPREFIX WINEARCH=win64 LC_ALL=C.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml="
WINEDEBUG=-all wineserver -p
mkfifo "$work/hold" && exec 8<>"$work/hold"
WINEDEBUG=-all wine cmd.exe <"$work/hold" >/dev/null 2>&1 &
libdir="$WINEPREFIX/drive_c/Program Files/Common Files/Sony Shared/FeliCaLibrary"
mkdir -p "$libdir" && cp "$bin/felica.dll" "$libdir/felica.dll"
export ORVANE_TEST_FELICA_CARD
ORVANE_TEST_FELICA_CARD=$(winpath "$work/card")
printf '%s' "$CARD" >"$work/card"
run reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
run reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /t REG_SZ /d user32.SetTimer /f >/dev/null 2>&1 \
  || { echo "cannot set RelayInclude"; exit 1; }
# A log off after 60 s away: no tick happens while it is measured.
run "$bin/orvane-write-record.exe" "$CARD" "$(id -un)" secret WINEHOST 0 60 none >/dev/null \
  || { echo "cannot write the record"; exit 1; }

# One run: prints the milliseconds from start to armed, then closes the
# checker as the settings program does (WM_CLOSE) and waits for its exit.
armed_after() {
  python3 - "$bin/OrvaneChecker.exe" "$bin/orvane-close-checker.exe" "$work/log" <<'PY'
import os, re, subprocess, sys, time
program, closer, log = sys.argv[1:4]
env = dict(os.environ, WINEDEBUG="+timestamp,+relay")
start = time.clock_gettime_ns(time.CLOCK_MONOTONIC_RAW) // 1000000
with open(log, "wb") as err:
    checker = subprocess.Popen(["wine", program], stderr=err, stdout=subprocess.DEVNULL, env=env)
armed = None
deadline = time.monotonic() + 60
while armed is None and time.monotonic() < deadline and checker.poll() is None:
    time.sleep(0.01)
    m = re.search(rb"(\d+)\.(\d{3}):(?:[0-9a-f]+:)+Ret  user32\.SetTimer\(", open(log, "rb").read())
    if m:
        armed = int(m.group(1)) * 1000 + int(m.group(2))
subprocess.run(["wine", closer, "10000"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
               env=dict(os.environ, WINEDEBUG="-all"))
try:
    code = checker.wait(timeout=10)
except subprocess.TimeoutExpired:
    checker.kill()
    sys.exit("the checker did not end after WM_CLOSE")
if armed is None:
    sys.exit("not armed (exit code %s)" % code)
# The tick count is 32 bits of milliseconds.
print((armed - start) % (1 << 32))
PY
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

armed_after >/dev/null || exit 1  # warm-up, not counted
times=()
for ((i = 0; i < runs; ++i)); do
  t=$(armed_after) || { echo "run $i: $t"; exit 1; }
  times+=("$t")
done
echo "runs: $runs (Wine $(wine --version 2>/dev/null), win64 build): ${times[*]} ms"
echo "process start to armed: $(printf '%s\n' "${times[@]}" | median) ms (median)"
