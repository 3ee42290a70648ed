#!/usr/bin/env bash
# Runs zenor9.exe and zenor9-prefix.exe (from `make windows`) under Wine against
# registers on pseudo-terminals, beside the Linux build: the tests labelled
# `windows`. The window program's tests draw on Xvfb servers of their own.
#
# Wine gets a fresh private prefix in the Windows build folder, headless. Its
# COM1 to COM4 and COM12 are mapped in HKLM\Software\Wine\Ports to links in the
# folder's wine-ports/, which each test points at its own pseudo-terminal. Wine
# maps COM1 to /dev/ttyS0 by default, and this machine has a real port there:
# the mapping is in the registry before Wine first starts, and the run stops if
# any of those COM ports leads to a real device. Arguments go to ctest
# (-R Vanish runs the tests whose names match).
set -euo pipefail
script=$(readlink -f "$0")
cd "$(dirname "$script")/.."

fail() {
  echo "test-windows: $*" >&2
  exit 1
}

# Wine also looks for serial ports of its own at each session start, opening
# the machine's /dev/ttyS*, /dev/ttyUSB* and /dev/ttyACM* to see which are real.
# The run goes on only in a private mount namespace where those devices are
# /dev/null, so that not even that look reaches a real port; where that cannot
# be had, it stops. Masking happens only in a namespace other than the one the
# script was started from (kept in the variable) and its caller's, never in
# the machine's own /dev.
namespace=$(readlink /proc/self/ns/mnt || true)
if [[ -z "${ZENOR9_TTYS_MASKED:-}" ]]; then
  [[ $(id -u) -eq 0 ]] ||
    fail "the serial devices can be kept from Wine only as root (a private mount namespace); run as root"
  unshare --mount --propagation private true 2>/dev/null ||
    fail "unshare --mount failed: no private mount namespace to keep the serial devices from Wine"
  exec env ZENOR9_TTYS_MASKED="$namespace" unshare --mount --propagation private "$script" "$@"
fi
parent_namespace=$(readlink "/proc/$PPID/ns/mnt" || true)
[[ -n "$namespace" && -n "$parent_namespace" && "$namespace" != "$parent_namespace" &&
  "$namespace" != "$ZENOR9_TTYS_MASKED" ]] ||
  fail "not in a private mount namespace of its own: masking the serial devices would hide them from the whole machine"
for device in /dev/ttyS* /dev/ttyUSB* /dev/ttyACM*; do
  if [[ -c "$device" ]] && ! mount --bind /dev/null "$device"; then
    fail "$device could not be masked, and Wine would open it"
  fi
done
build=${BUILD:-build}
windows_build=${WINDOWS_BUILD:-build-windows}
mapped=(1 2 3 4 12)

export WINEPREFIX=$PWD/$windows_build/wine
export ZENOR9_WINE_PORTS=$PWD/$windows_build/wine-ports
export ZENOR9_WINDOWS_EXE=$PWD/$windows_build/bin/zenor9.exe
export WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY

[[ -f "$ZENOR9_WINDOWS_EXE" ]] || fail "$ZENOR9_WINDOWS_EXE is missing: run make windows"
# The window tests run Wine in Russian: the bitmap "MS Sans Serif" shows
# Cyrillic only in a code page 1251 locale, and with no UTF-8 locale the titles
# reach X as "???".
locale -a | grep -qi '^ru_RU\.utf-\?8$' || fail "no ru_RU.UTF-8 locale: run scripts/install-deps.sh"

# A new prefix whose registry holds the port mapping from the start: Wine
# rewrites dosdevices/comN from HKLM\Software\Wine\Ports at each session start.
new_prefix() {
  [[ -d "$WINEPREFIX" ]] && WINEPREFIX=$WINEPREFIX wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX" "$ZENOR9_WINE_PORTS"
  mkdir -p "$WINEPREFIX" "$ZENOR9_WINE_PORTS"
  {
    printf 'WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n\n'
    printf '[Software\\\\Wine\\\\Ports] 1700000000\n'
    for n in "${mapped[@]}"; do
      ln -s "$ZENOR9_WINE_PORTS/unplugged" "$ZENOR9_WINE_PORTS/com$n"
      printf '"COM%s"="%s"\n' "$n" "$ZENOR9_WINE_PORTS/com$n"
    done
  } >"$WINEPREFIX/system.reg"
  wineboot -i >/dev/null 2>&1
  wineserver -w
  # Debian's Wine does not look in /usr/share/wine/fonts (fonts-wine): without
  # these, "MS Sans Serif" and the message boxes' fonts are missing.
  ln -sf /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
}

# Each mapped COMn must lead to its link, and no link to a real device.
check_ports() {
  for n in "${mapped[@]}"; do
    local dos=$WINEPREFIX/dosdevices/com$n
    [[ "$(readlink "$dos")" == "$ZENOR9_WINE_PORTS/com$n" ]] ||
      fail "COM$n of the Wine prefix leads to $(readlink "$dos" || echo nothing), not to $ZENOR9_WINE_PORTS/com$n"
    local target
    target=$(readlink -f "$ZENOR9_WINE_PORTS/com$n" || true)
    [[ -c "$target" && "$target" != /dev/pts/* ]] && fail "COM$n resolves to the real device $target"
  done
  for dos in "$WINEPREFIX"/dosdevices/com*; do
    local name=${dos##*/}
    [[ " ${mapped[*]/#/com} " == *" $name "* ]] ||
      echo "test-windows: Wine also maps ${name^^} to $(readlink "$dos") (/dev/null here); no test uses it"
  done
}

# The prefix is made while the Linux side builds.
started=$(date +%s%N)
new_prefix &
prefix_job=$!
cmake --build "$build" -j "${JOBS:-$(nproc)}" --target zenor9 windows_tests window_tests
wait "$prefix_job" || fail "no Wine prefix could be made in $WINEPREFIX"
check_ports
echo "test-windows: fresh Wine prefix and the Linux build in $((($(date +%s%N) - started) / 1000000)) ms"
# One Wine server for the whole run, so that each test does not start its own,
# and Wine's background services started now: started by a test's run, they
# would hold its output open after the program has ended. Wine's desktop
# process cannot be started once for all: it comes and goes, and is started
# again by the next program that makes a window (zenor9.exe's hidden session
# window), inheriting that program's standard error. So every test takes
# Wine's output through files, never pipes.
#
# The tests and Wine run ahead of the machine's other work (the script runs as
# root): they time probes and waits of 10 ms, which a build beside them would
# stretch to 20 to 50 ms.
nice -n -10 wineserver -p >/dev/null 2>&1 </dev/null
trap 'wineserver -k 2>/dev/null || true' EXIT
wine "$ZENOR9_WINDOWS_EXE" --help >/dev/null 2>&1 </dev/null
cd "$build"
nice -n -10 ctest -L windows --output-on-failure --timeout 120 "$@"
