#!/usr/bin/env bash
# A component that ends the program (here the graphics component, over a damaged picture
# archive, while the audio device is open) leaves through main: status 1, the reason on
# standard error and in a file a message box names, and nothing the sanitizers would report
# when the program is built with them.
set -euo pipefail
game=$1
window_manager=none
source "$(dirname "$0")/x_session.sh"

mkdir "$work/data"
for file in "$(dirname "$game")"/data/*; do ln -s "$file" "$work/data/"; done
rm "$work/data/data.qda"
head -c 4096 "$(dirname "$game")/data/data.qda" > "$work/data/data.qda"
cp "$game" "$work/kotobune"

SDL_AUDIODRIVER=dummy timeout 60 "$work/kotobune" 2>"$work/stderr" &
game_pid=$!
pids+=($game_pid)
# A player who started the game from a menu sees a box naming the file that says why.
box=""
for _ in $(seq 300); do
  box=$(xwininfo -root -tree | awk '$2 == "\"kotobune\":" {print $1; exit}')
  [ -n "$box" ] && break
  kill -0 "$game_pid" 2>/dev/null || break
  sleep 0.1
done
[ -n "$box" ] || fail "no message box said that the game stopped: $(cat "$work/stderr")"
xdotool key --window "$box" Return
for _ in $(seq 100); do kill -0 "$game_pid" 2>/dev/null || break; sleep 0.1; done
status=0
wait "$game_pid" || status=$?
[ "$status" -eq 1 ] || fail "status $status, not 1: $(cat "$work/stderr")"
grep -q "data.qda" "$work/stderr" || fail "the damaged archive is not named: $(cat "$work/stderr")"
[ -s "$work/kotobune-error.txt" ] || fail "the reason was not written beside the program"
grep -qxF -f "$work/kotobune-error.txt" "$work/stderr" || fail "the file does not hold the line the halt printed"
if grep -Eq "AddressSanitizer|LeakSanitizer|runtime error" "$work/stderr"; then
  fail "the sanitizers report: $(cat "$work/stderr")"
fi
echo "1 passed, 0 failed"
