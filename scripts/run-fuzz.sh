#!/usr/bin/env bash
# Runs every libFuzzer program built into <build>/fuzz for FUZZ_SECONDS seconds each
# (default 60), starting from its committed corpus fuzz/corpus/<target>. New inputs go to
# <build>/corpus/<target>, crashes to <build>/artifacts/<target>/; the committed corpus is
# not changed. Prints one summary line per target and fails if any target failed.
# Usage: scripts/run-fuzz.sh [build folder] [target name...]
set -euo pipefail
build=${1:-build/fuzz}
shift || true
seconds=${FUZZ_SECONDS:-60}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
# Scratch files of the targets on a memory file system when there is one.
if [[ -z "${TMPDIR:-}" && -d /dev/shm && -w /dev/shm ]]; then
  export TMPDIR=/dev/shm
fi

targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
  for program in $(find "$build/fuzz" -maxdepth 1 -type f -name "fuzz_*" -perm -u+x | sort); do
    targets+=("$(basename "$program" | sed 's/^fuzz_//')")
  done
fi

status=0
summary=()
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  artifacts="$build/artifacts/$target/"
  log="$build/logs/$target.log"
  mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
  echo "== $target (${seconds} s)"
  if "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$artifacts" \
      "$corpus" "$source_dir/fuzz/corpus/$target" >"$log" 2>&1; then
    result="ok"
  else
    result="FAILED (see $log and $artifacts)"
    status=1
  fi
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
  took=$(grep -o 'Done [0-9]* runs in [0-9]* second' "$log" | grep -o 'in [0-9]*' | grep -o '[0-9]*' || echo "?")
  summary+=("$(printf '%-45s %12s runs %6s s  %s' "$target" "$runs" "$took" "$result")")
  echo "${summary[-1]}"
done

echo
echo "== fuzzing summary"
printf '%s\n' "${summary[@]}"
exit $status
