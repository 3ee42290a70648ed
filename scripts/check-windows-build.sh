#!/usr/bin/env bash
# Compiles the link library (with its Win32 backend) and the memory map for
# Windows with MinGW-w64, so that the code below the program stays portable.
set -euo pipefail
cd "$(dirname "$0")/.."
compiler=x86_64-w64-mingw32-g++-posix
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
sources=()
for source in link/*.cpp memmap/*.cpp; do
  [[ "$source" == link/posix_port.cpp ]] || sources+=("$source")
done
for source in "${sources[@]}"; do
  "$compiler" -std=c++20 -Wall -Wextra -Wpedantic -Werror -I. -c "$source" -o "$out/$(basename "$source").o"
done
x86_64-w64-mingw32-ar rcs "$out/libzenor9_link.a" "$out"/*.o
echo "Windows build of the link library: ${#sources[@]} sources compiled, no warnings"
