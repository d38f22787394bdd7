#!/usr/bin/env bash
# Installs what is missing, builds the game and makes its Debian package in build/release/.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
cmake --build build/release
cd build/release
cpack -G DEB
ls "$PWD"/kotobune_*_amd64.deb
