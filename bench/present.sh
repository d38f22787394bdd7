#!/usr/bin/env bash
# Side by side on one X display with a window manager: the direct SDL program and the game's
# title screen (on its default path, then forced onto the renderer), alternately, each for
# SECONDS, ROUNDS times. For each: the CPU the whole process spends per frame and the game's
# share of the direct program's, the X server's CPU per frame, the resident memory and threads
# near the end, and the CPU spent before the first frame. Then the present benchmarks.
# Usage: bench/present.sh BUILD_FOLDER [SECONDS] [ROUNDS] [WIDTHxHEIGHT]
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=${2:-8}
rounds=${3:-3}
size=${4:-1920x1080}
work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"' EXIT
display=$((100 + RANDOM % 800))
Xvfb ":$display" -screen 0 "${size}x24" -nolisten tcp -noreset 2>/dev/null &
server=$!
pids+=($server)
export DISPLAY=":$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1
ticks=$(getconf CLK_TCK)

# Milliseconds of CPU a process has used, user and system.
cpu_ms() { awk -v t="$ticks" '{print ($14 + $15) * 1000 / t}' "/proc/$1/stat"; }

# Runs a program for SECONDS (the game is asked to end then; the reference ends by itself)
# and prints "CPU_PER_FRAME X_PER_FRAME RSS_MB THREADS STARTUP_MS".
measure() {
  local kind=$1
  shift
  local before after
  before=$(cpu_ms "$server")
  "$@" >"$work/out" 2>"$work/err" &
  local program=$!
  sleep "$((seconds - 1))"
  local rss threads
  rss=$(awk '/^VmRSS/ {print int($2 / 1024)}' "/proc/$program/status")
  threads=$(awk '/^Threads/ {print $2}' "/proc/$program/status")
  sleep 1
  [ "$kind" = game ] && kill -TERM "$program"
  wait "$program" || true
  after=$(cpu_ms "$server")
  local line
  line=$(cat "$work/out" "$work/err" | grep -m1 'CPU .* ms per frame')
  local frames cpu startup
  frames=$(sed -n 's/^[^,]*frames \([0-9]*\),.*/\1/p' <<<"$line")
  cpu=$(sed -n 's/.*CPU \([0-9.]*\) ms per frame.*/\1/p' <<<"$line")
  startup=$(sed -n 's/.*first frame after \([0-9.]*\) ms CPU.*/\1/p' <<<"$line")
  echo "$cpu $(awk "BEGIN {printf \"%.2f\", ($after - $before) / $frames}") $rss $threads $startup"
}

describe() {
  read -r cpu server_cpu rss threads startup <<<"$2"
  printf '%s %s ms (%.2fx), X server %s ms, %s MB, %s threads, start-up %s ms CPU' "$1" "$cpu" \
    "$(awk "BEGIN {print $cpu / $3}")" "$server_cpu" "$rss" "$threads" "$startup"
}

echo "display $size; load average $(cut -d' ' -f1-3 /proc/loadavg)"
for round in $(seq "$rounds"); do
  reference=$(measure reference env SDL_AUDIODRIVER=dummy "$build/bench_sdl_reference" "$seconds")
  default=$(measure game env KOTOBUNE_STATS=1 SDL_AUDIODRIVER=dummy "$build/kotobune")
  renderer=$(measure game env KOTOBUNE_STATS=1 SDL_AUDIODRIVER=dummy KOTOBUNE_PRESENT=renderer "$build/kotobune")
  base=${reference%% *}
  echo "round $round:"
  echo "  $(describe "direct SDL" "$reference" "$base")"
  echo "  $(describe "game, default path" "$default" "$base")"
  echo "  $(describe "game, renderer" "$renderer" "$base")"
done
"$build/bench_present" --benchmark_filter=BM_Present
