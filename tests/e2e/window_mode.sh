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

alt_enter() { xdotool key --window "$window" alt+Return || fail "Alt+Enter could not reach window $window"; }

wait_for_window_size "$expected_window" "--window"
alt_enter
wait_for_window_size "$screen" "Alt+Enter in a window"
alt_enter
wait_for_window_size "$expected_window" "Alt+Enter on the whole screen"
kill -0 "$game_pid" 2>/dev/null || fail "the game ended: $(cat "$work/stderr")"
echo "1 passed, 0 failed"
