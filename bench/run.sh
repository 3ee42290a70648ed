#!/usr/bin/env bash
# The benchmark behind `make bench`: builds and runs the link's benchmark and the
# command line's (read-back, a line that spoils answers) on the pty host, the
# Ansible collection's costs, then measures the program's start-up under
# xvfb-run. It reports; it does not fail on a missed target.
# Usage: bench/run.sh [build dir]     (GUI binary: $ZENOR9_GUI_BINARY, default
#                                      build/bin/zenor9-prefix; GUI_RUNS=5)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build-bench}
cd "$root"

link_section() {
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZENOR9_BUILD_GUI=OFF >/dev/null
  cmake --build "$build" --target zenor9 zenor9_bench zenor9_cli_bench zenor9_remote_bench >/dev/null
  "$build/bin/zenor9_bench"
  "$build/bin/zenor9_cli_bench"
}

# A remote line behind ser2net at 0, 10 and 20 ms round trip.
remote_section() {
  echo
  echo "Remote line (RFC 2217, ser2net on 127.0.0.1):"
  echo
  "$build/bin/zenor9_remote_bench"
}

# Starts the program in a fresh X server and polls for its main window every few
# milliseconds; then ends it and takes its peak resident memory from GNU time.
# The ports are pointed at a path that does not exist, so that nothing real is
# ever opened.
gui_startup_once() {
  local binary=$1 out=$2
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    binary=$1; out=$2
    start=$(date +%s%N)
    ZENOR9_COM1=/nonexistent ZENOR9_COM2=/nonexistent ZENOR9_COM3=/nonexistent \
      ZENOR9_COM4=/nonexistent /usr/bin/time -v -o "$out.time" "$binary" >/dev/null 2>&1 &
    timer=$!
    shown=""
    for _ in $(seq 1 1000); do
      if xdotool search --onlyvisible --name "ЗЕНОР-9" >/dev/null 2>&1; then
        shown=$(( ($(date +%s%N) - start) / 1000000 ))
        break
      fi
      sleep 0.005
    done
    sleep 1  # let it settle before reading its peak memory
    pkill -TERM -P "$timer" 2>/dev/null || true
    wait "$timer" 2>/dev/null || true
    kib=$(sed -n "s/.*Maximum resident set size (kbytes): //p" "$out.time")
    echo "${shown:-none} ${kib:-0}" >"$out"
  ' _ "$binary" "$out"
}

# The Ansible collection over virtual lines on 127.0.0.1 (Debian's python3,
# which has ansible-core, whatever python3 comes first on the PATH).
ansible_section() {
  echo
  /usr/bin/python3 bench/ansible_bench.py "$build/bin/zenor9"
}

gui_section() {
  local binary=${ZENOR9_GUI_BINARY:-build/bin/zenor9-prefix} runs=${GUI_RUNS:-5}
  echo
  if [[ ! -x $binary ]]; then
    echo "Program start-up: skipped, $binary is not built (make build builds it)."
    return
  fi
  local out times=() peaks=()
  out=$(mktemp)
  for _ in $(seq 1 "$runs"); do
    gui_startup_once "$binary" "$out"
    read -r shown kib <"$out"
    times+=("$shown")
    peaks+=("$kib")
  done
  rm -f "$out" "$out.time"
  local sorted_times sorted_peaks
  sorted_times=$(printf '%s\n' "${times[@]}" | sort -n | tr '\n' ' ')
  sorted_peaks=$(printf '%s\n' "${peaks[@]}" | sort -n | tr '\n' ' ')
  local median_time max_peak
  median_time=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
  max_peak=$(printf '%s\n' "${peaks[@]}" | sort -n | tail -n 1)
  echo "Program start-up under xvfb-run ($binary, $runs runs):"
  echo
  echo "| measure | runs (sorted) | result | target |"
  echo "|---|---|---|---|"
  local time_verdict="MISSED" peak_verdict="OVER"
  [[ $median_time =~ ^[0-9]+$ && $median_time -lt 300 ]] && time_verdict="ok"
  [[ $max_peak -lt $((60 * 1024)) ]] && peak_verdict="ok"
  echo "| start to main window shown | ${sorted_times}ms | median ${median_time} ms | < 300 ms: $time_verdict |"
  echo "| peak resident memory | ${sorted_peaks}KiB | max $((max_peak / 1024)) MiB | < 60 MiB: $peak_verdict |"
}

link_section
remote_section
ansible_section
gui_section
