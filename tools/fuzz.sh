#!/usr/bin/env bash
# tools/fuzz.sh [--build DIR] TARGET SECONDS: runs one fuzz target (fuzz/TARGET.cpp) for that
# long. Without --build it first builds the target in the sanitized build (build/asan).
# New inputs gather in DIR/fuzz/corpus/TARGET, crashing ones in DIR/fuzz/findings/.
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
build=""
if [ "${1:-}" = --build ]; then
  build="$2"
  shift 2
fi
if [ $# -ne 2 ]; then
  echo "usage: tools/fuzz.sh [--build DIR] TARGET SECONDS" >&2
  exit 2
fi
target="$1" seconds="$2"
# As the asan preset sets them, for runs outside CTest and for the build's
# own sanitized tools.
: "${ASAN_OPTIONS:=halt_on_error=1:detect_leaks=1:strict_init_order=1:detect_stack_use_after_return=1}"
: "${LSAN_OPTIONS:=suppressions=$source_dir/tools/lsan.supp:print_suppressions=0}"
: "${UBSAN_OPTIONS:=halt_on_error=1:print_stacktrace=1}"
export ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS
if [ -z "$build" ]; then
  build="$source_dir/build/asan"
  launcher=()
  if command -v ccache >/dev/null; then
    export CCACHE_BASEDIR="$source_dir" CCACHE_NOHASHDIR=1
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  (cd "$source_dir" && cmake --preset asan "${launcher[@]}" >/dev/null && cmake --build "$build" --target "$target")
fi
fuzz="$build/fuzz"
mkdir -p "$fuzz/corpus/$target" "$fuzz/findings"
exec "$fuzz/$target" "$fuzz/corpus/$target" "$fuzz/seeds/$target" -max_total_time="$seconds" \
  -timeout=30 -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$fuzz/findings/$target-"
