#!/usr/bin/env bash
# --window starts in a window of twice the picture's size where that fits (the largest whole
# multiple otherwise), and Alt+Enter switches to full screen and back while playing. The
# window can be resized and maximised, the picture letterboxed into it, and the next start
# without options brings back the last size and mode from settei.ini.
# Usage: window_mode.sh GAME SCREEN WINDOW (sizes as WIDTHxHEIGHT)
set -euo pipefail
game=$1
screen=$2
expected_window=$3
xvfb_screen=${screen}x24
source "$(dirname "$0")/x_session.sh"
portable_copy "$game"
settings="$work/game/data/settei.ini"

alt_enter() { xdotool key --window "$window" alt+Return || fail "Alt+Enter could not reach window $window"; }

# The picture fills the window's height or width with its own shape, centred, black around.
letterboxed() {
  # xdotool counts the frame's offset twice under openbox; the X server itself does not.
  local at
  at=$(xwininfo -id "$window" | awk '/Absolute upper-left|Width:|Height:/ {printf "%s ", $NF}')
  xwd -root -silent > "$work/screen.xwd"
  python3 - "$work/screen.xwd" $at <<'PY' || fail "$1: the picture is not letterboxed into the window ($at)"
import struct, sys
data = open(sys.argv[1], 'rb').read()
header, = struct.unpack('>I', data[:4])
screen_width, screen_height = struct.unpack('>II', data[16:24])
bits, bpl = struct.unpack('>II', data[44:52])
ncolors, = struct.unpack('>I', data[76:80])
pixels = data[header + ncolors * 12:]
left, top, width, height = map(int, sys.argv[2:6])
assert left >= 0 and top >= 0 and left + width <= screen_width and top + height <= screen_height, 'off the screen'
def pixel(x, y):
    at = (top + y) * bpl + (left + x) * (bits // 8)
    return int.from_bytes(pixels[at:at + 3], 'little')
if width * 480 <= height * 640:
    w, h = width, width * 480 // 640
else:
    w, h = height * 640 // 480, height
x0, y0 = (width - w) // 2, (height - h) // 2
border = [(x, y) for x in range(0, x0 - 1, 7) for y in range(0, height, 37)] + \
         [(x, y) for x in range(x0 + w + 1, width, 7) for y in range(0, height, 37)] + \
         [(x, y) for y in range(0, y0 - 1, 7) for x in range(0, width, 37)] + \
         [(x, y) for y in range(y0 + h + 1, height, 7) for x in range(0, width, 37)]
assert all(pixel(x, y) == 0 for x, y in border), 'the border is not black'
inside = [pixel(x0 + w * i // 20, y0 + h * j // 20) for i in range(1, 20) for j in range(1, 20)]
assert sum(1 for p in inside if p != 0) > len(inside) // 2, 'the picture is mostly black'
assert len(set(inside)) > 20, 'the picture is too plain to be the game'
# Its edges are where the placement says: the first columns and rows inside are not all black.
edges = [pixel(x0 + 1, y0 + h * j // 10) for j in range(1, 10)] + [pixel(x0 + w - 2, y0 + h * j // 10) for j in range(1, 10)]
assert any(p != 0 for p in edges), 'the picture does not reach its left and right edges'
PY
}

SDL_AUDIODRIVER=dummy "$game" --window 2>"$work/stderr" &
game_pid=$!
pids+=($game_pid)

wait_for_window_size "$expected_window" "--window"
alt_enter
wait_for_window_size "$screen" "Alt+Enter in a window"
alt_enter
wait_for_window_size "$expected_window" "Alt+Enter on the whole screen"
kill -0 "$game_pid" 2>/dev/null || fail "the game ended: $(cat "$work/stderr")"

xdotool windowmove "$window" 0 0 windowsize "$window" 1000 600
wait_for_window_size 1000x600 "a resized window"
sleep 0.5
letterboxed "resized"
wmctrl -i -r "$window" -b add,maximized_vert,maximized_horz
for _ in $(seq 50); do
  size=$(xdotool getwindowgeometry "$window" | awk '/Geometry/ {print $2}')
  [ "$size" != 1000x600 ] && break
  sleep 0.1
done
[ "${size%x*}" -gt 1000 ] || fail "the window could not be maximised: $size"
sleep 0.5
letterboxed "maximised"
wmctrl -i -r "$window" -b remove,maximized_vert,maximized_horz
wait_for_window_size 1000x600 "a window no longer maximised"
wmctrl -i -c "$window"
expect_game_ends_after "closing the window"
grep -q '^Window=1' "$settings" && grep -q '^WindowWidth=1000' "$settings" && grep -q '^WindowHeight=600' "$settings" ||
  fail "the window's mode and size were not kept: $(cat "$settings" 2>/dev/null)"

# The next start without options is the window the player left; leaving it in full screen
# is kept as well.
SDL_AUDIODRIVER=dummy "$game" 2>"$work/stderr" &
game_pid=$!
pids+=($game_pid)
wait_for_window_size 1000x600 "the next start"
alt_enter
wait_for_window_size "$screen" "Alt+Enter after the next start"
wmctrl -i -c "$window"
expect_game_ends_after "closing the full screen"
grep -q '^Window=0' "$settings" || fail "the full screen was not kept: $(cat "$settings")"
grep -q '^WindowWidth=1000' "$settings" || fail "the window's size was lost on the full screen: $(cat "$settings")"
echo "1 passed, 0 failed"
