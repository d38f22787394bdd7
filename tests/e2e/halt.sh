#!/usr/bin/env bash
# A component that ends the program (here the graphics component, over a damaged picture
# archive, while the audio device is open) leaves through main: status 1, the reason on
# standard error, and nothing the sanitizers would report when the program is built with them.
set -euo pipefail
game=$1
window_manager=none
source "$(dirname "$0")/x_session.sh"

mkdir "$work/data"
for file in "$(dirname "$game")"/data/*; do ln -s "$file" "$work/data/"; done
rm "$work/data/data.qda"
head -c 4096 "$(dirname "$game")/data/data.qda" > "$work/data/data.qda"
cp "$game" "$work/kotobune"

status=0
SDL_AUDIODRIVER=dummy timeout 60 "$work/kotobune" 2>"$work/stderr" || status=$?
[ "$status" -eq 1 ] || fail "status $status, not 1: $(cat "$work/stderr")"
grep -q "data.qda" "$work/stderr" || fail "the damaged archive is not named: $(cat "$work/stderr")"
if grep -Eq "AddressSanitizer|LeakSanitizer|runtime error" "$work/stderr"; then
  fail "the sanitizers report: $(cat "$work/stderr")"
fi
echo "1 passed, 0 failed"
