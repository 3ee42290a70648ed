#!/usr/bin/env bash
# Cross-builds zenor9.exe and zenor9-prefix.exe for 64-bit Windows with
# MinGW-w64 (warnings as errors), and the Wine tests' window_inspector.exe,
# window_text_fit.exe and message_loop_test.exe, then checks that the programs
# need no DLL beyond those Windows itself ships.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-windows}
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build "$build" -j "${JOBS:-$(nproc)}" --target zenor9 zenor9-prefix window_inspector \
  window_text_fit message_loop_test
# MinGW's own runtime (libstdc++-6, libgcc_s_seh-1, libwinpthread-1) must be
# linked in, not imported.
for exe in "$build/bin/zenor9.exe" "$build/bin/zenor9-prefix.exe"; do
  dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
  foreign=$(grep -v -x -E 'kernel32\.dll|user32\.dll|gdi32\.dll|comctl32\.dll|advapi32\.dll|setupapi\.dll|winmm\.dll|msvcrt\.dll|api-ms-win-.*\.dll' <<<"$dlls" || true)
  if [[ -n "$foreign" ]]; then
    echo "$exe imports DLLs that Windows does not ship:" >&2
    echo "$foreign" >&2
    exit 1
  fi
  echo "$exe: imports only $(tr '\n' ' ' <<<"$dlls")"
done
