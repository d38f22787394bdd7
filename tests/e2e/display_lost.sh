#!/usr/bin/env bash
# The X server going away while the music plays ends the program (Xlib exits it) promptly and
# cleanly: the audio thread must not mix into a mixer that exit() has already destroyed.
set -euo pipefail
game=$1
source "$(dirname "$0")/x_session.sh"

start_game "$game"
kill "${pids[0]}"  # the X server
for _ in $(seq 300); do kill -0 "$game_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$game_pid" 2>/dev/null && fail "the game did not end within 30 s of losing its display"
# Xlib's exit skips our shutdown, so what is still held then is not a leak worth reporting.
if grep -Eq "ERROR: AddressSanitizer|runtime error" "$work/stderr"; then
  fail "the sanitizers report: $(cat "$work/stderr")"
fi
echo "1 passed, 0 failed"
