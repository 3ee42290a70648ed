#!/usr/bin/env bash
# Runs each libFuzzer target of the link for a set time, starting from the seed
# corpus in fuzz/corpus/<target> and keeping what it finds new in
# <build>/fuzz-corpus/<target>. A crash, a sanitizer report or a broken link rule
# leaves the input in <build>/fuzz-findings/ and makes the run fail.
# Usage: fuzz/run.sh <build dir> <seconds per target> [target...]
set -uo pipefail

build=${1:?build dir}
seconds=${2:?seconds per target}
shift 2
targets=("$@")
[[ ${#targets[@]} -gt 0 ]] || targets=(identify read write detect register)
source_dir=$(cd "$(dirname "$0")" && pwd)

mkdir -p "$build/fuzz-findings" "$build/fuzz-logs"
status=0
for target in "${targets[@]}"; do
  corpus="$build/fuzz-corpus/$target"
  log="$build/fuzz-logs/$target.log"
  mkdir -p "$corpus"
  "$build/bin/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$build/fuzz-findings/$target-" \
    "$corpus" "$source_dir/corpus/$target" >"$log" 2>&1
  result=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  cov=$(grep -Eo 'cov: [0-9]+' "$log" | tail -n 1)
  printf 'fuzz %-9s %3ss  %10s execs  %-9s corpus %s  ' "$target" "$seconds" "${execs:-?}" "${cov:-}" \
    "$(find "$corpus" -type f | wc -l)"
  if [[ $result -eq 0 ]]; then
    echo "ok"
  else
    echo "FAILED (log: $log)"
    grep -E 'link rule broken|ERROR|SUMMARY|Test unit written' "$log" | head -n 10
    status=1
  fi
done
exit $status
