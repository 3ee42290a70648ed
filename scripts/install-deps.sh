#!/usr/bin/env bash
# Installs the Debian packages a job needs, when any is missing. Quick when
# everything is there; uses sudo only when not root.
# Usage: scripts/install-deps.sh SET...   (SET: run test fuzz bench package
# package-root windows windows-test all; no SET is `run`)
#   run           build and show both Linux programs (make run, make configure)
#   test          the whole Linux test suite (make build, make test, test-sanitize)
#   fuzz          the libFuzzer targets (make fuzz, make fuzz-smoke)
#   bench         the benchmark (make bench)
#   package       the Debian package and its checks (make package, package-check)
#   package-root  the package in a clean Debian 12 root (make package-check-root)
#   windows       the Windows programs and their packages (make windows, windows-package)
#   windows-test  those under Wine (make test-windows)
set -euo pipefail

# What each set adds to the ones it names first.
declare -A needs=(
  [run]="cmake ninja-build g++ pkg-config make
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6 libgl-dev libxcb1-dev
    libcli11-dev nlohmann-json3-dev
    gettext
    x11-utils
    fonts-liberation2"
  # gettext: msgfmt compiles the catalogues, xgettext finds the texts in the code.
  # x11-utils: whether the display answers (xdpyinfo).
  # fonts-liberation2: the metrics the windows' layouts are drawn for, as the .deb brings them.
  [fuzz]="run clang libclang-rt-14-dev"
  [test]="run fuzz libgtest-dev libgmock-dev
    xvfb xauth openbox
    fontconfig fonts-dejavu-core fonts-dejavu-extra
    ser2net
    ansible-core stunnel4 openssl python3-pytest yamllint pylint pycodestyle"
  # xvfb, openbox: the window tests on a virtual display, bare and under a window manager.
  # fontconfig, the DejaVu faces: the text-fit test (fc-list, a narrower face beside DejaVu Sans).
  # ser2net: the remote line tests, an RFC 2217 server in front of the virtual register.
  # ansible-core: the collection's playbooks and ansible-doc; stunnel4, openssl: the
  # TLS recipe for remote lines; python3-pytest, yamllint, pylint, pycodestyle: the
  # collection's unit tests and its lint.
  # make test ends with a short run of each fuzz target.
  [bench]="run xvfb xauth xdotool time ser2net ansible-core"
  [package]="run dpkg-dev file lintian desktop-file-utils man-db xvfb xauth xdotool"
  # dpkg-dev: shlibdeps; lintian, desktop-file-utils, man-db: the package's checks;
  # xvfb, xdotool: its window program must map its main window.
  [package-root]="package mmdebstrap x11-apps netpbm"
  # mmdebstrap: a clean Debian root; x11-apps, netpbm: the screenshots in it.
  [windows]="cmake ninja-build make libcli11-dev nlohmann-json3-dev gettext
    g++-mingw-w64-x86-64-posix wixl msitools osslsigncode zip unzip openssl"
  # wixl, msitools, osslsigncode, zip: the MSI and the zip, signed when asked.
  [windows-test]="test windows wine wine64 fonts-wine locales imagemagick x11-utils xdotool"
  # fonts-wine, locales: the window tests under Wine (fonts, ru_RU.UTF-8); imagemagick: screenshots.
  [all]="run test fuzz bench package package-root windows windows-test"
)

# The packages of SET and of the sets it names, each once.
declare -A seen=()
packages=()
collect() {
  local word
  for word in ${needs[$1]}; do
    if [[ -n "${needs[$word]+set}" ]]; then
      collect "$word"
    elif [[ -z "${seen[$word]+set}" ]]; then
      seen[$word]=1
      packages+=("$word")
    fi
  done
}

[[ $# -gt 0 ]] || set -- run
for set_name in "$@"; do
  [[ -n "${needs[$set_name]+set}" ]] || {
    echo "install-deps: no set '$set_name' (run test fuzz bench package package-root windows windows-test all)" >&2
    exit 2
  }
  collect "$set_name"
done

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
if [[ ${#missing[@]} -gt 0 ]]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The Russian UTF-8 locale the window tests run Wine in.
if [[ -n "${seen[locales]+set}" ]] && ! locale -a | grep -qi '^ru_RU\.utf-\?8$'; then
  "${sudo[@]}" sed -i 's/^# *\(ru_RU.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ru_RU.UTF-8 UTF-8' /etc/locale.gen || echo 'ru_RU.UTF-8 UTF-8' | "${sudo[@]}" tee -a /etc/locale.gen >/dev/null
  "${sudo[@]}" locale-gen >/dev/null
fi
