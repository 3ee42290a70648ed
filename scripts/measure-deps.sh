#!/usr/bin/env bash
# What `scripts/install-deps.sh SET` installs on a clean Debian 12, and how
# long it takes: for each SET, a fresh overlay of the clean bookworm root that
# check-clean-root.sh uses (BUILD/clean-root/base), this checkout copied into
# it, and the script run there as root with nothing downloaded before (the
# time includes the downloads from Debian's archive). One line per set:
# packages before and after, the packages installed, megabytes downloaded,
# seconds. With --demo, after the `run` set, `make run` in the same root on a
# virtual X display: the time until the main window is mapped, and its
# screenshot in BUILD/clean-root/shots/make-run.png. Root only (mounts,
# chroot): it runs itself under sudo otherwise.
# Usage: scripts/measure-deps.sh [--demo] [BUILD_DIR] [SET...]   (sets: run test)
set -euo pipefail
script=$(readlink -f "$0")
cd "$(dirname "$script")/.."
demo=
if [[ "${1:-}" == --demo ]]; then
  demo=1
  shift
fi
build=$(readlink -f "${1:-build}")
shift || true
sets=("$@")
[[ ${#sets[@]} -gt 0 ]] || sets=(run test)
cache=$build/clean-root
title="ККМ ЗЕНОР-9 Префикс локального ШК"

say() { echo "measure-deps: $*"; }
fail() {
  echo "measure-deps: $*" >&2
  exit 1
}

[[ $(id -u) -eq 0 ]] || exec sudo "$script" ${demo:+--demo} "$build" "${sets[@]}"
if [[ "${ZENOR9_MEASURE_INSIDE:-}" != 1 ]]; then
  scripts/clean-root-base.sh "$cache"
  exec env ZENOR9_MEASURE_INSIDE=1 unshare --mount --propagation private "$script" \
    ${demo:+--demo} "$build" "${sets[@]}"
fi

run=$cache/measure
root=$run/root
xvfb=
maker=
stop() {
  local pid
  for pid in $maker $xvfb; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
}
trap stop EXIT

in_root() {
  chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    DEBIAN_FRONTEND=noninteractive XDG_RUNTIME_DIR=/tmp/runtime DISPLAY="${display:-}" "$@"
}
installed() { in_root dpkg-query -W -f='${db:Status-Abbrev}\n' | grep -c '^ii'; }

# A fresh root: the clean one under an overlay, this checkout in /src, an
# empty package cache, no serial device.
fresh_root() {
  umount -R "$root" 2>/dev/null || true
  ! mountpoint -q "$root" || fail "$root is still mounted"
  rm -rf "$run"
  mkdir -p "$run/upper" "$run/work" "$run/archives/partial" "$root"
  if ! mount -t overlay overlay -o "lowerdir=$cache/base,upperdir=$run/upper,workdir=$run/work" \
    "$root" 2>/dev/null; then
    cp -a "$cache/base/." "$root/"
  fi
  mount -t proc proc "$root/proc"
  mount -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts"
  mount --bind "$root/dev/pts/ptmx" "$root/dev/ptmx"
  mount --bind "$run/archives" "$root/var/cache/apt/archives"
  install -d -m 700 "$root/tmp/runtime"
  mkdir -p "$root/src"
  git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf - | tar -xf - -C "$root/src"
  for device in "$root"/dev/ttyS* "$root"/dev/ttyUSB* "$root"/dev/ttyACM*; do
    [[ -e "$device" ]] && fail "the clean root has a serial device: $device"
  done
  return 0
}

# make run in the root until its main window is mapped on a display of our own.
demo_run() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$run/display" >"$run/xvfb.log" 2>&1 &
  xvfb=$!
  for _ in $(seq 100); do
    [[ -s "$run/display" ]] && break
    sleep 0.1
  done
  display=:$(head -n 1 "$run/display")
  local started=$SECONDS
  in_root bash -c 'cd /src && make run' >"$run/make-run.log" 2>&1 &
  maker=$!
  local window
  window=$(DISPLAY=$display timeout 3600 xdotool search --sync --onlyvisible --name "^$title\$" |
    head -n 1) || fail "make run showed no main window (see $run/make-run.log)"
  say "make run: main window mapped $((SECONDS - started)) s after it started"
  sleep 2
  mkdir -p "$cache/shots"
  DISPLAY=$display import -window root "$cache/shots/make-run.png"
  local program
  program=$(DISPLAY=$display xdotool getwindowpid "$window")
  kill "$program"
  wait "$maker" || true
  maker=
  grep -q 'Virtual register: net number 7' "$run/make-run.log" || fail "no virtual register in make run"
  kill "$xvfb"
  wait "$xvfb" 2>/dev/null || true
  xvfb=
}

for set_name in "${sets[@]}"; do
  fresh_root
  before=$(installed)
  started=$SECONDS
  in_root /src/scripts/install-deps.sh "$set_name" >"$run/$set_name.log" 2>&1 ||
    fail "install-deps.sh $set_name failed in the root (see $run/$set_name.log)"
  seconds=$((SECONDS - started))
  after=$(installed)
  megabytes=$(du -sm "$run/archives" | cut -f1)
  say "$set_name: $before packages before, $after after: $((after - before)) installed, $megabytes MB downloaded, $seconds s"
  if [[ -n "$demo" && "$set_name" == run ]]; then demo_run; fi
done
umount -R "$root" 2>/dev/null || true
rm -rf "$run"
