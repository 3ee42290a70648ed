#!/usr/bin/env bash
# Usage: packages_test.sh SOURCE_DIR LINUX_ZENOR9 VERSION, from make test-windows,
# in the Wine prefix it prepared (WINEPREFIX, ZENOR9_WINE_PORTS, ZENOR9_WINDOWS_EXE).
# The packages that make windows-package made: the MSI's tables and its stripped
# programs with their resources; the MSI installed silently, used, upgraded,
# refused an older version, removed; a signed build; the zip unpacked. And
# zenor9.exe started alone on a console, as a double click starts it.
set -uo pipefail
# The window program under Wine on the X display that xvfb-run gives: whether a
# window titled $2 shows within 40 s. A headless session's desktop has no display
# driver, so the session is ended and the program runs in a new one.
show_window() {
  wineserver -k 2>/dev/null; wineserver -w
  wine "$1" >/dev/null 2>&1 &
  timeout 40 xdotool search --sync --onlyvisible --name "$2" >/dev/null
  local shown=$?
  kill $! 2>/dev/null; wait $! 2>/dev/null
  # A lasting headless session again, its services started with no pipe to hold.
  wineserver -k 2>/dev/null; wineserver -w
  env -u DISPLAY wineserver -p >/dev/null 2>&1 </dev/null
  env -u DISPLAY wine cmd /c exit >/dev/null 2>&1 </dev/null
  return $shown
}
if [[ "${1:-}" == --show-window ]]; then
  show_window "$2" "$3"
  exit
fi
source=$1 zenor9=$2 version=$3
build=$(dirname "$(dirname "$ZENOR9_WINDOWS_EXE")")
msi=$build/zenor9-prefix-$version-x64.msi
ico=$source/resources/windows/app.ico
dir='C:\Program Files\zenor9-prefix\'
unix_dir="$WINEPREFIX/drive_c/Program Files/zenor9-prefix"
title='ККМ ЗЕНОР-9 Префикс локального ШК' # the shortcut's and the main window's
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
check() {
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what" && failed=$((failed + 1)); fi
}
# No COM port of the prefix may lead to a real serial device.
for link in "$ZENOR9_WINE_PORTS"/com*; do
  target=$(readlink -f "$link")
  [[ -c "$target" && "$target" != /dev/pts/* ]] && echo "$link leads to $target" && exit 1
done
programs=(zenor9.exe)
[[ -f "$build/bin/zenor9-prefix.exe" ]] && programs+=(zenor9-prefix.exe)
files=("${programs[@]}" README.txt LICENSE.txt THIRD-PARTY.txt)

quietly() { "$@" >/dev/null 2>&1; }
# A Windows program's standard output, line ends made "\n", through a file: a
# program that makes a window has Wine start its desktop process, which
# inherits the program's standard streams and outlives it, so that a reader of
# a pipe would wait for that process's end.
wine_out() {
  wine "$@" >"$work/wine.out" 2>/dev/null </dev/null
  local code=$?
  tr -d '\r' <"$work/wine.out"
  return $code
}
unix_path() { local p=${1:3}; echo "$WINEPREFIX/drive_c/${p//\\//}"; }
hex() { od -An -v -tx1 | tr -d ' \n'; }
# Registry values under a key as "KEY|NAME|DATA" lines.
registry() {
  wine_out reg query "$1" /s |
    awk -F'    ' '/^HKEY/ {key = $0} NF >= 3 {print key "|" $2 "|" $4}'
}
# The Add/Remove entries' DATA of NAME, zenor9-prefix's only.
entries() {
  registry 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' |
    awk -F'|' -v name="$1" '$2 == "DisplayName" {ours[$1] = $3 == "zenor9-prefix"}
      $2 == name && ours[$1] {print $3}'
}
# The system PATH as the registry holds it: its type and its bytes.
system_path() {
  wine_out reg query 'HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment' /v PATH |
    grep -i '^ *PATH '
}
# How often the installation folder is on the system PATH.
on_path() {
  registry 'HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment' |
    awk -F'|' 'toupper($2) == "PATH" {print $3}' | grep -o -F "$dir" | wc -l
}
shortcuts() {
  find "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu" \
    "$WINEPREFIX/drive_c/users" -name "$title.lnk" 2>/dev/null
}
msiexec() {
  local started=$(date +%s%N)
  wine msiexec "$1" "$2" /qn >/dev/null 2>&1
  local code=$?
  echo "msiexec $1 ${2##*/}: exit code $code, $((($(date +%s%N) - started) / 1000000)) ms"
  return $code
}

