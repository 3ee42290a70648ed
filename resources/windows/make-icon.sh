#!/usr/bin/env bash
# Makes app.ico, the Windows programs' icon, from the drawing the window program
# shows on Linux (resources/icons/app.svg): 16, 32 and 48 px as bitmaps, which
# every Windows reads, and 256 px as PNG, which Explorer's large views use.
# Needs rsvg-convert (librsvg2-bin) and icotool (icoutils). The .ico is
# committed, so that neither is needed to build; run this after changing the
# drawing.
set -euo pipefail
here=$(dirname "$(readlink -f "$0")")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for size in 16 32 48 256; do
  rsvg-convert --width "$size" --height "$size" "$here/../icons/app.svg" -o "$work/$size.png"
done
icotool --create --output "$here/app.ico" "$work/16.png" "$work/32.png" "$work/48.png" \
  --raw="$work/256.png"
icotool --list "$here/app.ico"
