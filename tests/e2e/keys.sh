#!/usr/bin/env bash
# Real keys through the X server reach the game: Shift starts play (the meanings appear on
# the side panel and the prompt goes), Escape asks the save question, N quits without saving.
set -euo pipefail
game=$1
source "$(dirname "$0")/x_session.sh"

home=$(dirname "$game")
record="$home/data/record1.dat"
before=$(sha1sum "$record" 2>/dev/null || echo none)

SDL_AUDIODRIVER=dummy "$game" 2>"$work/stderr" &
game_pid=$!
pids+=($game_pid)
window=$(timeout 20 xdotool search --sync --class kotobune | head -1) || fail "no game window appeared"
wait_for_prompt

# Counts pixels of a colour family in a 640 x 480 area of the letterboxed screen.
count() {
  xwd -root -silent > "$work/screen.xwd"
  python3 - "$work/screen.xwd" "$@" <<'PY'
import struct, sys
data = open(sys.argv[1], 'rb').read()
header, = struct.unpack('>I', data[:4])
bpl, = struct.unpack('>I', data[48:52])
ncolors, = struct.unpack('>I', data[76:80])
pixels = data[header + ncolors * 12:]
kind, x0, y0, x1, y1 = sys.argv[2], *map(int, sys.argv[3:7])
def rgb(x, y):  # 640 x 480 coordinates, picture scaled by 1.5 from x = 160
    sx, sy = int(160 + x * 1.5), int(y * 1.5)
    v = struct.unpack('<I', pixels[sy * bpl + sx * 4:sy * bpl + sx * 4 + 4])[0]
    return (v >> 16) & 255, (v >> 8) & 255, v & 255
want = {'red': lambda r, g, b: r >= 200 and g <= 60 and b <= 60,  # the darkest red ball stays below
        'blue': lambda r, g, b: b > 170 and r < 90 and g < 90}[kind]
print(sum(want(*rgb(x, y)) for x in range(x0, x1) for y in range(y0, y1)))
PY
}

prompt_before=$(count red 100 345 540 400)
[ "$prompt_before" -gt 300 ] || fail "no start prompt before Shift ($prompt_before red pixels)"
xdotool key --window "$window" shift
sleep 1
meanings=$(count blue 480 85 640 280)
prompt_after=$(count red 100 345 540 400)
[ "$meanings" -gt 200 ] || fail "Shift did not start play: no meanings on the panel ($meanings)"
[ "$prompt_after" -lt 100 ] || fail "the prompt stayed after Shift ($prompt_after)"

xdotool key --window "$window" Escape
sleep 0.5
question=$(count red 100 345 540 400)
[ "$question" -gt 300 ] || fail "Escape did not ask the save question ($question)"
kill -0 "$game_pid" 2>/dev/null || fail "Escape during play closed the game at once"

xdotool key --window "$window" n
for _ in $(seq 100); do kill -0 "$game_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$game_pid" 2>/dev/null && fail "N did not close the game"
wait "$game_pid" || fail "the game ended with status $? ($(cat "$work/stderr"))"
after=$(sha1sum "$record" 2>/dev/null || echo none)
[ "$before" = "$after" ] || fail "N wrote the record"
echo "1 passed, 0 failed"
