#!/usr/bin/env bash
# Usage: wine_run.sh PROGRAM [ARG...], from make test-windows: runs a Windows
# program under Wine with its output in a file, then prints it and ends with
# the program's exit code. A program that makes a window has Wine start its
# desktop process, which inherits the program's standard error and outlives
# it: a reader of a pipe would wait for that process's end, not the program's.
set -u
out=$(mktemp)
trap 'rm -f "$out"' EXIT
wine "$@" >"$out" 2>&1 </dev/null
code=$?
cat "$out"
exit $code
