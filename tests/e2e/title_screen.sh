#!/usr/bin/env bash
# The real program's title screen on a real X server: a screenshot shows the eight balls near
# where the round reset put them, and once the start prompt is up, the red prompt line centred
# under the pool.
# Usage: title_screen.sh GAME PICTURE_FOLDER (the BMP files the archive is built from)
set -euo pipefail
game=$1
pictures=$2
source "$(dirname "$0")/x_session.sh"

# Nanoseconds the game has been let run: frames come no faster than one per 25 ms of it.
resumed=$(date +%s%N)
ran=0
SDL_AUDIODRIVER=dummy "$game" 2>"$work/stderr" &
game_pid=$!
pids+=($game_pid)

# Balls drift from the first frame on, so they are caught early, before the title picture
# covers them at the hundredth frame. The game is stopped while each screenshot is taken and
# looked at: its frames follow the clock, one at a time, so a stopped game draws none, and
# however busy the machine, it runs only 0.3 s (at most 13 frames) between two looks. The
# first picture shown full screen (black borders, the pool in the middle) is the one.
early=""
looks=0
for _ in $(seq 200); do
  kill -STOP "$game_pid"
  ran=$((ran + $(date +%s%N) - resumed))
  looks=$((looks + 1))
  xwd -root -silent > "$work/early.xwd" && python3 - "$work/early.xwd" <<'PY' && early=yes
import struct, sys
data = open(sys.argv[1], 'rb').read()
header_size, = struct.unpack('>I', data[:4])
bytes_per_line, = struct.unpack('>I', data[48:52])
ncolors, = struct.unpack('>I', data[76:80])
pixels = data[header_size + ncolors * 12:]
def black(x, y):
    return pixels[y * bytes_per_line + x * 4:y * bytes_per_line + x * 4 + 3] == b'\0\0\0'
borders = all(black(x, y) for y in (40, 360, 680) for x in (*range(0, 160, 8), *range(1120, 1280, 8)))
pool = any(not black(x, 360) for x in range(500, 780, 20))
sys.exit(0 if borders and pool else 1)
PY
  kill -CONT "$game_pid"
  resumed=$(date +%s%N)
  [ -n "$early" ] && break
  sleep 0.3
done
[ -n "$early" ] || fail "no full-screen picture was drawn"
wait_for_prompt
kill -0 "$game_pid" 2>/dev/null || fail "the game ended early ($(cat "$work/stderr"))"
# The screenshot that showed the prompt is the one looked at.
cp "$work/wait.xwd" "$work/prompt.xwd"

python3 - "$work/early.xwd" "$work/prompt.xwd" "$pictures" "$ran" "$looks" <<'PY' || fail "the title screen is not as expected"
import math, os, struct, sys

early_path, prompt_path, pictures = sys.argv[1], sys.argv[2], sys.argv[3]
ran, looks = int(sys.argv[4]) / 1e9, int(sys.argv[5])

def picture_of(path):
    """The 640 x 480 picture inside the letterboxed screen, sampled at pixel centres: rows of (r, g, b)."""
    data = open(path, 'rb').read()
    header_size, = struct.unpack('>I', data[:4])
    width, height = struct.unpack('>II', data[16:24])
    bits_per_pixel, = struct.unpack('>I', data[44:48])
    bytes_per_line, = struct.unpack('>I', data[48:52])
    ncolors, = struct.unpack('>I', data[76:80])
    assert bits_per_pixel == 32, bits_per_pixel
    pixels = data[header_size + ncolors * 12:]
    scale = min(width / 640, height / 480)
    left, top = (width - 640 * scale) / 2, (height - 480 * scale) / 2
    rows = []
    for y in range(480):
        line = int(top + (y + 0.5) * scale) * bytes_per_line
        rows.append([tuple(pixels[line + int(left + (x + 0.5) * scale) * 4 + k] for k in (2, 1, 0)) for x in range(640)])
    return rows

def read_bmp(name):
    raw = open(os.path.join(pictures, name), 'rb').read()
    offset, = struct.unpack('<I', raw[10:14])
    w, h = struct.unpack('<ii', raw[18:26])
    bits, = struct.unpack('<H', raw[28:30])
    assert bits == 24, (name, bits)
    stride = (w * 3 + 3) // 4 * 4
    rows = []
    for y in range(abs(h)):
        row = raw[offset + (abs(h) - 1 - y if h > 0 else y) * stride:][:w * 3]
        rows.append([(row[3 * x + 2], row[3 * x + 1], row[3 * x]) for x in range(w)])
    return rows

def near(a, b, tolerance=40):
    return abs(a[0] - b[0]) <= tolerance and abs(a[1] - b[1]) <= tolerance and abs(a[2] - b[2]) <= tolerance

