#!/usr/bin/env bash
# Without a window manager the full-screen request is ignored, so the game covers the screen
# with a plain window of its own: the whole picture is drawn on it, letterboxed, and matches
# the headless frame of the title screen wherever that screen stands still.
# Usage: no_window_manager.sh GAME GOLDEN_TITLE_PNG
set -euo pipefail
game=$1
golden=$2
window_manager=none
source "$(dirname "$0")/x_session.sh"

SDL_AUDIODRIVER=dummy "$game" 2>"$work/stderr" &
game_pid=$!
pids+=($game_pid)
timeout 20 xdotool search --sync --class kotobune >/dev/null || fail "no game window appeared"

for _ in $(seq 100); do
  grep -q "did not make the window full screen" "$work/stderr" && break
  sleep 0.1
done
grep -q "did not make the window full screen" "$work/stderr" || fail "the ignored full-screen request went unnoticed"
sleep 1
window=$(game_window)
eval "$(xdotool getwindowgeometry --shell "$window")"
kill -0 "$game_pid" 2>/dev/null || fail "the game ended early ($(cat "$work/stderr"))"

matched=""
for _ in $(seq 20); do
  xwd -root -silent > "$work/screen.xwd"
  python3 - "$work/screen.xwd" "$golden" "$X" "$Y" "$WIDTH" "$HEIGHT" <<'PY' && { matched=yes; break; }
import struct, sys, zlib

def read_png(path):
    data = open(path, 'rb').read()
    at, idat = 8, b''
    while at < len(data):
        length, kind = struct.unpack('>I4s', data[at:at + 8])
        if kind == b'IHDR':
            width, height = struct.unpack('>II', data[at + 8:at + 16])
        elif kind == b'IDAT':
            idat += data[at + 8:at + 8 + length]
        at += 12 + length
    raw, rows, stride = zlib.decompress(idat), [], width * 3
    previous = bytearray(stride)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 3] if i >= 3 else 0
            b, c = previous[i], previous[i - 3] if i >= 3 else 0
            p = a + b - c
            predictor = [0, a, b, (a + b) // 2,
                         a if abs(p - a) <= abs(p - b) and abs(p - a) <= abs(p - c) else b if abs(p - b) <= abs(p - c) else c][kind]
            line[i] = (line[i] + predictor) & 255
        rows.append(line)
        previous = line
    return lambda x, y: tuple(rows[y][3 * x:3 * x + 3])

def read_xwd(path):
    data = open(path, 'rb').read()
    header, = struct.unpack('>I', data[:4])
    bits, bpl = struct.unpack('>II', data[44:52])
    ncolors, = struct.unpack('>I', data[76:80])
    pixels, size = data[header + ncolors * 12:], bits // 8
    return lambda x, y: tuple(pixels[y * bpl + x * size + k] for k in (2, 1, 0))

screen, picture = read_xwd(sys.argv[1]), read_png(sys.argv[2])
left, top, width, height = map(int, sys.argv[3:7])
assert (left, top, width, height) == (0, 0, 1280, 720), ('the window does not cover the screen', left, top, width, height)
# The picture keeps its shape: 960 x 720 from x = 160.
scale = 720 / 480
def shown(x, y):
    return screen(160 + int((x + 0.5) * scale), int((y + 0.5) * scale))
# The side panel's boxes and clock and the gauge under the pool stand still on the title.
regions = [(490, 10, 630, 330), (5, 448, 165, 468)]
total = count = 0
for x0, y0, x1, y1 in regions:
    for y in range(y0, y1, 2):
        for x in range(x0, x1, 2):
            total += sum(abs(a - b) for a, b in zip(shown(x, y), picture(x, y)))
            count += 3
mean = total / count
print(f'mean difference {mean:.1f}')
sys.exit(0 if mean < 12 else 1)
PY
  sleep 0.5
done
[ -n "$matched" ] || fail "the window does not show the whole picture"
echo "1 passed, 0 failed"
