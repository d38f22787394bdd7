#!/usr/bin/env bash
# Installs the Debian packages that building, playing and testing ことぶね need.
# Idempotent: installs only what is missing, and refreshes the package lists only when it must.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config
  libsdl2-dev libx11-dev libfreetype-dev libfontconfig-dev libmpg123-dev libfluidsynth-dev
  libcairo2-dev
  # the dictionary the English idiom pack is made from
  edict
  # run: a General MIDI soundfont and a Japanese font
  timgm6mb-soundfont fonts-ipafont-gothic
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev lame sox python3
  # the sanitized build and the fuzz targets: clang with its sanitizer and libFuzzer runtimes,
  # and llvm-symbolizer for readable reports
  clang-14 libclang-rt-14-dev llvm
  xvfb xauth openbox xdotool wmctrl x11-utils x11-apps
  # installing: the desktop files' validators, the manual page's checker, the Debian package and its checker
  desktop-file-utils appstream man-db dpkg-dev file lintian
)
# --windows: also the cross build (tools/build-windows.sh) and its tests under Wine.
if [ "${1:-}" = --windows ]; then
  packages+=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
             binutils-mingw-w64-x86-64 dpkg-dev zip unzip wine64)
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
install_missing() { $sudo apt-get install -y --no-install-recommends "${missing[@]}"; }
# Without fresh lists apt may not know a package at all: update once, then try again.
if ! install_missing; then
  $sudo apt-get update
  install_missing
fi
