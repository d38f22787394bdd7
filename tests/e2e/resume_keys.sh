#!/usr/bin/env bash
# Real keys at the resume question: a game saved with Escape then Y is offered at the next
# start; Y loads it and a later N does not start afresh, so Shift continues the loaded round
# and saving again stores the same round.
set -euo pipefail
game=$1
source "$(dirname "$0")/x_session.sh"

portable_copy "$game"
record="$work/game/data/record1.dat"

# Escape then Y saves and ends the game.
save_and_quit() {
  press Escape
  press y
  expect_game_ends_after "Y at the save question"
  [ "$(stat -c %s "$record" 2>/dev/null)" = 564 ] || fail "no 564-byte record was saved"
}

# The round's two dictionary indices.
saved_round() { od -An -tx1 -j256 -N8 "$record"; }

start_game "$work/game/kotobune"
press shift
save_and_quit
first=$(saved_round)

start_game "$work/game/kotobune"
press y
[ "$(count blue 480 85 640 280)" -gt 200 ] || fail "Y at the resume question did not load the game"
press n
press shift
kill -0 "$game_pid" 2>/dev/null || fail "the game ended before it was saved again"
save_and_quit
[ "$(saved_round)" = "$first" ] || fail "N after Y started another round ($first became $(saved_round))"
echo "1 passed, 0 failed"
