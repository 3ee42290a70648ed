#!/usr/bin/env bash
# Renders the Windows program's images from the same SVG artwork as the Linux
# program: the four tool bar images as 32-bit icons with alpha, 32x32 for 96 dpi
# and larger for 120, 144 and 192 dpi (the program loads the size its DPI needs),
# and the application icon in the sizes Windows shows. The results are committed, so that the
# build needs neither librsvg nor ImageMagick; run this again after changing an SVG.
# Needs rsvg-convert (librsvg2-bin) and convert (imagemagick).
set -euo pipefail
cd "$(dirname "$0")/.."
out=win32/images
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Each size drawn from the SVG itself, not scaled down from a larger picture.
icon() {
  local svg=$1 ico=$2
  shift 2
  local pngs=()
  for size in "$@"; do
    rsvg-convert -w "$size" -h "$size" "$svg" -o "$work/$size.png"
    pngs+=("$work/$size.png")
  done
  convert "${pngs[@]}" "$ico"
}
for name in connect read write exit; do
  icon "resources/icons/$name.svg" "$out/$name.ico" 32 40 48 64
done
icon resources/icons/app.svg "$out/app.ico" 16 24 32 48 256
ls -l "$out"
