#!/usr/bin/env bash
# A save that fails is told in the game's window, in the game's font: the save question is
# replaced by the failure and its answers, the reason stands above them, no system message
# box appears, and N then ends the game without writing anything.
set -euo pipefail
game=$1
source "$(dirname "$0")/x_session.sh"

portable_copy "$game"
# A folder in the record's place: no save can replace it, whoever runs the test.
mkdir "$work/game/data/record1.dat"

start_game "$work/game/kotobune"
press shift
press Escape
[ "$(count red 0 346 640 404)" -gt 300 ] || fail "no save question"
# The shark may stand where the note goes: only ink beyond what is there already counts.
before=$(count note 0 324 640 344)
press y
kill -0 "$game_pid" 2>/dev/null || fail "the failed save ended the game ($(cat "$work/stderr"))"
[ "$(count note 0 324 640 344)" -gt $((before + 30)) ] || fail "the reason is not drawn above the prompt"
[ "$(count red 0 346 640 404)" -gt 300 ] || fail "the failure and its answers are not drawn"
[ "$(xdotool search --name '^ことぶね$' 2>/dev/null | wc -l)" -le 1 ] || fail "a message box opened"
grep -q "record1.dat" "$work/stderr" || fail "standard error does not name the record"
press n
expect_game_ends_after "N after the failed save"
[ -d "$work/game/data/record1.dat" ] || fail "the folder in the record's place was touched"
echo "1 passed, 0 failed"
