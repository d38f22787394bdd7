#!/usr/bin/env bash
# Real keys and a real window manager: Shift pressed while the music is still being set up
# starts nothing (the start prompt still comes), and minimising the window during a row
# pauses the game until Ctrl.
set -euo pipefail
game=$1
source "$(dirname "$0")/x_session.sh"

SDL_AUDIODRIVER=dummy "$game" 2>"$work/stderr" &
game_pid=$!
pids+=($game_pid)
window=$(timeout 20 xdotool search --sync --class kotobune | head -1) || fail "no game window appeared"
xdotool key --window "$window" shift
wait_for_prompt
window=$(game_window)
[ "$(count blue 480 85 640 280)" -lt 100 ] || fail "Shift before the prompt started a game"

xdotool key --window "$window" shift
sleep 1
[ "$(count blue 480 85 640 280)" -gt 200 ] || fail "Shift at the prompt did not start play"
[ "$(count red 100 345 540 400)" -lt 100 ] || fail "the prompt stayed after Shift"

xdotool windowminimize --sync "$window"
sleep 1
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowmap --sync "$window"
sleep 1
paused=$(count red 100 345 540 400)
[ "$paused" -gt 300 ] || fail "minimising during a row did not pause the game ($paused red pixels)"

xdotool key --window "$window" ctrl
sleep 0.5
resumed=$(count red 100 345 540 400)
[ "$resumed" -lt 100 ] || fail "Ctrl did not resume after the pause ($resumed)"

xdotool key --window "$window" Escape
sleep 0.5
xdotool key --window "$window" n
expect_game_ends_after "N"
echo "1 passed, 0 failed"
