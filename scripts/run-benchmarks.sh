#!/usr/bin/env bash
# Runs every Google Benchmark program built into <build>/benchmarks.
set -euo pipefail
build=${1:-build/bench}
status=0
for b in $(find "$build/benchmarks" -maxdepth 2 -type f -name "bench_*" -perm -u+x | sort); do
  [[ -x "$b" ]] || continue
  echo "== $(basename "$b")"
  "$b" --benchmark_counters_tabular=true || status=1
done
exit $status
