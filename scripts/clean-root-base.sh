#!/usr/bin/env bash
# A minimal Debian 12 (bookworm) root made with mmdebstrap --variant=apt from
# Debian's archive, kept in CACHE/base once made (CACHE/base.done marks it
# whole; a root left half-made by a broken run is made again). Root only.
# Usage: scripts/clean-root-base.sh CACHE
set -euo pipefail
cache=${1:?usage: clean-root-base.sh CACHE}
mirror=${ZENOR9_DEBIAN_MIRROR:-http://deb.debian.org/debian}
security=${ZENOR9_DEBIAN_SECURITY:-http://deb.debian.org/debian-security}

[[ -f "$cache/base.done" ]] && exit 0
rm -rf "$cache/base" "$cache/base.new"
mkdir -p "$cache"
echo "clean-root: making a clean bookworm root from $mirror (once)"
mmdebstrap --quiet --variant=apt --skip=cleanup/apt/lists bookworm "$cache/base.new" \
  "deb $mirror bookworm main" "deb $mirror bookworm-updates main" \
  "deb $security bookworm-security main"
mv "$cache/base.new" "$cache/base"
touch "$cache/base.done"
