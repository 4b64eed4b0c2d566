#!/usr/bin/env bash
# Benchmarks one PollCard (checker flavour, the core over the pcsc-lite
# adapter) against a direct pcsc-lite loop making the same calls, for each
# card kind, on the tests' own pcscd with a virtual card on "Virtual PCD 00 00".
#
#   run-bench.sh [--build DIR] [--min-time SECONDS] [--smoke] [--running-pcscd STATE_DIR]
#
# --build          build tree holding bin/orvane-poll-bench (default build/native)
# --smoke          a few polls per kind; fails when a poll fails or makes other
#                  PC/SC calls than expected (used by ctest; no timing judged)
# --running-pcscd  use the pcscd the test harness already runs (its state dir)
# Prints per card kind: ms per poll (core, direct; median of 5 runs of at
# least --min-time seconds each), their ratio and the PC/SC calls per poll.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$root/build/native
min_time=2
smoke=0
running=
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$2; shift 2 ;;
    --min-time) min_time=$2; shift 2 ;;
    --smoke) smoke=1; min_time=0.05; shift ;;
    --running-pcscd) running=$2; shift 2 ;;
    *) echo "usage: $0 [--build DIR] [--min-time S] [--smoke] [--running-pcscd STATE_DIR]" >&2; exit 2 ;;
  esac
done
bench=$build/bin/orvane-poll-bench
wait_tool=$build/bin/orvane-pcsc-wait
for f in "$bench" "$wait_tool"; do
  [ -x "$f" ] || { echo "run-bench: $f not built (cmake --build $build)" >&2; exit 1; }
done

if [ -n "$running" ]; then
  state=$running
else
  state=$build/bench-run
  "$here/../pcsc/pcscd-harness.sh" start "$state" "$wait_tool" || exit 1
fi
vcard_pid=
cleanup() {
  [ -n "$vcard_pid" ] && kill "$vcard_pid" 2>/dev/null && wait "$vcard_pid" 2>/dev/null
  rm -f "$state/vcard-0.pid"
  [ -z "$running" ] && "$here/../pcsc/pcscd-harness.sh" stop "$state" >/dev/null
}
trap cleanup EXIT
trap 'exit 130' INT TERM

reader="Virtual PCD 00 00"
results=()
status=0
for kind in felica mifare4 mifare7 mifare10; do
  python3 "$here/../vcard/vcard.py" "$kind" --slot 0 &
  vcard_pid=$!
  echo "$vcard_pid" >"$state/vcard-0.pid"
  if ! "$wait_tool" present "$reader" 10000; then
    echo "run-bench: pcscd does not see the $kind card" >&2
    exit 1
  fi
  json=$state/bench-$kind.json
  # Median of repetitions: the machine is shared and single runs are noisy.
  reps=()
  [ $smoke = 0 ] && reps=(--benchmark_repetitions=5 --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true)
  "$bench" --benchmark_min_time="$min_time" "${reps[@]}" --benchmark_format=json --benchmark_out="$json" \
    --benchmark_out_format=json >/dev/null 2>"$state/bench-$kind.err"
  rc=$?
  kill "$vcard_pid" 2>/dev/null; wait "$vcard_pid" 2>/dev/null; vcard_pid=
  "$wait_tool" absent "$reader" 10000
  if [ $rc -ne 0 ]; then
    echo "run-bench: orvane-poll-bench failed for $kind:" >&2; cat "$state/bench-$kind.err" >&2; exit 1
  fi
  results+=("$kind=$json")
done

python3 - "$smoke" "${results[@]}" <<'PY' || status=1
import json, sys
smoke = sys.argv[1] == "1"
# Connect, status, ID, [PMm], disconnect: what a poll of a card on the first
# of two vpcd readers must cost.
expected_calls = {"felica": 5, "mifare4": 4, "mifare7": 4, "mifare10": 4}
ok = True
print("%-9s %12s %12s %7s %11s %11s" % ("card", "core ms", "direct ms", "ratio", "core calls", "direct calls"))
for arg in sys.argv[2:]:
    kind, path = arg.split("=", 1)
    runs = {}
    for b in json.load(open(path))["benchmarks"]:
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        runs[b["name"].split("/")[0]] = b
    core, direct = runs.get("BM_CorePollCard"), runs.get("BM_DirectPcscLite")
    for name, b in (("core", core), ("direct", direct)):
        if b is None or b.get("error_occurred") or not b.get("iterations"):
            print("%s: %s poll failed: %s" % (kind, name, (b or {}).get("error_message", "missing")))
            ok = False
    if not ok:
        continue
    core_ms, direct_ms = core["real_time"], direct["real_time"]
    print("%-9s %12.3f %12.3f %7.2f %11.1f %11.1f" % (kind, core_ms, direct_ms, core_ms / direct_ms,
          core["pcsc_calls_per_poll"], direct["pcsc_calls_per_poll"]))
    if smoke:
        for name, b in (("core", core), ("direct", direct)):
            if b["pcsc_calls_per_poll"] != expected_calls[kind]:
                print("%s: %s poll made %.1f PC/SC calls, expected %d"
                      % (kind, name, b["pcsc_calls_per_poll"], expected_calls[kind]))
                ok = False
sys.exit(0 if ok else 1)
PY
exit $status
