#!/usr/bin/env bash
# The Debian package as a user gets it: lintian (errors and warnings fail),
# desktop-file-validate, then unpacked with dpkg -x into a temporary root and
# its zenor9 run from there: --version, and a read against its own virtual
# register; its zenor9-prefix must map its main window under xvfb-run.
# Usage: scripts/check-package.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

shopt -s nullglob
debs=("$build"/zenor9-prefix_*.deb)
[[ ${#debs[@]} -eq 1 ]] || { echo "expected one package in $build, found ${#debs[@]}" >&2; exit 1; }
deb=${debs[0]}

lintian --fail-on error,warning "$deb"

root=$(mktemp -d)
sim=
cleanup() {
  [[ -n "$sim" ]] && kill "$sim" 2>/dev/null && wait "$sim" 2>/dev/null
  rm -rf "$root"
}
trap cleanup EXIT

dpkg -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/zenor9-prefix.desktop"
zenor9=$root/usr/bin/zenor9
# Never the machine's real serial ports.
for n in 1 2 3 4; do export ZENOR9_COM$n=/nonexistent/zenor9-package-com$n; done

# Russian without a locale, English under an English one: the catalogues are
# in the program itself.
env -u LC_ALL -u LC_MESSAGES -u LANGUAGE LANG=C "$zenor9" --version | grep -q "лицензией MIT" ||
  { echo "zenor9 --version names no licence in Russian" >&2; exit 1; }
env -u LC_ALL -u LC_MESSAGES -u LANGUAGE LANG=en_US.UTF-8 "$zenor9" --version | grep -q "MIT licence" ||
  { echo "zenor9 --version names no licence in English" >&2; exit 1; }
# Read whole before grep: under pipefail a grep -q that stops early would fail
# the check with zcat's broken pipe on a page longer than one write.
for page in zenor9 zenor9-prefix; do
  manual=$(zcat "$root/usr/share/man/ru/man1/$page.1.gz")
  grep -q '^\.SH ОПИСАНИЕ' <<<"$manual" ||
    { echo "no Russian manual page of $page" >&2; exit 1; }
done
doc=$root/usr/share/doc/zenor9-prefix
grep -q '^License: Expat' "$doc/copyright" || { echo "the copyright file names no MIT (Expat) licence" >&2; exit 1; }
[[ -f "$doc/THIRD-PARTY.md" ]] || { echo "THIRD-PARTY.md is not installed" >&2; exit 1; }
zcat "$doc/README.md.gz" | cmp -s - README.md || { echo "README.md.gz is not this README" >&2; exit 1; }

"$zenor9" sim --net 7 --prefix 25 > "$root/sim.out" &
sim=$!
for _ in $(seq 50); do
  [[ -s "$root/sim.out" ]] && break
  sleep 0.1
done
device=$(head -n 1 "$root/sim.out")
[[ "$device" == /dev/* ]] || { echo "the virtual register did not start" >&2; exit 1; }

prefix=$("$zenor9" --port "$device" --net 7 read)
if [[ "$prefix" != 25 ]]; then
  echo "read from the unpacked zenor9 gave '$prefix', not 25" >&2
  exit 1
fi
# The unpacked window program starts: its main window is mapped on a virtual
# X server within 20 s (found by its caption), and it is still running then.
shown=$(XDG_RUNTIME_DIR=$root QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$1" >/dev/null 2>&1 &
  program=$!
  for _ in $(seq 200); do
    kill -0 "$program" 2>/dev/null || break
    if xdotool search --onlyvisible --name "ЗЕНОР-9" >/dev/null 2>&1; then
      kill -0 "$program" 2>/dev/null && echo mapped
      break
    fi
    sleep 0.1
  done
  kill "$program" 2>/dev/null
  wait "$program" 2>/dev/null
  true' _ "$root/usr/bin/zenor9-prefix")
if [[ "$shown" != mapped ]]; then
  echo "the unpacked zenor9-prefix showed no main window under xvfb-run within 20 s" >&2
  exit 1
fi

echo "package $deb: lintian clean, unpacked zenor9 read $prefix from $device, zenor9-prefix mapped its window"
