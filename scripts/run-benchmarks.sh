#!/usr/bin/env bash
# Runs every Google Benchmark program built into <build>/benchmarks, then the Python timing
# scripts of benchmarks/python against the package of the same build.
set -euo pipefail
build=${1:-build/bench}
status=0
for b in $(find "$build/benchmarks" -maxdepth 2 -type f -name "bench_*" -perm -u+x | sort); do
  [[ -x "$b" ]] || continue
  echo "== $(basename "$b")"
  "$b" --benchmark_counters_tabular=true || status=1
done
source_dir=$(cd "$(dirname "$0")/.." && pwd)
for script in "$source_dir"/benchmarks/python/*.py; do
  echo "== $(basename "$script")"
  PYTHONPATH="$build/python" /usr/bin/python3 "$script" || status=1
done
exit $status
