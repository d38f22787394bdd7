#!/usr/bin/env bash
# O on the title opens the settings page; on its window line Right makes the full screen a
# window and Left makes it full screen again, at once and in settei.ini at once, the rest of the
# player's file kept as it was. Escape brings the title back, and the next start is in the
# window the page chose.
set -euo pipefail
game=$1
source "$(dirname "$0")/x_session.sh"
portable_copy "$game"
settings="$work/game/data/settei.ini"
cp "$work/game/data/settei.ini.sample" "$settings"

# Up to ten seconds for settei.ini to say Window=VALUE.
wait_for_setting() {
  for _ in $(seq 100); do
    grep -q "^Window=$1"$'\r'"\$" "$settings" && return 0
    sleep 0.1
  done
  fail "settei.ini does not hold Window=$1: $(cat "$settings")"
}

open_window_line() {
  xdotool key --window "$window" o
  wait_until heading 40 20 200 60 -gt 40 "O did not show the settings page"
  xdotool key --window "$window" Down Down Down
}

start_game "$game"
wait_for_window_size 1280x720 "the full screen"
open_window_line
xdotool key --window "$window" Right
wait_for_window_size 640x480 "Right on the window line"
wait_for_setting 1
xdotool key --window "$window" Left
wait_for_window_size 1280x720 "Left on the window line"
wait_for_setting 0
xdotool key --window "$window" Escape
wait_for_prompt
wait_until heading 40 20 200 60 -eq 0 "the page stayed after Escape"

open_window_line
xdotool key --window "$window" Right
wait_for_window_size 640x480 "Right on the window line again"
wait_for_setting 1
xdotool key --window "$window" Escape
wmctrl -i -c "$window"
expect_game_ends_after "closing the window"
# Closing the window keeps its size too; every other line is the sample's.
cmp <(grep -av '^Window' "$settings") <(grep -av '^Window' "$work/game/data/settei.ini.sample") ||
  fail "settei.ini lost or changed lines of its own"

SDL_AUDIODRIVER=dummy "$game" 2>"$work/stderr" &
game_pid=$!
pids+=($game_pid)
wait_for_window_size 640x480 "the next start"
wmctrl -i -c "$window"
expect_game_ends_after "closing the window at the next start"
echo "1 passed, 0 failed"
