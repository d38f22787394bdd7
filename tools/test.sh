#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test, then runs the tests of
# the file parsers again under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/test
ctest --test-dir build/test --output-on-failure --timeout 300 -j2
cmake --preset asan
cmake --build --preset asan
ctest --preset asan -j2
