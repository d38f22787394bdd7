#!/usr/bin/env bash
# What a desktop reads from an installed game: a valid menu entry whose command and icon
# exist under the prefix, an icon of every size, AppStream metadata that validates, and the
# manual pages.
# Usage: desktop_entry.sh BUILD_FOLDER BINDIR (the programs' folder under the prefix)
set -euo pipefail
build=$1
bindir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || fail "cmake --install failed: $(cat "$work/install.log")"
entries=("$prefix"/share/applications/*.desktop)
[ ${#entries[@]} = 1 ] && [ -f "${entries[0]}" ] || fail "expected one desktop entry: ${entries[*]}"
entry=${entries[0]}
desktop-file-validate "$entry" || fail "desktop-file-validate refused $entry"
grep -qx 'Categories=Game;ArcadeGame;' "$entry" || fail "wrong categories"
# Docks match the window to its entry by the window's class.
grep -qx 'StartupWMClass=kotobune' "$entry" || fail "no StartupWMClass matching the window's class"
grep -qx 'Name=ことぶね' "$entry" || fail "wrong name"

command=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
[ -x "$prefix/$bindir/$command" ] || fail "the entry starts '$command', which is not installed in $bindir"
icon=$(sed -n 's/^Icon=//p' "$entry")
hicolor="$prefix/share/icons/hicolor"
grep -q '<svg' "$hicolor/scalable/apps/$icon.svg" || fail "no scalable icon $icon.svg"
for size in 48 64 128 256; do
  png="$hicolor/${size}x${size}/apps/$icon.png"
  [ "$(file -b "$png" | grep -o "$size x $size")" = "$size x $size" ] || fail "$png is not a $size px PNG: $(file -b "$png")"
done

metainfo=("$prefix"/share/metainfo/*.metainfo.xml)
appstreamcli validate --no-net --pedantic "${metainfo[0]}" || fail "appstreamcli refused ${metainfo[0]}"
# Screenshots only where the build was told where they are published: no dead links.
grep -q '<screenshots>\|\.example\b' "${metainfo[0]}" && fail "the metadata links to screenshots nobody publishes"
grep -q "<launchable type=\"desktop-id\">$(basename "$entry")</launchable>" "${metainfo[0]}" ||
  fail "the metadata does not launch $(basename "$entry")"
for page in man6/kotobune.6.gz man1/qdatool.1.gz; do
  man --warnings -l "$prefix/share/man/$page" >/dev/null 2>"$work/man.log" && [ ! -s "$work/man.log" ] ||
    fail "the manual page $page has faults: $(cat "$work/man.log")"
done
echo "1 passed, 0 failed"
