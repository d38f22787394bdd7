#!/usr/bin/env bash
# Only the platform layer may see the host libraries: the game, its components and the
# platform's own interface headers include none of them.
set -uo pipefail
cd "$(dirname "$0")/.."
host='#include *[<"](SDL[^>"]*|ft2build\.h|freetype/[^>"]*|fontconfig/[^>"]*|iconv\.h|mpg123\.h|fluidsynth\.h)[>"]'
stray=$(grep -rnE "$host" app game graphics archive sprite input sound platform/include 2>/dev/null)
if [ -n "$stray" ]; then
  echo "FAIL: host library headers outside the platform layer:"
  echo "$stray"
  echo "0 passed, 1 failed"
  exit 1
fi
echo "1 passed, 0 failed"
