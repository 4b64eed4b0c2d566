#!/usr/bin/env bash
# Long fuzzing, not part of CI: every libFuzzer target of the fuzz build until
# it has run FUZZ_RUNS inputs (default 10 million) or FUZZ_SECONDS seconds
# (default 600), whichever comes first, one target after the other. Reports
# executions, coverage and findings per target; every crashing input is
# copied into tests/fuzz/corpus/<target>/ so that the short CI runs replay it.
#   fuzz-long.sh [TARGET...]      (default: every target of tests/fuzz/targets.cmake)
# Exit 0 when no target found anything, 1 otherwise.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
bin=$root/build/fuzz/bin
work=$root/build/fuzz-long
runs=${FUZZ_RUNS:-10000000}
seconds=${FUZZ_SECONDS:-600}

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(sed -n 's/^  \(fuzz_[a-z_]*\)$/\1/p' "$root/tests/fuzz/targets.cmake")
fi

found=0
mkdir -p "$work"
printf '%-20s %12s %8s %8s %s\n' target executions cov ft findings >"$work/summary"
for t in "${targets[@]}"; do
  fuzzer=$bin/$t
  if [ ! -x "$fuzzer" ]; then
    echo "$fuzzer is missing: build the fuzz preset first" >&2
    exit 2
  fi
  dir=$work/$t
  mkdir -p "$dir/corpus" "$dir/artifacts"
  seeds=$root/tests/fuzz/corpus/$t
  corpora=("$dir/corpus")
  [ -d "$seeds" ] && corpora+=("$seeds")
  echo "== $t: up to $runs executions or $seconds s" >&2
  # -fork keeps going after a finding, so one crash does not end the run;
  # each crashing input lands in artifacts/.
  "$fuzzer" -runs="$runs" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 \
    -print_final_stats=1 -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 \
    -artifact_prefix="$dir/artifacts/" "${corpora[@]}" >"$dir/log" 2>&1
  # Executions: in fork mode the parent's last status line; otherwise the final stats.
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -1)
  [ -n "$execs" ] || execs=$(grep -oE '^#[0-9]+' "$dir/log" | tail -1 | tr -d '#')
  cov=$(grep -oE 'cov: [0-9]+' "$dir/log" | tail -1 | cut -d' ' -f2)
  ft=$(grep -oE 'ft: [0-9]+' "$dir/log" | tail -1 | cut -d' ' -f2)
  n=0
  for a in "$dir"/artifacts/crash-* "$dir"/artifacts/leak-* "$dir"/artifacts/timeout-* "$dir"/artifacts/oom-*; do
    [ -f "$a" ] || continue
    n=$((n + 1))
    mkdir -p "$seeds"
    cp -n "$a" "$seeds/$(basename "$a")"
  done
  [ $n -eq 0 ] || found=1
  printf '%-20s %12s %8s %8s %s\n' "$t" "${execs:-?}" "${cov:-?}" "${ft:-?}" \
    "$([ $n -eq 0 ] && echo none || echo "$n, copied to tests/fuzz/corpus/$t/")" | tee -a "$work/summary"
done
echo "logs: $work/<target>/log; summary: $work/summary" >&2
exit $found
