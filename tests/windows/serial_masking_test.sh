#!/usr/bin/env bash
# scripts/test-windows.sh must stop, saying why, wherever it cannot keep the
# machine's serial devices out of Wine's reach, and must never mask them in the
# namespace it was called from. Stand-ins for unshare and mount make each case
# (the mount stand-in masks nothing and notes each call); the Windows build
# folder is empty, so that a script that went on would stop later, at the
# missing zenor9.exe, instead of starting anything.
set -uo pipefail
script=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/refusing" "$work/recording" "$work/empty"
printf '#!/bin/sh\nexit 1\n' >"$work/refusing/unshare"
printf '#!/bin/sh\necho "$*" >>"%s"\nexit 1\n' "$work/mounts" >"$work/recording/mount"
chmod +x "$work/refusing/unshare" "$work/recording/mount"
failures=0

# Runs the script with a stand-in folder first in PATH; it must fail, say
# `expected`, and never reach the check for zenor9.exe.
expect_stop() {
  local case=$1 stand_ins=$2 expected=$3
  shift 3
  local output status
  output=$(env "$@" PATH="$stand_ins:$PATH" BUILD="$work/empty" WINDOWS_BUILD="$work/empty" \
    bash "$script" 2>&1)
  status=$?
  if [[ $status -eq 0 || "$output" != *"$expected"* || "$output" == *"is missing"* ]]; then
    echo "FAIL: $case: exit $status: $output"
    failures=$((failures + 1))
  else
    echo "ok: $case: $output"
  fi
}

expect_stop "no private mount namespace" "$work/refusing" "private mount namespace"

# A variable set by hand is no namespace: nothing may be mounted here.
expect_stop "variable set by hand" "$work/recording" "not in a private mount namespace" \
  ZENOR9_TTYS_MASKED=set-by-hand
if [[ -s "$work/mounts" ]]; then
  echo "FAIL: the script masked devices in the caller's namespace: $(cat "$work/mounts")"
  failures=$((failures + 1))
fi

devices=()
for device in /dev/ttyS* /dev/ttyUSB* /dev/ttyACM*; do
  [[ -c "$device" ]] && devices+=("$device")
done
if [[ $(id -u) -ne 0 || ${#devices[@]} -eq 0 ]] || ! unshare --mount true 2>/dev/null; then
  echo "skipped: a device that cannot be masked (needs root, unshare and a serial device)"
else
  expect_stop "a device that cannot be masked" "$work/recording" \
    "${devices[0]} could not be masked"
fi
exit $((failures > 0))
