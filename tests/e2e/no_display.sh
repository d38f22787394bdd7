#!/usr/bin/env bash
# Without any display the real program says so and fails, instead of running invisibly.
set -uo pipefail
game=$1
output=$(env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER SDL_AUDIODRIVER=dummy timeout 20 "$game" 2>&1)
status=$?
if [ "$status" -eq 0 ] || [ "$status" -eq 124 ]; then
  echo "FAIL: the program ended with status $status without a display"
  exit 1
fi
if ! grep -q "no display is reachable" <<<"$output"; then
  echo "FAIL: no clear message: $output"
  exit 1
fi
echo "1 passed, 0 failed"
