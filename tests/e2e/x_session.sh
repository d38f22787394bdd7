# Sourced by the end-to-end scripts: a scratch folder, a 1280 x 720 X server with a window
# manager (without one a full-screen request does nothing), and cleanup of all of it.
# After sourcing: $work, $DISPLAY, fail MESSAGE, and pids+=(PID) for anything to stop.
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# 16:9, so the 4:3 picture is scaled by 1.5 and letterboxed: nothing lines up by accident.
Xvfb -displayfd 3 -screen 0 1280x720x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(cat "$work/display")"
openbox >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do wmctrl -m >/dev/null 2>&1 && break; sleep 0.1; done
wmctrl -m >/dev/null 2>&1 || fail "openbox did not start"
