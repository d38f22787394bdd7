#!/usr/bin/env bash
# F1 on the title shows the how-to-play page in place of the title; any key brings the title
# back with its prompt, and the key does nothing else (Escape there does not end the game).
# A first start also says, above the prompt, that F1 shows the rules.
set -euo pipefail
game=$1
source "$(dirname "$0")/x_session.sh"

portable_copy "$game"

start_game "$work/game/kotobune"
[ "$(count note 0 324 640 344)" -gt 30 ] || fail "a first start does not point at F1"

xdotool key --window "$window" F1
wait_until heading 40 20 200 60 -gt 40 "F1 did not show the page's heading"
wait_until red 0 346 640 404 -eq 0 "the title's prompt still shows behind the page"
xdotool key --window "$window" Escape
wait_for_prompt
kill -0 "$game_pid" 2>/dev/null || fail "Escape on the page ended the game"
[ "$(count heading 40 20 200 60)" -eq 0 ] || fail "the page's heading stayed after the key"
kill "$game_pid"
echo "1 passed, 0 failed"