# The MSI: its tables, its files, each program stripped and carrying the version
# resource and every image of the icon.
tables='Component .*Directory .*Environment .*Feature .*File .*Icon .*Property .*Shortcut .*Upgrade'
check "msiinfo lists the tables" grep -q "$tables" < <(msiinfo tables "$msi" | LC_ALL=C sort | tr '\n' ' ')
check "per machine" grep -qxF $'ALLUSERS\t1' < <(msiinfo export "$msi" Property | tr -d '\r')
msiextract -C "$work/msi" "$msi" >/dev/null
for file in "${files[@]}"; do check "$file in the MSI" test -f "$work/msi/zenor9-prefix/$file"; done
for program in "${programs[@]}"; do
  shipped=$work/msi/zenor9-prefix/$program
  check "$program stripped" test "$(x86_64-w64-mingw32-objdump -h "$shipped" | grep -c debug_)" = 0
  check "$program version resource" grep -qxF "Copyright (c) 2026 zenor9-prefix developers" < <(strings -e l "$shipped")
  check "... version $version" grep -qxF "$version" < <(strings -e l "$shipped")
  hex <"$shipped" >"$work/exe.hex"
  for ((i = 0; i < $(od -An -tu2 -j4 -N2 "$ico"); i++)); do
    read -r size offset < <(od -An -tu4 -j $((14 + 16 * i)) -N8 "$ico")
    check "$program icon image $i" grep -qF "$(tail -c +$((offset + 1)) "$ico" | head -c "$size" | hex)" "$work/exe.hex"
  done
done

