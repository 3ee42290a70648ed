#!/usr/bin/env bash
# The Debian package as a user installs it on a clean Debian 12. A minimal
# bookworm root (mmdebstrap --variant=apt, from Debian's archive) gets the
# package with `apt-get install ./zenor9-prefix_*.deb`, which brings every
# dependency. Inside the root: zenor9 --version, a read against its own
# zenor9 sim, the window program under Xvfb (its main window must map) and
# text_fit_check (every text whole in the fonts the package brought); then the
# same without fonts-liberation2, as on a system where it is missing; then the
# package is removed and purged, and nothing of it may be left.
#
# The clean root is kept in BUILD/clean-root/base and every run works on an
# overlay of it, so a run changes nothing in it; the archive's packages are
# kept in BUILD/clean-root/archives, so a second run downloads nothing.
# Screenshots of the main window with and without the fonts land in
# BUILD/clean-root/shots. Root only (mounts, chroot): it runs itself under sudo
# otherwise. No serial device exists in the root's /dev; COM1 leads to the
# virtual register, COM2 to COM4 to missing paths.
# Usage: scripts/check-clean-root.sh [BUILD_DIR]
set -euo pipefail
script=$(readlink -f "$0")
cd "$(dirname "$script")/.."
build=$(readlink -f "${1:-build}")
cache=$build/clean-root
title="ККМ ЗЕНОР-9 Префикс локального ШК"

say() { echo "clean-root: $*"; }
fail() {
  echo "clean-root: $*" >&2
  exit 1
}

[[ $(id -u) -eq 0 ]] || exec sudo "$script" "$@"

