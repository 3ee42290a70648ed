#!/usr/bin/env bash
# `make run` given a display that does not answer runs the command-line job
# instead (the window program would abort), and says why.
set -euo pipefail
run_demo=$1
build=$2

# No X server listens on display 6999 on this machine.
if ! output=$(DISPLAY=:6999 WAYLAND_DISPLAY='' BUILD="$build" "$run_demo" 2>&1); then
  printf '%s\n' "$output"
  echo "FAIL: run-demo.sh ended with an error"
  exit 1
fi
printf '%s\n' "$output"
expect() {
  grep -qxF -- "$1" <<<"$output" || { echo "FAIL: no line \"$1\""; exit 1; }
}
expect "The display DISPLAY=:6999 does not answer: the same job on the command line."
expect "\$ zenor9 write 25 --verify"
[[ $(tail -n 1 <<<"$output") == "25" ]] || { echo "FAIL: the last read did not show 25"; exit 1; }
