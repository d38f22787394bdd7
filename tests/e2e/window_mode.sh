#!/usr/bin/env bash
# --window starts in a window of twice the picture's size where that fits (the largest whole
# multiple otherwise), and Alt+Enter switches to full screen and back while playing.
# Usage: window_mode.sh GAME SCREEN WINDOW (sizes as WIDTHxHEIGHT)
set -euo pipefail
game=$1
screen=$2
expected_window=$3
xvfb_screen=${screen}x24
source "$(dirname "$0")/x_session.sh"

SDL_AUDIODRIVER=dummy "$game" --window 2>"$work/stderr" &
game_pid=$!
pids+=($game_pid)

# Waits until the game's window has the size; the window manager may take a moment.
expect_size() {
  local size=""
  for _ in $(seq 100); do
    # The window may be replaced while the renderer starts: look it up each time.
    window=$(xdotool search --class kotobune 2>/dev/null | tail -1) || window=""
    if [ -n "$window" ]; then
      size=$(xdotool getwindowgeometry "$window" 2>/dev/null | awk '/Geometry/ {print $2}') || size=""
    fi
    [ "$size" = "$1" ] && return 0
    sleep 0.1
  done
  fail "$2: the window is ${size:-missing}, not $1 ($(cat "$work/stderr"))"
}

alt_enter() { xdotool key --window "$window" alt+Return || fail "Alt+Enter could not reach window $window"; }

expect_size "$expected_window" "--window"
alt_enter
expect_size "$screen" "Alt+Enter in a window"
alt_enter
expect_size "$expected_window" "Alt+Enter on the whole screen"
kill -0 "$game_pid" 2>/dev/null || fail "the game ended: $(cat "$work/stderr")"
echo "1 passed, 0 failed"
