#!/usr/bin/env bash
# The game installed under a fresh prefix and played by a player with a fresh home: the start
# prompt appears, Escape then Y saves the game into the player's data folder, the settings
# are copied into the player's configuration folder, and nothing is written under the prefix.
# Usage: installed.sh BUILD_FOLDER BINDIR DATADIR (the programs' and the data's folders under the prefix)
set -euo pipefail
build=$1
bindir=$2
datadir=$3
source "$(dirname "$0")/x_session.sh"

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || fail "cmake --install failed: $(cat "$work/install.log")"
listing() { find "$prefix" -printf '%p %s %T@\n' | sort; }
before=$(listing)

export HOME="$work/home"
export XDG_DATA_HOME="$work/saves"
unset XDG_CONFIG_HOME XDG_STATE_HOME
mkdir -p "$HOME"
# Started through PATH from another folder, as from a menu: it must find its data by itself.
cd "$work"
PATH="$prefix/$bindir:$PATH" SDL_AUDIODRIVER=dummy kotobune 2>"$work/stderr" &
game_pid=$!
pids+=($game_pid)
wait_for_prompt
window=$(game_window)

xdotool key --window "$window" shift
sleep 1
xdotool key --window "$window" Escape
sleep 0.5
xdotool key --window "$window" y
expect_game_ends_after "Y"

[ "$(stat -c %s "$XDG_DATA_HOME/kotobune/record1.dat" 2>/dev/null)" = 564 ] ||
  fail "no record in the player's data folder: $(ls -R "$work/saves" "$HOME" 2>&1)"
cmp -s "$HOME/.config/kotobune/settei.ini" "$prefix/$datadir/settei.ini.sample" ||
  fail "the settings were not copied into the player's configuration folder"
[ "$(listing)" = "$before" ] || fail "the game wrote under the prefix: $(diff <(echo "$before") <(listing))"
echo "1 passed, 0 failed"
