#!/usr/bin/env bash
# Usage: windows7_imports_test.sh, from make test-windows (ZENOR9_WINDOWS_EXE set).
# Windows 7 SP1 refuses to start a program that imports a function its DLLs
# lack: neither program may import one newer than Windows 7. Newer is what
# MinGW-w64's headers declare for Windows 10 (_WIN32_WINNT 0x0A00) but not for
# Windows 7 (0x0601); the functions below, which those headers declare for
# every version (the first Windows that has them, from Microsoft's
# documentation; the C++ runtime's threads and clocks would reach for them);
# and any API set (api-ms-win-*.dll). The C runtime's imports (msvcrt.dll) are
# all of Windows XP's time.
set -euo pipefail
bin=$(dirname "${ZENOR9_WINDOWS_EXE:?run from make test-windows}")
unguarded_newer=(
  GetSystemTimePreciseAsFileTime # Windows 8
  WaitOnAddress WakeByAddressSingle WakeByAddressAll # Windows 8
  InitializeSynchronizationBarrier EnterSynchronizationBarrier DeleteSynchronizationBarrier # Windows 8
  CreateFile2 GetCurrentThreadStackLimits # Windows 8
  SetThreadDescription GetThreadDescription # Windows 10 1607
)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '#include <windows.h>\n#include <commctrl.h>\n#include <setupapi.h>\n#include <timeapi.h>\n' \
  >"$work/headers.c"
# The functions the headers declare for a version, one a line.
declared() {
  x86_64-w64-mingw32-gcc -D_WIN32_WINNT="$1" -DWINVER="$1" -DNTDDI_VERSION="$2" -fsyntax-only \
    -aux-info "$work/aux" "$work/headers.c"
  sed -n 's/^\/\*.*\*\/ [^(]*[ *]\([A-Za-z_][A-Za-z0-9_]*\) (.*/\1/p' "$work/aux" | sort -u
}
declared 0x0601 0x06010000 >"$work/windows7"
declared 0x0A00 0x0A000000 >"$work/windows10"
{
  comm -13 "$work/windows7" "$work/windows10"
  printf '%s\n' "${unguarded_newer[@]}"
} | sort -u >"$work/newer"
# The two that kept the window program from starting on Windows 7 must be known.
for known in GetDpiForWindow AdjustWindowRectExForDpi; do
  grep -qx "$known" "$work/newer" || { echo "the headers do not show $known as newer" >&2; exit 1; }
done
echo "$(wc -l <"$work/newer") functions newer than Windows 7"

failed=0
for exe in zenor9.exe zenor9-prefix.exe; do
  [[ -f "$bin/$exe" ]] || { echo "$bin/$exe is missing: run make windows" >&2; exit 1; }
  # In the import tables "DLL Name: USER32.dll" starts each DLL's lines of
  # "<vma> <hint> <name>".
  x86_64-w64-mingw32-objdump -p "$bin/$exe" |
    awk '/^The Import Tables/ {on = 1; next} /^The / {on = 0}
         on && /DLL Name:/ {dll = tolower($3); next}
         on && dll != "" && NF == 3 && $2 ~ /^[0-9]+$/ {print dll, $3}' | sort -u >"$work/imports"
  echo "$exe: $(wc -l <"$work/imports") functions from $(cut -d' ' -f1 "$work/imports" | sort -u | tr '\n' ' ')"
  newer=$(awk 'NR == FNR {newer[$1]; next} $2 in newer || $1 ~ /^api-ms-win-/' \
    "$work/newer" "$work/imports")
  if [[ -n "$newer" ]]; then
    echo "$exe imports what Windows 7 lacks:" && echo "$newer"
    failed=1
  fi
done
exit $failed
