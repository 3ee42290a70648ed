#!/usr/bin/env bash
# The Debian package as a user gets it: lintian (errors and warnings fail),
# desktop-file-validate, then unpacked with dpkg -x into a temporary root and
# its zenor9 run from there: --version, and a read against its own virtual
# register; its zenor9-prefix must start (offscreen) and keep running. Usage: scripts/check-package.sh [BUILD_DIR]
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
for page in zenor9 zenor9-prefix; do
  zcat "$root/usr/share/man/ru/man1/$page.1.gz" | grep -q '^\.SH ОПИСАНИЕ' ||
    { echo "no Russian manual page of $page" >&2; exit 1; }
done
doc=$root/usr/share/doc/zenor9-prefix
grep -q '^License: Expat' "$doc/copyright" || { echo "the copyright file names no MIT (Expat) licence" >&2; exit 1; }
[[ -f "$doc/THIRD-PARTY.md" ]] || { echo "THIRD-PARTY.md is not installed" >&2; exit 1; }

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
# The unpacked window program loads its libraries and runs until stopped.
status=0
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$root timeout 2 "$root/usr/bin/zenor9-prefix" || status=$?
if [[ $status -ne 124 ]]; then
  echo "the unpacked zenor9-prefix ended with $status instead of running" >&2
  exit 1
fi

echo "package $deb: lintian clean, unpacked zenor9 read $prefix from $device"
