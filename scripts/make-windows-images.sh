#!/usr/bin/env bash
# Renders the Windows program's tool bar images from the same SVG artwork as the
# Linux program: one strip of the four images (connect, read, write, exit) per
# size, 32x32 for 96 dpi and 40, 48 and 64 for 120, 144 and 192 dpi, as 32-bit
# bitmaps with alpha that the tool bar's image list splits into its images.
# The results are committed, so that the build needs neither librsvg nor
# ImageMagick; run this again after changing an SVG.
# Needs rsvg-convert (librsvg2-bin) and convert (imagemagick).
set -euo pipefail
cd "$(dirname "$0")/.."
out=win32/images
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for size in 32 40 48 64; do
  # Each size drawn from the SVG itself, not scaled from a larger picture.
  for name in connect read write exit; do
    rsvg-convert -w "$size" -h "$size" "resources/icons/$name.svg" -o "$work/$name.png"
  done
  convert "$work"/{connect,read,write,exit}.png +append -define bmp:format=bmp4 \
    "BMP:$out/tools$size.bmp"
done
ls -l "$out"
