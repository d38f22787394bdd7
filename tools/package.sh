#!/usr/bin/env bash
# Installs what is missing, builds the game with Debian's hardening flags and makes its Debian
# package in build/release/. The maintainer is KOTOBUNE_DEBIAN_MAINTAINER, DEBFULLNAME and
# DEBEMAIL, or the author of the last commit (see packaging/CMakeLists.txt).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
# Fortified functions, a stack protector, relocations read-only and bound at start.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"
cmake --build build/release
cd build/release
rm -f kotobune_*.deb
cpack -G DEB
ls "$PWD"/kotobune_*.deb
