#!/usr/bin/env bash
# Review after a game over: a saved round with its time nearly used up is resumed and runs
# out; at the game over a note says R opens the review, R shows it in place of the game, a
# key (Escape, which would otherwise end the game there) brings the game over back as it was,
# and Shift then plays the stage again.
set -euo pipefail
game=$1
source "$(dirname "$0")/x_session.sh"

portable_copy "$game"
record="$work/game/data/record1.dat"

# Up to forty seconds for what the game shows next: the shark's last explosion flies at a
# random speed, and a sanitized build on a busy machine draws slowly.
wait_until() {
  local deadline=$((SECONDS + 40))
  while [ "$SECONDS" -lt "$deadline" ]; do
    [ "$(count "$1" "${@:2:4}")" "$6" "$7" ] && return 0
    sleep 0.1
  done
  fail "$8"
}

start_game "$work/game/kotobune"
press shift
press Escape
press y
expect_game_ends_after "Y at the save question"
# 59.5 of the row's 60 seconds used (the saved answer time, a little-endian integer at 528).
printf '\x6c\xe8\x00\x00' | dd of="$record" bs=1 seek=528 conv=notrunc status=none

start_game "$work/game/kotobune"
press y
press shift
# The game over's prompt has two lines; the prompt Shift answered had one.
wait_until red 0 372 640 404 -gt 300 "no game over"
# The note's ink over the water below the banner, where the water alone shows under 200.
note_shown() { [ "$(count note 230 324 410 344)" -gt 260 ]; }
note_shown || fail "no note at the game over that R opens the review"
press r
wait_until heading 40 20 200 60 -gt 40 "R did not show the review's heading"
wait_until red 0 346 640 404 -eq 0 "the game-over prompt still shows behind the review"
press Escape
wait_until red 0 346 640 404 -gt 300 "the game over did not come back after the review"
kill -0 "$game_pid" 2>/dev/null || fail "Escape on the review ended the game"
note_shown || fail "the note went with the review"

press shift
wait_until red 0 346 640 404 -lt 100 "Shift after the review did not play the stage again"
kill "$game_pid"
echo "1 passed, 0 failed"
