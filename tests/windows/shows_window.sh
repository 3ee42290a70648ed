#!/usr/bin/env bash
# Usage: shows_window.sh PROGRAM TITLE
# Starts the Windows PROGRAM (its Windows path) under Wine on a virtual X
# display of its own and waits up to 40 s for a visible window whose title
# holds TITLE; prints that window's title, then ends the program. Exit code 0
# when the window showed.
#
# The tests' Wine session is headless: its desktop has no display driver, and
# no program of that session can show a window. So the session is ended, the
# program runs in a new one on the display, and that one is ended too; a
# lasting headless session (wineserver -p) is started again for the next tests.
set -u
if [[ -z "${DISPLAY:-}" ]]; then
  exec xvfb-run -a "$0" "$@"
fi
new_session() {
  wineserver -k 2>/dev/null
  wineserver -w
}
new_session
wine "$1" &
program=$!
timeout 40 xdotool search --sync --onlyvisible --name "$2" getwindowname
shown=$?
kill "$program" 2>/dev/null
wait "$program" 2>/dev/null
new_session
env -u DISPLAY wineserver -p
exit "$shown"
