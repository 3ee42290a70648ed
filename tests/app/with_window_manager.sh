#!/usr/bin/env bash
# Runs a command on the current X display once a window manager (openbox) has
# finished starting; the window manager stops when the command ends.
set -euo pipefail
manager=$1
shift
ready=$(mktemp -u "${TMPDIR:-/tmp}/zenor9-wm-ready.XXXXXX")
"$manager" --startup "touch $ready" >/dev/null 2>&1 &
manager_pid=$!
trap 'kill "$manager_pid" 2>/dev/null || true; wait "$manager_pid" 2>/dev/null || true; rm -f "$ready"' EXIT
for _ in $(seq 200); do
  [[ -e "$ready" ]] && break
  kill -0 "$manager_pid" 2>/dev/null || { echo "the window manager did not start"; exit 1; }
  sleep 0.05
done
[[ -e "$ready" ]] || { echo "the window manager did not finish starting within 10 s"; exit 1; }
"$@"
