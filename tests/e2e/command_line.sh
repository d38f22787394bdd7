#!/usr/bin/env bash
# The command line: --help, --version and --export-review answer without a display (a window
# would fail there), and an unknown option prints the usage on standard error with status 2.
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
run --export-review
[ "$status" = 2 ] || fail "--export-review without a file ended with $status"

# The export reads the study record of a portable copy of the game and changes nothing there.
mkdir "$work/game" "$work/game/data"
cp "$game" "$work/game/kotobune"
run() { status=0; "$work/game/kotobune" "$@" >"$work/out" 2>"$work/err" || status=$?; }
run --export-review -
[ "$status" = 0 ] || fail "export of no record ended with $status: $(cat "$work/err")"
printf 'idiom\treading\tmeaning\tasked\tcorrect\tmissed\tlast seen\n' | cmp -s - "$work/out" \
  || fail "export of no record: $(cat "$work/out")"

printf '%s\n' $'idiom\treading\tmeaning\tasked\tcorrect\twrong\tunanswered\tlast seen' \
  $'一期一会\tいちごいちえ\t一生に一度の出会い\t5\t2\t2\t1\t2026-03-04' \
  $'晴耕雨読\tせいこううどく\t悠々自適の生活\t1\t1\t0\t0\t2026-03-05' >"$work/game/data/study.tsv"
printf '%s\n' $'idiom\treading\tmeaning\tasked\tcorrect\tmissed\tlast seen' \
  $'一期一会\tいちごいちえ\t一生に一度の出会い\t5\t2\t3\t2026-03-04' \
  $'晴耕雨読\tせいこううどく\t悠々自適の生活\t1\t1\t0\t2026-03-05' >"$work/expected"
cp "$work/game/data/study.tsv" "$work/study.before"
run --export-review -
[ "$status" = 0 ] || fail "export to standard output ended with $status: $(cat "$work/err")"
cmp "$work/expected" "$work/out" || fail "export to standard output: $(cat "$work/out")"
run --export-review "$work/review file.tsv"
[ "$status" = 0 ] && [ ! -s "$work/out" ] || fail "export to a file ended with $status"
cmp "$work/expected" "$work/review file.tsv" || fail "export to a file differs"
cmp "$work/study.before" "$work/game/data/study.tsv" || fail "the export changed the study record"

echo broken >"$work/game/data/study.tsv"
run --export-review "$work/broken.tsv"
[ "$status" = 1 ] || fail "export of a damaged record ended with $status"
grep -q 'study.tsv' "$work/err" || fail "export of a damaged record said: $(cat "$work/err")"
[ ! -e "$work/broken.tsv" ] || fail "export of a damaged record wrote a file"
run --export-review "$work/no such folder/review.tsv"
[ "$status" = 1 ] || fail "export into a missing folder ended with $status"
echo "1 passed, 0 failed"
