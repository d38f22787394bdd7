#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test, then builds it all again
# with clang under AddressSanitizer and UndefinedBehaviorSanitizer, runs every test program
# there with leak checking on, and runs each fuzz target for a short while; last, the Windows
# build and its tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
# A developer's ccache, where there is one, is shared by every clone of the repository.
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}"
cmake --build build/test
ctest --test-dir build/test --output-on-failure --timeout 300 -j2
cmake --preset asan "${launcher[@]}"
cmake --build --preset asan
ctest --preset asan -j2
# The Windows programs, cross-built with the host build's data and packed, then run under Wine
# (label wine): the libraries are built once into build/windows/deps and reused.
KOTOBUNE_WINDOWS_TESTS=ON KOTOBUNE_HOST_BUILD=build/test tools/build-windows.sh
ctest --test-dir build/windows/cross --output-on-failure --timeout 300 -L wine
