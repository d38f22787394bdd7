# Sourced by the end-to-end scripts: a scratch folder, a 1280 x 720 X server with a window
# manager (without one a full-screen request does nothing; window_manager=none before
# sourcing leaves it out), and cleanup of all of it.
# After sourcing: $work, $DISPLAY, fail MESSAGE, wait_for_prompt, count COLOUR X0 Y0 X1 Y1,
# wait_until COLOUR X0 Y0 X1 Y1 TEST NUMBER MESSAGE,
# game_window, start_game PROGRAM ARGUMENTS..., press KEY, expect_game_ends_after KEY,
# wait_for_window_size WIDTHxHEIGHT WHAT, portable_copy PROGRAM (sets $game),
# and pids+=(PID) for anything to stop.
# Set xvfb_screen (WIDTHxHEIGHTxDEPTH) before sourcing for another screen.
work=$(mktemp -d)
pids=()
# Waits for each process too: an X server still dying would remove the socket of a new
# server that took its display number.
cleanup() {
  # A stopped process takes its signal only once continued.
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && kill -CONT "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# 16:9, so the 4:3 picture is scaled by 1.5 and letterboxed: nothing lines up by accident.
# A random display number keeps tests that run side by side (and a server of a test that is
# just ending) off each other's display.
start_x_server() {
  local display
  for _ in $(seq 10); do
    display=$((100 + RANDOM % 800))
    [ -e "/tmp/.X${display}-lock" ] && continue
    # No reset when the last client leaves: a probe leaving must not take the display away.
    Xvfb ":$display" -screen 0 "${xvfb_screen:-1280x720x24}" -nolisten tcp -noreset 2>"$work/xvfb.log" &
    local server=$!
    for _ in $(seq 50); do
      if xdpyinfo -display ":$display" >/dev/null 2>&1; then
        pids+=($server)
        export DISPLAY=":$display"
        return 0
      fi
      kill -0 "$server" 2>/dev/null || break
      sleep 0.1
    done
    kill "$server" 2>/dev/null || true
  done
  fail "Xvfb did not start: $(cat "$work/xvfb.log")"
}
start_x_server
if [ "${window_manager:-openbox}" = openbox ]; then
  openbox >"$work/openbox.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do wmctrl -m >/dev/null 2>&1 && break; sleep 0.1; done
  wmctrl -m >/dev/null 2>&1 || fail "openbox did not start on $DISPLAY: $(cat "$work/openbox.log")"
fi

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
        'blue': lambda r, g, b: b > 170 and r < 90 and g < 90,
        'heading': lambda r, g, b: r >= 230 and 200 <= g <= 245 and 100 <= b <= 170,  # a page's headings
        'note': lambda r, g, b: r <= 60 and 40 <= g <= 100 and 110 <= b <= 170}[kind]  # ink above the prompts
print(sum(want(*rgb(x, y)) for x in range(x0, x1) for y in range(y0, y1)))
PY
}

# Up to ten seconds until count's answer passes the test (-gt 40, -eq 0): frames follow the
# clock, and the machine may be busy.
wait_until() {
  for _ in $(seq 100); do
    [ "$(count "$1" "${@:2:4}")" "$6" "$7" ] && return 0
    sleep 0.1
  done
  fail "$8"
}

# The game's window now: the renderer may replace the first one while it starts.
game_window() { xdotool search --class kotobune 2>/dev/null | tail -1; }

# Starts the game (PROGRAM ARGUMENTS...) with silent audio, waits for its window and the start
# prompt, and leaves $game_pid and $window.
start_game() {
  SDL_AUDIODRIVER=dummy "$@" 2>"$work/stderr" &
  game_pid=$!
  pids+=($game_pid)
  timeout 20 xdotool search --sync --class kotobune >/dev/null || fail "no game window appeared"
  wait_for_prompt
  window=$(game_window)
}

# A key to the game's window, and a moment for its frames to take it.
press() {
  xdotool key --window "$window" "$1"
  sleep 0.5
}

# Waits up to ten seconds for the game to end after KEY, then checks its status is 0.
expect_game_ends_after() {
  for _ in $(seq 100); do kill -0 "$game_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$game_pid" 2>/dev/null && fail "$1 did not close the game"
  wait "$game_pid" || fail "the game ended with status $? ($(cat "$work/stderr"))"
}

# Waits until the game's window is WIDTHxHEIGHT (the window manager may take a moment) and
# leaves it in $window; fails naming WHAT otherwise.
wait_for_window_size() {
  local size=""
  for _ in $(seq 150); do
    window=$(game_window) || window=""
    if [ -n "$window" ]; then
      size=$(xdotool getwindowgeometry "$window" 2>/dev/null | awk '/Geometry/ {print $2}') || size=""
    fi
    [ "$size" = "$1" ] && return 0
    sleep 0.1
  done
  fail "$2: the window is ${size:-missing}, not $1 ($(cat "$work/stderr" 2>/dev/null))"
}

# Waits until the red start prompt shows under the pool (the hundredth title frame, later on
# a busy machine): red text wider than the short music set-up line shown before it.
# Fails after 20 seconds.
wait_for_prompt() {
  for _ in $(seq 80); do
    xwd -root -silent > "$work/wait.xwd"
    python3 - "$work/wait.xwd" <<'PY' && return 0
import struct, sys
data = open(sys.argv[1], 'rb').read()
header, = struct.unpack('>I', data[:4])
bpl, = struct.unpack('>I', data[48:52])
ncolors, = struct.unpack('>I', data[76:80])
pixels = data[header + ncolors * 12:]
columns = set()
for y in range(int(350 * 1.5), int(372 * 1.5), 3):
    for x in range(160, 1120, 2):
        v = struct.unpack('<I', pixels[y * bpl + x * 4:y * bpl + x * 4 + 4])[0]
        if ((v >> 16) & 255) >= 200 and ((v >> 8) & 255) <= 60 and (v & 255) <= 60:
            columns.add(x)
# The line is one run of inked columns (a drifting red ball is a run of its own), centred and
# spanning more than 300 of the game's pixels.
runs = []
for x in sorted(columns):
    if runs and x - runs[-1][-1] <= 30:
        runs[-1].append(x)
    else:
        runs.append([x])
line = max(runs, key=len, default=[])
sys.exit(0 if line and line[-1] - line[0] > 450 and line[0] < 640 < line[-1] else 1)
PY
    sleep 0.25
  done
  fail "the start prompt did not appear"
}

# A portable copy of the game in $work/game without the player's files, so that what it
# saves stays out of the build folder; $game then names the copy.
portable_copy() {
  mkdir -p "$work/game"
  cp "$1" "$work/game/kotobune"
  cp -r "$(dirname "$1")/data" "$work/game/data"
  rm -f "$work/game/data/record1.dat" "$work/game/data/tuika.ini" "$work/game/data/settei.ini"
  game="$work/game/kotobune"
}