# --- The balls, in the early picture. ---
# Each ball picture is found by its rim (keyed blue is see-through; the middle carries the
# ball's character), anywhere in the pool; each picture serves two balls.
screen = picture_of(early_path)
target = read_bmp('target.bmp')
SIZE = 30
found = []
for p in range(4):
    ball = read_bmp('ball%d.bmp' % p)
    assert len(ball) == SIZE, len(ball)
    rim = [(x, y, ball[y][x]) for y in range(SIZE) for x in range(SIZE)
           if ball[y][x] != (0, 0, 255) and not (4 <= x < SIZE - 4 and 4 <= y < SIZE - 4)]
    anchors = rim[::max(1, len(rim) // 12)]
    hits = []
    for by in range(30, 421):
        for bx in range(30, 421):
            if (bx + SIZE // 2 - 240) ** 2 + (by + SIZE // 2 - 240) ** 2 > 200 ** 2:
                continue  # the rim keeps balls inside the pool
            misses = 0
            for x, y, colour in anchors:
                if not near(screen[by + y][bx + x], colour):
                    misses += 1
                    if misses > 6:
                        break
            if misses > 6:
                continue
            # The target, drawn over the balls, stands still in the middle.
            seen = [(x, y, colour) for x, y, colour in rim
                    if not (0 <= bx + x - 240 < 32 and 0 <= by + y - 240 < 32 and target[by + y - 240][bx + x - 240] != (0, 0, 0))]
            share = sum(near(screen[by + y][bx + x], colour) for x, y, colour in seen) / max(1, len(seen))
            if share >= 0.5:
                hits.append((share, bx, by))
    hits.sort(reverse=True)
    # Whole rims first; a ball half under another (balls collide and are drawn in turn) is
    # taken only to make up the pair.
    kept = []
    for least in (0.9, 0.5):
        for share, bx, by in hits:
            if len(kept) < 2 and share >= least and all(max(abs(bx - kx), abs(by - ky)) > 12 for _, kx, ky in kept):
                kept.append((share, bx, by))
    print('ball picture %d found at %s' % (p, ', '.join('(%d, %d) %.0f%%' % (x, y, s * 100) for s, x, y in kept)))
    assert len(kept) == 2 and kept[0][0] >= 0.9, 'ball picture %d is not on two balls' % p
    found.append(kept)

# The round reset puts ball i at ((i mod 3) 60 + 150, (i div 3) 60 + 150); since then each
# moved at most 2 pixels a frame on each axis, and may have been pushed once by another ball.
# A frame may start at the end of each stretch it ran.
frames = ran / 0.025 + looks + 2
reach = 2 * math.sqrt(2) * frames + 32
print('ran %.2f s in %d stretches: within %.0f pixels of the grid' % (ran, looks, reach))
grid = [((i % 3) * 60 + 150, (i // 3) * 60 + 150) for i in range(8)]
for p in range(4):
    (_, x0, y0), (_, x1, y1) = found[p]
    homes = [grid[p], grid[p + 4]]
    straight = max(math.dist((x0, y0), homes[0]), math.dist((x1, y1), homes[1]))
    crossed = max(math.dist((x0, y0), homes[1]), math.dist((x1, y1), homes[0]))
    assert min(straight, crossed) <= reach, 'balls %d and %d are too far from the grid' % (p, p + 4)
    for x, y in ((x0, y0), (x1, y1)):
        assert math.dist((x + SIZE // 2, y + SIZE // 2), (240, 240)) <= 210 - SIZE // 2 + 6, \
            'a ball at (%d, %d) is outside the pool' % (x, y)

# --- The start prompt, in the later picture: red ink from y = 350, centred. ---
screen = picture_of(prompt_path)
ink = [(x, y) for y in range(345, 400) for x in range(640)
       if screen[y][x][0] >= 200 and screen[y][x][1] <= 60 and screen[y][x][2] <= 60]  # not the red balls
assert len(ink) > 300, 'no red prompt below the pool (%d red pixels)' % len(ink)
# A drifting red ball may touch these rows too; the text is the rows with ink across the line.
per_row = {y: [x for x, yy in ink if yy == y] for y in range(345, 400)}
text_rows = [y for y, xs in per_row.items() if len(xs) >= 20 and max(xs) - min(xs) >= 200]
assert text_rows, 'no row of red text below the pool'
# The line is one run of columns with small gaps; a ball beside it is a run of its own.
columns = sorted({x for y in text_rows for x in per_row[y]})
runs = [[columns[0]]]
for x in columns[1:]:
    if x - runs[-1][-1] > 20:
        runs.append([])
    runs[-1].append(x)
line = max(runs, key=len)
first, last = line[0], line[-1]
print('prompt: x %d..%d, y %d..%d, %d red pixels' % (first, last, min(text_rows), max(text_rows), len(ink)))
assert 350 <= min(text_rows) <= 358 and max(text_rows) <= 375 + 25, \
    'prompt rows %d..%d' % (min(text_rows), max(text_rows))
assert abs((first + last) / 2 - 320) <= 6, 'prompt not centred: x %d..%d' % (first, last)
assert last - first >= 280, 'too short for the start prompt: x %d..%d' % (first, last)
PY

kill "$game_pid" 2>/dev/null || true
echo "1 passed, 0 failed"