# The rest runs in a private mount namespace: the overlay and the root's
# mounts vanish with it, whatever way the run ends.
if [[ "${ZENOR9_CLEAN_ROOT_INSIDE:-}" != 1 ]]; then
  debs=("$build"/zenor9-prefix_*.deb)
  [[ ${#debs[@]} -eq 1 && -f "${debs[0]}" ]] || fail "expected one package in $build: run make package"
  [[ -x "$build/bin/text_fit_check" ]] || fail "$build/bin/text_fit_check is missing: run make build"
  scripts/clean-root-base.sh "$cache"
  exec env ZENOR9_CLEAN_ROOT_INSIDE=1 unshare --mount --propagation private "$script" "$@"
fi

deb=$(ls "$build"/zenor9-prefix_*.deb)
run=$cache/run
root=$run/root
shots=$cache/shots
rm -rf "$run"
mkdir -p "$run/upper" "$run/work" "$root" "$cache/archives" "$shots"
# Where the build folder cannot carry an overlay's upper layer (it is on an
# overlay itself, as in some containers), the run works on a copy.
if ! mount -t overlay overlay -o "lowerdir=$cache/base,upperdir=$run/upper,workdir=$run/work" \
  "$root" 2>/dev/null; then
  say "no overlay on $cache: copying the clean root"
  cp -a "$cache/base/." "$root/"
fi
mount -t proc proc "$root/proc"
mount -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts"
mount --bind "$root/dev/pts/ptmx" "$root/dev/ptmx"
mount --bind "$cache/archives" "$root/var/cache/apt/archives"
for device in "$root"/dev/ttyS* "$root"/dev/ttyUSB* "$root"/dev/ttyACM*; do
  [[ -e "$device" ]] && fail "the clean root has a serial device: $device"
done

xvfb=
program=
sim=
stop() {
  local pid
  for pid in $program $sim $xvfb; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
}
trap stop EXIT

# The command line that runs a program in the root with a plain environment:
# the display once there is one, COM1 leading to the virtual register once it
# serves, no COM port leading to a real device.
root_command() {
  command=(chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8
    DEBIAN_FRONTEND=noninteractive XDG_RUNTIME_DIR=/tmp/runtime DISPLAY="${display:-}"
    ZENOR9_COM1="${device:-/nonexistent/com1}" ZENOR9_COM2=/nonexistent/com2
    ZENOR9_COM3=/nonexistent/com3 ZENOR9_COM4=/nonexistent/com4)
}

in_root() {
  root_command
  "${command[@]}" "$@"
}

# start_in_root OUT COMMAND...: COMMAND in the background, its output in OUT
# and OUT.err; $! is its process.
start_in_root() {
  local out=$1
  shift
  root_command
  "${command[@]}" "$@" >"$out" 2>"$out.err" &
}

apt_in_root() {
  in_root apt-get -y -q -o Dpkg::Options::=--force-unsafe-io "$@" >>"$run/apt.log" 2>&1
}

install -d -m 700 "$root/tmp/runtime"

say "installing $(basename "$deb") with apt"
cp "$deb" "$root/tmp/"
package=/tmp/$(basename "$deb")
# Package lists kept with the root may name versions the archive has replaced since.
if ! apt_in_root install "$package"; then
  say "installation failed; updating the package lists and trying again"
  apt_in_root update && apt_in_root install "$package" || fail "apt could not install the package (see $run/apt.log)"
fi
in_root dpkg-query -W -f='${Status}' fonts-liberation2 | grep -q 'install ok installed' ||
  fail "apt did not bring fonts-liberation2"
in_root dpkg-query -W -f='${Package} ${Version}\n' zenor9-prefix

# The root has no locale, so the tool speaks its own language, Russian.
in_root zenor9 --version | grep -q "лицензией MIT" || fail "zenor9 --version in the root names no MIT licence"

start_in_root "$run/sim.out" zenor9 sim --net 7 --prefix 25
sim=$!
for _ in $(seq 50); do
  [[ -s "$run/sim.out" ]] && break
  sleep 0.1
done
device=$(head -n 1 "$run/sim.out")
[[ "$device" == /dev/pts/* ]] || fail "the virtual register did not start: $(cat "$run/sim.out.err")"
prefix=$(in_root zenor9 --port "$device" --net 7 read)
[[ "$prefix" == 25 ]] || fail "zenor9 read gave '$prefix', not 25"
say "zenor9 read $prefix from its own virtual register at $device"

# A display of its own: Xvfb picks a free number and writes it to fd 3.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$run/display" >"$run/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 100); do
  [[ -s "$run/display" ]] && break
  sleep 0.1
done
[[ -s "$run/display" ]] || fail "Xvfb did not start: $(cat "$run/xvfb.log")"
display=:$(head -n 1 "$run/display")

# window_shows NAME: the window program maps its main window; its picture in shots/NAME.png.
window_shows() {
  start_in_root "$run/program.out" zenor9-prefix
  program=$!
  local window
  window=$(DISPLAY=$display timeout 30 xdotool search --sync --onlyvisible --name "^$title\$" | head -n 1) ||
    fail "the main window did not map ($1): $(cat "$run/program.out.err")"
  # Mapped is not yet painted: a picture of one colour is taken again.
  local colours=0
  for _ in $(seq 50); do
    DISPLAY=$display xwd -silent -id "$window" | xwdtopnm 2>/dev/null >"$run/shot.ppm"
    colours=$(ppmhist -noheader "$run/shot.ppm" | wc -l)
    ((colours > 1)) && break
    sleep 0.2
  done
  ((colours > 1)) || fail "the main window was never painted ($1)"
  pnmtopng "$run/shot.ppm" >"$shots/$1.png"
  kill "$program"
  wait "$program" 2>/dev/null || true
  program=
  say "main window mapped ($1): $shots/$1.png"
}

# texts_fit PATTERN: text_fit_check passes in the root and its fonts match PATTERN.
texts_fit() {
  cp "$build/bin/text_fit_check" "$root/tmp/"
  local output
  output=$(in_root /tmp/text_fit_check 2>&1) || fail "text_fit_check in the root:"$'\n'"$output"
  rm "$root/tmp/text_fit_check"
  grep -Eq "$1" <<<"$output" || fail "text_fit_check: no font matching '$1':"$'\n'"$output"
  say "$(grep -F 'MainForm font' <<<"$output"); every text fits"
}

window_shows with-liberation
texts_fit '^MainForm font: Liberation Sans, 11 px$'

# The fonts taken away behind apt's back: the window must still show every text.
in_root dpkg --remove --force-depends fonts-liberation2 >>"$run/apt.log" 2>&1
window_shows without-liberation
texts_fit '^MainForm font: DejaVu Sans'

# Removed, then purged: dpkg forgets it, and no file of it, nor any file that
# names it outside apt's and dpkg's own records and logs, is left.
in_root dpkg-query -L zenor9-prefix >"$run/files"
apt_in_root remove zenor9-prefix
[[ ! -e "$root/usr/bin/zenor9-prefix" ]] || fail "apt-get remove left /usr/bin/zenor9-prefix"
# The package has no configuration files, so the removal may have forgotten it
# already; apt cannot name a package that is neither installed nor in its lists.
in_root dpkg --purge zenor9-prefix >>"$run/apt.log" 2>&1
rm -f "$root$package"
if in_root dpkg-query -W zenor9-prefix >/dev/null 2>&1; then
  fail "dpkg still knows zenor9-prefix after the purge"
fi
left=$(while read -r path; do
  if [[ -e "$root$path" && ! -d "$root$path" ]]; then echo "$path"; fi
done <"$run/files")
[[ -z "$left" ]] || fail "files of the package left after the purge:"$'\n'"$left"
left=$(cd "$root" && { find . -xdev -iname '*zenor9*' -print
  grep -rIl zenor9 etc usr var 2>/dev/null; } |
  grep -Ev '^(\./)?var/(log|cache/apt|lib/apt)/|^(\./)?var/lib/dpkg/[^/]*-old$' || true)
[[ -z "$left" ]] || fail "left after the purge:"$'\n'"$left"
say "removed and purged: nothing of the package is left"
rm -rf "$run/upper" # half a gigabyte of installed packages (the overlay's)
