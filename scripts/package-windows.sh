#!/usr/bin/env bash
# Packages the Windows programs that `make windows` built, compiling nothing:
#   OUT/zenor9-prefix-VERSION-x64.msi    the installer (wixl)
#   OUT/zenor9-prefix-VERSION-win64.zip  the same files to unpack anywhere
# Usage: package-windows.sh WINDOWS_BUILD [OUT]; OUT is WINDOWS_BUILD unless given.
# zenor9-prefix.exe goes in when the build made it. The shipped copies are
# stripped of their symbols and debug sections. With SIGN_CERT and SIGN_KEY
# (PEM files) both programs and the MSI are signed with osslsigncode, with an
# RFC 3161 time stamp from SIGN_TIMESTAMP (a URL) when given. VERSION is the
# project's, from the build; PACKAGE_VERSION stands in for it (the upgrade
# tests make a newer installer of the same programs).
set -euo pipefail
root=$(dirname "$(readlink -f "$0")")/..
build=$(readlink -f "${1:?usage: package-windows.sh WINDOWS_BUILD [OUT]}")
out=$(readlink -f "${2:-$build}")

fail() {
  echo "package-windows: $*" >&2
  exit 1
}

version=${PACKAGE_VERSION:-$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")}
[[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "no version in $build/CMakeCache.txt: run make windows"
[[ -f "$build/bin/zenor9.exe" ]] || fail "$build/bin/zenor9.exe is missing: run make windows"
if [[ -n "${SIGN_CERT:-}${SIGN_KEY:-}" ]] && [[ ! -f "${SIGN_CERT:-}" || ! -f "${SIGN_KEY:-}" ]]; then
  fail "signing needs both SIGN_CERT and SIGN_KEY as files"
fi

name=zenor9-prefix-$version
stage=$out/$name-win64
rm -rf "$stage"
mkdir -p "$stage"

# Signs FILE in place when a certificate was given.
sign() {
  [[ -n "${SIGN_CERT:-}" ]] || return 0
  local stamp=()
  [[ -n "${SIGN_TIMESTAMP:-}" ]] && stamp=(-ts "$SIGN_TIMESTAMP")
  osslsigncode sign -certs "$SIGN_CERT" -key "$SIGN_KEY" -h sha256 -n "zenor9-prefix" \
    "${stamp[@]}" -in "$1" -out "$1.signed" >/dev/null
  mv "$1.signed" "$1"
}

programs=(zenor9.exe)
[[ -f "$build/bin/zenor9-prefix.exe" ]] && programs+=(zenor9-prefix.exe)
for program in "${programs[@]}"; do
  x86_64-w64-mingw32-strip --strip-all -o "$stage/$program" "$build/bin/$program"
  sign "$stage/$program"
  echo "$program: $(stat -c %s "$build/bin/$program") bytes built, $(stat -c %s "$stage/$program") shipped"
done

# Text files as Notepad opens them: a .txt name and CR LF line ends. The
# README is Russian too: a UTF-8 byte-order mark, without which the Notepad of
# Windows 7 and 8.1 (and Wine's) reads it in the ANSI code page.
crlf() { sed 's/$/\r/'; }
bom() { printf '\xEF\xBB\xBF'; cat; }
window_line=
if [[ " ${programs[*]} " == *" zenor9-prefix.exe "* ]]; then
  window_line='zenor9-prefix.exe is the window program ("ККМ ЗЕНОР-9 Префикс локального ШК" in the Start menu once installed).'
fi
sed -e "s/@VERSION@/$version/g" -e "s/@WINDOW_PROGRAM_LINE@/$window_line/" \
  "$root/packaging/windows/README.txt.in" | crlf | bom >"$stage/README.txt"
crlf <"$root/LICENSE" >"$stage/LICENSE.txt"
crlf <"$root/THIRD-PARTY.md" >"$stage/THIRD-PARTY.txt"

msi=$out/$name-x64.msi
defines=(-D "Version=$version" -D "Icon=$(realpath --relative-to="$stage" "$root/resources/windows/app.ico")")
[[ " ${programs[*]} " == *" zenor9-prefix.exe "* ]] && defines+=(-D WindowProgram=1)
rm -f "$msi"
(cd "$stage" && wixl -a x64 "${defines[@]}" -o "$msi" "$root/packaging/windows/zenor9-prefix.wxs")
# What this wixl has no element for. The installation folder goes at the front
# of the system PATH, and comes out of it at removal: "=" sets (keeping the
# value there, [~]), "-" removes at uninstall, "*" is the system's environment.
# At the front, because a removal takes the entry with the separator after it:
# an entry appended at the end would leave the one before it (Wine's msiexec
# leaves "...;" behind), and PATH would not be as the installation found it. An
# installer of the same version replaces the installed one too (VersionMax
# included: 512), rather than adding a second entry beside it.
msi_sql() { msibuild "$msi" -q "$1" || fail "$msi: $1"; }
msi_sql "CREATE TABLE \`Environment\` (\`Environment\` CHAR(72) NOT NULL,
  \`Name\` CHAR(64) NOT NULL LOCALIZABLE, \`Value\` CHAR(255) LOCALIZABLE,
  \`Component_\` CHAR(72) NOT NULL PRIMARY KEY \`Environment\`)"
msi_sql "INSERT INTO \`Environment\` (\`Environment\`, \`Name\`, \`Value\`, \`Component_\`)
  VALUES ('SystemPath', '=-*PATH', '[INSTALLDIR];[~]', 'CommandLine')"
# The Upgrade table's attributes are part of its key: the row is replaced.
msi_sql "DELETE FROM \`Upgrade\` WHERE \`ActionProperty\` = 'WIX_UPGRADE_DETECTED'"
msi_sql "INSERT INTO \`Upgrade\` (\`UpgradeCode\`, \`VersionMax\`, \`Attributes\`, \`ActionProperty\`)
  VALUES ('$(msiinfo export "$msi" Property | sed -n 's/^UpgradeCode\t//p' | tr -d '\r')',
  '$version', 513, 'WIX_UPGRADE_DETECTED')"
# This wixl writes its texts in no code page and drops what is not ASCII: the
# database gets the Cyrillic one, and the shortcut's name is written again.
printf '\r\n\r\n1251\t_ForceCodepage\r\n' >"$stage/_ForceCodepage.idt"
msibuild "$msi" -i "$stage/_ForceCodepage.idt" || fail "$msi: no code page"
rm "$stage/_ForceCodepage.idt"
wxs_define() { sed -n "s/^<?define $1 = \"\\(.*\\)\"?>\$/\\1/p" "$root/packaging/windows/zenor9-prefix.wxs"; }
if [[ " ${programs[*]} " == *" zenor9-prefix.exe "* ]]; then
  msi_sql "UPDATE \`Shortcut\` SET \`Name\` = '$(wxs_define StartMenuName)' WHERE \`Shortcut\` = 'StartMenuShortcut'"
fi
msi_sql "INSERT INTO \`LaunchCondition\` (\`Condition\`, \`Description\`)
  VALUES ('$(wxs_define MinimumWindows)', '$(wxs_define MinimumWindowsMessage)')"
sign "$msi"

zip=$out/$name-win64.zip
rm -f "$zip"
(cd "$out" && zip -q -X -r "$zip" "$name-win64")
rm -rf "$stage"
echo "$msi"
echo "$zip"
