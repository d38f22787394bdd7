#!/usr/bin/env bash
# The command line: --help and --version answer without a display (a window would fail
# there), and an unknown option prints the usage on standard error with status 2.
set -euo pipefail
game=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
unset DISPLAY WAYLAND_DISPLAY SDL_VIDEODRIVER

run() { # run OPTION...: sets status, out, err
  status=0
  "$game" "$@" >"$work/out" 2>"$work/err" || status=$?
  out=$(cat "$work/out")
  err=$(cat "$work/err")
}

run --help
[ "$status" = 0 ] || fail "--help ended with $status: $err"
[[ "$out" == usage:*--window*--fullscreen* ]] || fail "--help printed: $out"
[ -z "$err" ] || fail "--help wrote to standard error: $err"

run --version
[ "$status" = 0 ] || fail "--version ended with $status: $err"
[[ "$out" =~ ^kotobune\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "--version printed: $out"

for wrong in --bogus -x window; do
  run --window "$wrong"
  [ "$status" = 2 ] || fail "$wrong ended with $status"
  [ -z "$out" ] || fail "$wrong wrote to standard output: $out"
  [[ "$err" == *"$wrong"*usage:* ]] || fail "$wrong gave no usage line: $err"
done
echo "1 passed, 0 failed"
