#!/usr/bin/env bash
# A game controller plays the real program: Start starts play, Back pauses and resumes, and
# unplugging the pad during a row pauses the game. The controller is SDL's virtual one,
# following the lines this script appends to a file.
set -euo pipefail
game=$1
source "$(dirname "$0")/x_session.sh"

pad="$work/pad"
: >"$pad"
export KOTOBUNE_VIRTUAL_PAD="$pad"
# Standard layout numbers.
BACK=4 START=6
press() {
  echo "button $1 1" >>"$pad"
  sleep 0.2
  echo "button $1 0" >>"$pad"
  sleep 0.8
}
start_game "$game"
xdotool windowactivate --sync "$window" 2>/dev/null || true

press $START
[ "$(count blue 480 85 640 280)" -gt 200 ] || fail "Start did not start play"
[ "$(count red 100 345 540 400)" -lt 100 ] || fail "the prompt stayed after Start"

press $BACK
[ "$(count red 100 345 540 400)" -gt 300 ] || fail "Back did not pause"
press $BACK
[ "$(count red 100 345 540 400)" -lt 100 ] || fail "Back did not resume"

echo "unplug" >>"$pad"
sleep 1
[ "$(count red 100 345 540 400)" -gt 300 ] || fail "unplugging the pad during a row did not pause"
kill -0 "$game_pid" 2>/dev/null || fail "unplugging closed the game"

xdotool key --window "$window" Escape
sleep 0.5
xdotool key --window "$window" n
expect_game_ends_after "N"
echo "1 passed, 0 failed"
