#!/usr/bin/env bash
# Side by side on one X display of 1920 x 1080 with a window manager: the direct SDL program
# and the game's title screen, alternately, each for SECONDS, ROUNDS times; the CPU the whole
# process spends per frame, and the game's share of the direct program's. Then the present
# benchmarks on the same display.
# Usage: bench/present.sh BUILD_FOLDER [SECONDS] [ROUNDS]
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=${2:-8}
rounds=${3:-3}
work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"' EXIT
display=$((100 + RANDOM % 800))
Xvfb ":$display" -screen 0 1920x1080x24 -nolisten tcp -noreset 2>/dev/null &
pids+=($!)
export DISPLAY=":$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1

game_cpu() {
  KOTOBUNE_STATS=1 SDL_AUDIODRIVER=dummy "$@" "$build/kotobune" 2>"$work/stats" &
  local game=$!
  sleep "$seconds"
  kill -TERM "$game"
  wait "$game" || true
  sed -n 's/.*CPU \([0-9.]*\) ms per frame.*/\1/p' "$work/stats"
}

for round in $(seq "$rounds"); do
  reference=$(SDL_AUDIODRIVER=dummy "$build/bench_sdl_reference" "$seconds" | sed -n 's/.*CPU \([0-9.]*\) ms.*/\1/p')
  cpu=$(game_cpu env KOTOBUNE_PRESENT=cpu)
  renderer=$(game_cpu env KOTOBUNE_PRESENT=renderer)
  echo "round $round: direct SDL $reference ms, game on the CPU path $cpu ms ($(awk "BEGIN {printf \"%.2f\", $cpu / $reference}")x), game on the renderer $renderer ms per frame"
done
"$build/bench_present" --benchmark_filter=BM_Present
