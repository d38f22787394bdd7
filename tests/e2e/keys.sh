#!/usr/bin/env bash
# Real keys through the X server reach the game: Shift starts play (the meanings appear on
# the side panel and the prompt goes), Escape asks the save question, N quits without saving.
set -euo pipefail
game=$1
source "$(dirname "$0")/x_session.sh"

home=$(dirname "$game")
record="$home/data/record1.dat"
before=$(sha1sum "$record" 2>/dev/null || echo none)

start_game "$game"

prompt_before=$(count red 100 345 540 400)
[ "$prompt_before" -gt 300 ] || fail "no start prompt before Shift ($prompt_before red pixels)"
xdotool key --window "$window" shift
sleep 1
meanings=$(count blue 480 85 640 280)
prompt_after=$(count red 100 345 540 400)
[ "$meanings" -gt 200 ] || fail "Shift did not start play: no meanings on the panel ($meanings)"
[ "$prompt_after" -lt 100 ] || fail "the prompt stayed after Shift ($prompt_after)"

xdotool key --window "$window" Escape
sleep 0.5
question=$(count red 100 345 540 400)
[ "$question" -gt 300 ] || fail "Escape did not ask the save question ($question)"
kill -0 "$game_pid" 2>/dev/null || fail "Escape during play closed the game at once"

xdotool key --window "$window" n
expect_game_ends_after "N"
after=$(sha1sum "$record" 2>/dev/null || echo none)
[ "$before" = "$after" ] || fail "N wrote the record"
echo "1 passed, 0 failed"
