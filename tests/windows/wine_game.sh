#!/usr/bin/env bash
# The cross-built game under Wine on a real X server: the title and its start prompt are drawn,
# Shift starts play, Escape then Y saves a 564-byte record and the program ends with status 0.
# Usage: wine_game.sh PREFIX DLL_FOLDER GAME_EXE
set -euo pipefail
prefix=$1
dlls=$2
game=$3
here=$(dirname "$0")
source "$here/../e2e/x_session.sh"

# Under Wine on a busy machine a key takes a while to show: looks again for up to 10 seconds
# until more than MIN pixels of the colour are in the area, and prints the last count.
await_pixels() {
  local min=$1 seen=0
  shift
  for _ in $(seq 40); do
    seen=$(count "$@")
    [ "$seen" -gt "$min" ] && break
    sleep 0.25
  done
  echo "$seen"
}

record="$(dirname "$game")/data/record1.dat"
rm -f "$record"

SDL_AUDIODRIVER=dummy "$here/wine_run.sh" "$prefix" "$dlls" "$game" >"$work/stdout" 2>"$work/stderr" &
game_pid=$!
pids+=($game_pid)
window=$(timeout 60 xdotool search --sync --name 'ことぶね' | head -1) || fail "no game window appeared"
wait_for_prompt

prompt_before=$(count red 100 345 540 400)
[ "$prompt_before" -gt 300 ] || fail "no start prompt before Shift ($prompt_before red pixels)"
xdotool key --window "$window" shift
meanings=$(await_pixels 200 blue 480 85 640 280)
[ "$meanings" -gt 200 ] || fail "Shift did not start play: no meanings on the panel ($meanings)"

xdotool key --window "$window" Escape
question=$(await_pixels 300 red 100 345 540 400)
[ "$question" -gt 300 ] || fail "Escape did not ask the save question ($question)"
xdotool key --window "$window" y
for _ in $(seq 150); do kill -0 "$game_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$game_pid" 2>/dev/null && fail "Y did not close the game"
wait "$game_pid" || fail "the game ended with status $? ($(cat "$work/stderr"))"
[ -f "$record" ] || fail "Y wrote no record"
size=$(stat -c %s "$record")
[ "$size" -eq 564 ] || fail "the record has $size bytes, not 564"
echo "1 passed, 0 failed"
