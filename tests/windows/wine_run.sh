#!/usr/bin/env bash
# Runs a Windows program under Wine in the given prefix, with the shipped DLLs on its path.
# Usage: wine_run.sh PREFIX DLL_FOLDER --boot | PROGRAM [ARGS...]
# --boot makes the prefix (wineboot) and waits until Wine has settled; its chatter stays out
# of the test log.
set -euo pipefail
export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
dlls=$2
shift 2
wine=/usr/lib/wine/wine64
if [ "$1" = --boot ]; then
  # A server that still serves a previous run's prefix would take the new one for its own.
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  /usr/lib/wine/wineserver -w 2>/dev/null || true
  rm -rf "$WINEPREFIX"
  "$wine" wineboot --init >"$WINEPREFIX.log" 2>&1 || { cat "$WINEPREFIX.log"; exit 1; }
  /usr/lib/wine/wineserver -w
  exit 0
fi
[ -d "$WINEPREFIX" ] || { echo "no Wine prefix at $WINEPREFIX (run the wine.prefix test first)" >&2; exit 1; }
export WINEPATH="Z:${dlls//\//\\}"
exec "$wine" "$@"
