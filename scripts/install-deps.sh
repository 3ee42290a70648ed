#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing.
# Quick when everything is there; uses sudo only when not root.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config make
  libgtest-dev libgmock-dev
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6 libgl-dev libxcb1-dev
  libcli11-dev nlohmann-json3-dev
  gettext  # msgfmt compiles the catalogues, xgettext finds the texts in the code
  clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix wine wine64  # make windows, make test-windows
  fonts-wine locales imagemagick  # the window tests under Wine: fonts, ru_RU.UTF-8, screenshots
  wixl msitools osslsigncode zip unzip openssl  # make windows-package and its tests
  xvfb xauth fonts-dejavu-core fonts-liberation2
  fontconfig fonts-dejavu-extra  # the text-fit test: fc-list, a narrower face beside DejaVu Sans
  x11-utils  # make run: whether the display answers
  openbox  # the window tests under a window manager
  xdotool time  # make bench: the program's start-up under xvfb-run
  dpkg-dev file lintian desktop-file-utils man-db  # make package: shlibdeps and its checks
  ser2net  # the remote line tests: an RFC 2217 server in front of the virtual register
  mmdebstrap x11-apps netpbm  # make package-check-root: a clean Debian root, screenshots
)

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
if ! locale -a | grep -qi '^ru_RU\.utf-\?8$'; then
  "${sudo[@]}" sed -i 's/^# *\(ru_RU.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ru_RU.UTF-8 UTF-8' /etc/locale.gen || echo 'ru_RU.UTF-8 UTF-8' | "${sudo[@]}" tee -a /etc/locale.gen >/dev/null
  "${sudo[@]}" locale-gen >/dev/null
fi
