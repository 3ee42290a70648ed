#!/usr/bin/env bash
# Runs a command on the current X display with a window manager started first;
# the window manager stops when the command ends.
set -euo pipefail
manager=$1
shift
"$manager" >/dev/null 2>&1 &
manager_pid=$!
trap 'kill "$manager_pid" 2>/dev/null || true; wait "$manager_pid" 2>/dev/null || true' EXIT
"$@"
