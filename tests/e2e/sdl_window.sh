#!/usr/bin/env bash
# The real program on a real X server with a window manager: it starts, covers the whole
# screen with the 640 x 480 picture letterboxed, carries the class its menu entry names and
# its own icon, and ends cleanly when its window is closed. Xvfb has no GPU: the picture is
# drawn in the game's own memory and scaled from there, never read back.
set -euo pipefail
game=$1
source "$(dirname "$0")/x_session.sh"

KOTOBUNE_STATS=1 SDL_AUDIODRIVER=dummy "$game" 2>"$work/stderr" &
game_pid=$!
pids+=($game_pid)

timeout 20 xdotool search --sync --class kotobune >/dev/null || fail "no game window appeared"
wait_for_window_size 1280x720 "full screen"
window=$(game_window)
xprop -id "$window" WM_CLASS | grep -q ', "kotobune"$' || fail "the window's class is not kotobune: $(xprop -id "$window" WM_CLASS)"
# grep reads xprop's whole drawing of the icon: stopping early would fail the pipe.
xprop -id "$window" _NET_WM_ICON | grep 'Icon (64 x 64)' >/dev/null || fail "the window has no icon of its own"

# Left bar, picture and right bar: the picture is 960 x 720 from x = 160. The title
# screen is up once the music has been set up (half a second) and the prompt shown (2.5 s).
sleep 3
xwd -root -silent > "$work/screen.xwd"
python3 - "$work/screen.xwd" <<'PY' || fail "the screen does not show the letterboxed picture"
import struct, sys
data = open(sys.argv[1], 'rb').read()
header_size, = struct.unpack('>I', data[:4])
width, height = struct.unpack('>II', data[16:24])
bytes_per_line, = struct.unpack('>I', data[48:52])
ncolors, = struct.unpack('>I', data[76:80])
pixels = data[header_size + ncolors * 12:]
def pixel(x, y):
    offset = y * bytes_per_line + x * 4
    return struct.unpack('<I', pixels[offset:offset + 4])[0] & 0xFFFFFF
assert (width, height) == (1280, 720), (width, height)
# Nothing but black may show outside the picture, and the picture itself is drawn.
assert all(pixel(x, y) == 0 for x in (0, 80, 159, 1120, 1279) for y in (0, 360, 719))
inside = [pixel(x, y) for x in range(170, 1110, 40) for y in range(10, 710, 40)]
assert sum(1 for p in inside if p != 0) > len(inside) // 2, "the picture is mostly black"
assert len(set(inside)) > 20, "the picture is too plain to be the title screen"
PY

wmctrl -c 'ことぶね' || fail "could not ask the window to close"
for _ in $(seq 150); do kill -0 "$game_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$game_pid" 2>/dev/null && fail "the game did not end after its window was closed"
wait "$game_pid" || fail "the game ended with status $? ($(cat "$work/stderr"))"
grep -Eq 'present cpu, sharp, 1280x720, 0 frames read back, [0-9]+ window rows sent$' "$work/stderr" ||
  fail "the picture was not drawn straight into the CPU path's memory: $(cat "$work/stderr")"
echo "1 passed, 0 failed"
