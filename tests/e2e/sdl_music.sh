#!/usr/bin/env bash
# The real program on a real X server plays its own background music: the audio it sends
# to SDL's disk driver is silent at first and sounds from the music set-up at title frame 20
# (about half a second after start) until the window is closed.
set -euo pipefail
game=$1
source "$(dirname "$0")/x_session.sh"

# The disk driver writes what the device pulls, float32 stereo at 44.1 kHz as the program
# asks for it, and paces itself in real time.
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw" "$game" 2>"$work/stderr" &
game_pid=$!
pids+=($game_pid)

timeout 20 xdotool search --sync --class kotobune >/dev/null || fail "no game window appeared"
sleep 5

wmctrl -c 'ことぶね' || fail "could not ask the window to close"
for _ in $(seq 150); do kill -0 "$game_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$game_pid" 2>/dev/null && fail "the game did not end after its window was closed"
wait "$game_pid" || fail "the game ended with status $? ($(cat "$work/stderr"))"
grep -q "no audio device" "$work/stderr" && fail "the disk audio driver did not open: $(cat "$work/stderr")"

python3 - "$work/audio.raw" <<'PY' || fail "the music is not in the audio the program wrote"
import array, math, sys
RATE, CHANNELS, WINDOW = 44100, 2, 0.05
samples = array.array('f')
with open(sys.argv[1], 'rb') as raw:
    samples.frombytes(raw.read())
if sys.byteorder != 'little':
    samples.byteswap()
frames = len(samples) // CHANNELS
seconds = frames / RATE
assert seconds > 2.0, f"only {seconds:.2f} s of audio were written"

def rms(start, end):
    a, b = int(start * RATE) * CHANNELS, min(int(end * RATE), frames) * CHANNELS
    if b <= a:
        return 0.0
    return math.sqrt(sum(s * s for s in samples[a:b]) / (b - a))

def peak(start, end):
    a, b = int(start * RATE) * CHANNELS, min(int(end * RATE), frames) * CHANNELS
    return max((abs(s) for s in samples[a:b]), default=0.0)

windows = [rms(t * WINDOW, (t + 1) * WINDOW) for t in range(int(seconds / WINDOW))]
LOUD = 0.01  # -40 dBFS over 50 ms
onset = next((i * WINDOW for i, level in enumerate(windows) if level > LOUD), None)
assert onset is not None, "no music at all"
print(f"{seconds:.2f} s of audio, music from {onset:.2f} s", file=sys.stderr)
assert peak(0.0, 0.4) < 1e-3, f"sound in the first 0.4 s (peak {peak(0.0, 0.4):.4f})"
# The device opens before the window: start-up (about half a second for a debug build, more
# on a busy machine) comes before the title's half second.
assert 0.4 <= onset <= 4.0, f"the music starts at {onset:.2f} s"
# Once started it goes on to the close: a stall or an early end leaves long quiet stretches.
after = windows[int(onset / WINDOW) + 2:]
quiet = sum(1 for level in after if level <= LOUD)
assert len(after) >= 20, "too little audio after the music started"
assert quiet <= len(after) // 10, f"{quiet} of {len(after)} windows after the start are silent"
PY
echo "1 passed, 0 failed"