# One PC: installed silently, used, upgraded, refused an older version, removed.
path_before=$(system_path)
check "the system PATH read" test -n "$path_before"
wine "$ZENOR9_WINDOWS_EXE" ports --map 'COM9=\\.\COM12' >/dev/null 2>&1
com_map=$(find "$WINEPREFIX/drive_c/users" -path '*/AppData/Roaming/zenor9/ports')
check "the user's COM map written" grep -qF 'COM9=\\.\COM12' "$com_map"
check "install" msiexec /i "$msi"
for file in "${files[@]}"; do check "$file installed" test -f "$unix_dir/$file"; done
check "one shortcut when the window program is built (Wine: in the user's menu)" \
  test "$(shortcuts | wc -l)" = $((${#programs[@]} - 1))
if [[ ${#programs[@]} -gt 1 ]]; then
  lnk=$(shortcuts)
  check "the shortcut leads to the window program" grep -qxF "${dir}zenor9-prefix.exe" < <(strings -a "$lnk")
  check "the shortcut has the icon" cmp -s "$(unix_path "$(strings -a -e l "$lnk" | grep 'AppIcon.ico$')")" "$ico"
  check "the main window shows" xvfb-run -a "$0" --show-window "${dir}zenor9-prefix.exe" "$title"
fi
check "a new console finds zenor9 on the PATH" grep -qx "zenor9 $version" < <(wine_out cmd /c zenor9 --version)
check "the folder on the system PATH once" test "$(on_path)" = 1
"$zenor9" sim --net 7 --prefix 23 >"$work/sim" 2>/dev/null &
sim=$!
for _ in {1..100}; do [[ -s "$work/sim" ]] && break || sleep 0.1; done
device=$(head -1 "$work/sim")
[[ "$device" == /dev/pts/* ]] && ln -sfn "$device" "$ZENOR9_WINE_PORTS/com1"
check "the installed zenor9.exe reads 23 through COM1" test \
  "$(wine_out "${dir}zenor9.exe" --port COM1 --net 7 read)" = 23
kill $sim
ln -sfn "$ZENOR9_WINE_PORTS/unplugged" "$ZENOR9_WINE_PORTS/com1"
check "one Add/Remove entry, version $version" test "$(entries DisplayVersion)" = "$version"
check "... publisher" test "$(entries Publisher)" = "zenor9-prefix developers"
check "... help link" test "$(entries HelpLink)" = "${dir}README.txt"
check "... folder" test "$(entries InstallLocation)" = "$dir"
icon=$(registry 'HKLM\Software\Classes\Installer\Products' |
  awk -F'|' '$2 == "ProductIcon" {icon[$1] = $3} $2 == "ProductName" && $3 == "zenor9-prefix" {print icon[$1]}')
check "... icon" cmp -s "$(unix_path "$icon")" "$ico"

newer=${version%.*}.$((${version##*.} + 1))
for out in newer rebuilt; do # a rebuild has another product code
  PACKAGE_VERSION=$newer "$source/scripts/package-windows.sh" "$build" "$work/$out" >/dev/null
  check "$newer ($out) installs over it" msiexec /i "$work/$out/zenor9-prefix-$newer-x64.msi"
  check "... one entry, version $newer" test "$(entries DisplayVersion)" = "$newer"
  check "... files replaced" grep -q "zenor9-prefix $newer" "$unix_dir/README.txt"
  check "... the folder on the PATH once" test "$(on_path)" = 1
  check "... a new console finds it" grep -qx "zenor9 $version" < <(wine_out cmd /c zenor9 --version)
done
msiexec /i "$msi"
check "the older version refused (1603)" test $? = $((1603 % 256))
check "... the newer kept" test "$(entries DisplayVersion)" = "$newer"
check "uninstall" msiexec /x "$work/rebuilt/zenor9-prefix-$newer-x64.msi"
check "... files gone" test ! -e "$unix_dir"
check "... shortcut gone" test -z "$(shortcuts)"
check "... entry gone" test -z "$(entries DisplayName)"
check "... PATH entry gone" test "$(on_path)" = 0
check "... PATH as it was before the first install" test "$(system_path)" = "$path_before"
check "... the COM map kept" grep -qF 'COM9=\\.\COM12' "$com_map"
# Installs and removals in turn leave PATH as they found it, byte for byte.
for cycle in 1 2 3; do
  quietly msiexec /i "$msi"
  check "install $cycle: the folder on the PATH once" test "$(on_path)" = 1
  quietly msiexec /x "$msi"
  check "... uninstall $cycle: PATH as it was" test "$(system_path)" = "$path_before"
done

# Windows 7 SP1 is the oldest Windows the programs start on, and the MSI says
# so: Vista is refused, Windows 7 (Wine's has Service Pack 1) installs.
check "the launch condition asks for Windows 7 SP1" grep -qF \
  'VersionNT = 601 AND ServicePackLevel >= 1' < <(msiinfo export "$msi" LaunchCondition)
quietly wine winecfg -v vista
msiexec /i "$msi"
check "refused on Vista (1603)" test $? = $((1603 % 256))
check "... nothing installed" test ! -e "$unix_dir"
quietly wine winecfg -v win7
check "installed on Windows 7 SP1" msiexec /i "$msi"
check "... and removed" msiexec /x "$msi"
quietly wine reg delete 'HKCU\Software\Wine' /v Version /f  # the prefix's own version again
wine "$ZENOR9_WINDOWS_EXE" ports --unmap COM9 >/dev/null 2>&1

# Signed with a throw-away certificate: both programs and the MSI verify, the
# unsigned MSI does not, and the signed zenor9.exe still runs.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=zenor9-prefix test" \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
SIGN_CERT=$work/cert.pem SIGN_KEY=$work/key.pem "$source/scripts/package-windows.sh" "$build" "$work/signed" >/dev/null
verify() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >/dev/null 2>&1; }
unverified() { ! verify "$1"; }
check "signed MSI verifies" verify "$work/signed/${msi##*/}"
check "unsigned MSI does not" unverified "$msi"
unzip -q "$work/signed/zenor9-prefix-$version-win64.zip" -d "$work/signed"
for program in "${programs[@]}"; do
  check "signed $program verifies" verify "$work/signed/zenor9-prefix-$version-win64/$program"
done
check "the signed zenor9.exe runs" quietly wine "$work/signed/zenor9-prefix-$version-win64/zenor9.exe" --version

# The zip, unpacked.
unzip -q "$build/zenor9-prefix-$version-win64.zip" -d "$work/zip"
for file in "${files[@]}"; do check "$file in the zip" test -f "$work/zip/zenor9-prefix-$version-win64/$file"; done
check "the unpacked zenor9.exe runs" grep -qx "zenor9 $version" < <(wine_out "$work/zip/zenor9-prefix-$version-win64/zenor9.exe" --version)
check "README.txt starts with a UTF-8 byte-order mark" test "$(head -c 3 "$work/zip/zenor9-prefix-$version-win64/README.txt" | hex)" = efbbbf
check "README.txt in CR LF" test "$(grep -c $'\r$' "$work/zip/zenor9-prefix-$version-win64/README.txt")" = "$(wc -l <"$work/zip/zenor9-prefix-$version-win64/README.txt")"

# Alone on a console of its own (Explorer's double click; Wine gives one to a
# program started on a terminal) and with nothing to do, zenor9.exe explains
# itself and waits for Enter. From cmd, or with its input redirected, it ends.
# In Russian, as a Russian Windows (Wine's UI language follows LANG) shows it.
mkfifo "$work/keys"
script -qfec "env LANG=ru_RU.UTF-8 wine $ZENOR9_WINDOWS_EXE" "$work/alone" <"$work/keys" >/dev/null &
alone=$!
exec 3>"$work/keys"
for _ in {1..300}; do grep -qs 'Нажмите Enter, чтобы закрыть' "$work/alone" && break || sleep 0.1; done
sleep 1
check "alone on its console it waits for Enter" kill -0 $alone
printf '\r' >&3
exec 3>&-
wait $alone
check "... then ends (exit code 2)" test $? = 2
check "... having shown the commands" grep -q 'zenor9 --port COM3 read' "$work/alone"
export windows_exe="Z:${ZENOR9_WINDOWS_EXE//\//\\}"
check "from cmd it says a command is missing" grep -q 'не указана команда' < <(script -qec \
  'env LANG=ru_RU.UTF-8 wine cmd /c "$windows_exe"' /dev/null </dev/null)
check "from a script it ends at once" test "$(timeout 30 wine "$ZENOR9_WINDOWS_EXE" </dev/null >/dev/null 2>&1; echo $?)" = 2

echo "$failed failed"
[[ $failed -eq 0 ]]
