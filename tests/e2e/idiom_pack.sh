#!/usr/bin/env bash
# The English idiom pack, installed with the game: with Pack=edict-en and Builtin=0 in the
# player's settings, the game says it read over 3,000 pack idioms and Shift starts a round
# whose meanings (English, wrapped to the panel) appear on the side panel.
# Usage: idiom_pack.sh BUILD_FOLDER BINDIR DATADIR (the programs' and the data's folders under the prefix)
set -euo pipefail
build=$1
bindir=$2
datadir=$3
source "$(dirname "$0")/x_session.sh"

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || fail "cmake --install failed: $(cat "$work/install.log")"
pack="$prefix/$datadir/packs/edict-en.txt"
[ -s "$pack" ] || fail "the pack is not installed"
grep -q "CC BY-SA 3.0" "$pack" || fail "the installed pack does not name its licence"

export HOME="$work/home"
unset XDG_DATA_HOME XDG_CONFIG_HOME XDG_STATE_HOME
mkdir -p "$HOME/.config/kotobune"
printf '[Dictionary]\r\nPack=edict-en\r\nBuiltin=0\r\n' >"$HOME/.config/kotobune/settei.ini"
cd "$work"
start_game "$prefix/$bindir/kotobune"

read_count=$(sed -n 's/.*edict-en\.txt (UTF-8): \([0-9]*\) pack idioms read.*/\1/p' "$work/stderr")
[ "${read_count:-0}" -gt 3000 ] || fail "the pack's idioms were not read: $(cat "$work/stderr")"

xdotool key --window "$window" shift
sleep 1
meanings=$(count blue 480 85 640 280)
[ "$meanings" -gt 200 ] || fail "no meanings on the panel after Shift ($meanings)"
# Wrapped to the panel, an English meaning stays on its board (from x = 450) as Japanese ones do.
spilled=$(count blue 400 85 448 280)
[ "$spilled" -lt 20 ] || fail "a meaning line runs into the pool ($spilled)"
kill -0 "$game_pid" 2>/dev/null || fail "the game ended: $(cat "$work/stderr")"
echo "1 passed, 0 failed"
