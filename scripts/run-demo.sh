#!/usr/bin/env bash
# `make run`: a virtual register (net number 7 holding prefix 23) on a
# pseudo-terminal, and the window program with COM1 mapped to it; the register
# stops when the window closes. Without a display that answers, or before the
# window program is built, the same job runs on the command line: identify,
# read, write, read back. COM2 to COM4 are mapped to missing devices, so that nothing here ever
# opens a real serial port.
set -euo pipefail

bin="${BUILD:-build}/bin"
work=$(mktemp -d "${TMPDIR:-/tmp}/zenor9-run.XXXXXX")
sim_pid=""

stop_register() {
  if [[ -n "$sim_pid" ]]; then
    kill -TERM "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=""
  fi
  rm -rf "$work"
}
trap stop_register EXIT
trap 'exit 130' INT TERM

: >"$work/sim.out"
"$bin/zenor9" sim --net 7 --prefix 23 --link "$work/register" >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!

# The register prints its device path as its first line once it is serving.
device=""
for _ in $(seq 200); do
  device=$(head -n 1 "$work/sim.out")
  [[ -n "$device" ]] && break
  if ! kill -0 "$sim_pid" 2>/dev/null; then
    cat "$work/sim.err" >&2
    echo "The virtual register did not start." >&2
    exit 1
  fi
  sleep 0.05
done
if [[ -z "$device" ]]; then
  echo "The virtual register did not start." >&2
  exit 1
fi

export ZENOR9_COM1="$device"
for n in 2 3 4; do export "ZENOR9_COM$n=$work/com$n-not-connected"; done
echo "Virtual register: net number 7, prefix 23, on $device (COM1)."

run_on_command_line() {
  local step
  for step in "identify" "read" "write 25 --verify" "read"; do
    echo "\$ zenor9 $step"
    # shellcheck disable=SC2086  # the step is split into its words on purpose
    "$bin/zenor9" $step
  done
}

# Why the window cannot be shown, or nothing when it can: Qt aborts the
# program when the display it is given does not answer.
display_problem() {
  if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "No display (DISPLAY and WAYLAND_DISPLAY are empty)"
  elif [[ -n "${DISPLAY:-}" ]]; then
    if ! command -v xdpyinfo >/dev/null; then
      echo "xdpyinfo (x11-utils) is missing, so the display $DISPLAY cannot be checked"
    elif ! timeout 5 xdpyinfo >/dev/null 2>&1; then
      echo "The display DISPLAY=$DISPLAY does not answer"
    fi
  else
    local socket="$WAYLAND_DISPLAY"
    [[ "$socket" == /* ]] || socket="${XDG_RUNTIME_DIR:-/nonexistent}/$socket"
    if [[ ! -S "$socket" ]]; then
      echo "The display WAYLAND_DISPLAY=$WAYLAND_DISPLAY does not answer (no socket $socket)"
    elif ! compgen -G "/usr/lib/*/qt6/plugins/platforms/libqwayland*.so" >/dev/null; then
      echo "DISPLAY is empty and Qt's Wayland plugin (qt6-wayland) is not installed"
    fi
  fi
}

problem=$(display_problem)
if [[ -n "$problem" ]]; then
  echo "$problem: the same job on the command line."
  run_on_command_line
elif [[ ! -x "$bin/zenor9-prefix" ]]; then
  echo "$bin/zenor9-prefix is not built: the same job on the command line."
  run_on_command_line
else
  echo "Starting zenor9-prefix; the virtual register stops when its window closes."
  # Only a Wayland display: Qt would otherwise try X11 first.
  [[ -z "${DISPLAY:-}" ]] && export QT_QPA_PLATFORM=wayland
  "$bin/zenor9-prefix"
fi
