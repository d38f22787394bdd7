#!/usr/bin/env bash
# Builds the libraries the Windows programs link (SDL2, mpg123) for MinGW-w64 from Debian's
# own source packages, at the versions the Linux build uses, into a cache that later runs reuse.
# Usage: build-deps.sh PREFIX
set -euo pipefail
prefix=$(realpath -m "$1")
here=$(cd "$(dirname "$0")" && pwd)
triplet=x86_64-w64-mingw32
jobs=$(nproc)

# The source version of the package that provides the Linux build's copy of a library.
source_version() { dpkg-query -W -f='${source:Version}' "$1"; }
sdl_version=$(source_version libsdl2-dev)
mpg123_version=$(source_version libmpg123-dev)
mkdir -p "$prefix/src" "$prefix/licences"

# A rebuild after the cache was cleared is quick where there is ccache.
launcher=() compiler=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache)
  compiler=(CC="ccache $triplet-gcc")
fi

# Debian's source entries for the suites it already installs from, in a list file of our own
# that is refreshed alone, so the machine's other lists are left as they are. The machine's
# entries may be in either format: deb822 files, or one-line entries in sources.list.
src_list=/etc/apt/sources.list.d/kotobune-deb-src.sources
source_entries_of_sources() {
  awk 'BEGIN { RS=""; ORS="\n\n" } /(^|\n)Types:[^\n]*deb/ && /debian/ { sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$@"
}
source_entries_of_one_line_lists() {
  awk '$1 == "deb" && /debian/ {
    at = 2; options = ""
    if ($at ~ /^\[/) { while (at < NF && $at !~ /\]$/) options = options " " $(at++); options = options " " $(at++) }
    printf "Types: deb-src\nURIs: %s\nSuites: %s\nComponents:", $at, $(at + 1)
    for (component = at + 2; component <= NF; component++) printf " %s", $component
    printf "\n"
    if (match(options, /signed-by=[^] ]+/)) printf "Signed-By: %s\n", substr(options, RSTART + 10, RLENGTH - 10)
    printf "\n"
  }' "$@"
}
add_source_entries() {
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  local lists=()
  for list in /etc/apt/sources.list.d/*.sources; do [ ! -f "$list" ] || [ "$list" = "$src_list" ] || lists+=("$list"); done
  {
    [ ${#lists[@]} -eq 0 ] || source_entries_of_sources "${lists[@]}"
    [ ! -f /etc/apt/sources.list ] || source_entries_of_one_line_lists /etc/apt/sources.list
  } | $sudo tee "$src_list" >/dev/null
  $sudo apt-get update -o Dir::Etc::sourcelist="$src_list" -o Dir::Etc::sourceparts=- \
    -o APT::Get::List-Cleanup=0
}
# apt checks every file against the signed source index. A mirror may lack the upstream
# tarball's detached signature (.asc), which apt then reports as a failure; what counts is
# that the package itself arrived.
fetch_source() {
  local dsc="$prefix/src/$1_${2#*:}.dsc"
  (cd "$prefix/src" && apt-get source --download-only "$1=$2" >/dev/null 2>&1) || true
  if [ ! -f "$dsc" ]; then
    add_source_entries
    (cd "$prefix/src" && apt-get source --download-only "$1=$2") || true
  fi
  [ -f "$dsc" ] || { echo "cannot fetch the Debian source of $1 $2" >&2; exit 1; }
}
unpack_source() {
  fetch_source "$1" "$2"
  rm -rf "$prefix/src/$1"
  (cd "$prefix/src" && dpkg-source --no-check -x "$1_${2#*:}.dsc" "$1" >/dev/null)
}

build_sdl2() {
  unpack_source libsdl2 "$sdl_version"
  # Only what the game uses: video, events, audio and joysticks; the renderer's Direct3D and
  # software paths.
  cmake -S "$prefix/src/libsdl2" -B "$prefix/src/libsdl2-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$here/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DSDL_SHARED=ON -DSDL_STATIC=OFF -DSDL_TEST=OFF \
    -DSDL_HIDAPI=OFF -DSDL_SENSOR=OFF -DSDL_POWER=OFF -DSDL_HAPTIC=OFF -DSDL_LOCALE=OFF \
    -DSDL_MISC=OFF -DSDL_VULKAN=OFF -DSDL_OPENGL=OFF -DSDL_OPENGLES=OFF -DSDL_RENDER_D3D=ON \
    -DSDL2_DISABLE_SDL2MAIN=ON -DSDL_CCACHE=OFF "${launcher[@]}" >/dev/null
  cmake --build "$prefix/src/libsdl2-build" -j "$jobs"
  cmake --install "$prefix/src/libsdl2-build" >/dev/null
  cp "$prefix/src/libsdl2/LICENSE.txt" "$prefix/licences/SDL2-LICENSE.txt"
}

# Only the decoder library is built and installed: the player, its audio outputs and the
# other libraries of the package stay out (the host's pkg-config would offer Linux sound
# libraries to them).
build_mpg123() {
  unpack_source mpg123 "$mpg123_version"
  local only_decoder=(lib_LTLIBRARIES=src/libmpg123/libmpg123.la nodist_include_HEADERS=src/libmpg123/mpg123.h
                      pkgconfig_DATA=libmpg123.pc)
  (cd "$prefix/src/mpg123" &&
    PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" ./configure --host="$triplet" --prefix="$prefix" \
      --enable-shared --disable-static --disable-dependency-tracking --with-cpu=x86-64 --with-audio=dummy \
      --enable-modules=no "${compiler[@]}" >/dev/null &&
    make -j "$jobs" "${only_decoder[@]}" src/libmpg123/libmpg123.la >/dev/null &&
    make "${only_decoder[@]}" install-libLTLIBRARIES install-nodist_includeHEADERS install-includeHEADERS \
      install-pkgconfigDATA >/dev/null)
  cp "$prefix/src/mpg123/COPYING" "$prefix/licences/mpg123-COPYING.txt"
}

# Each library is built once per version; the stamp records which one the cache holds.
build_once() {
  local stamp="$prefix/built-$1-$2"
  [ -f "$stamp" ] && return 0
  "build_$1"
  touch "$stamp"
}
build_once sdl2 "$sdl_version"
build_once mpg123 "$mpg123_version"
# The source packages of the libraries the cache now holds, which the sources zip carries.
printf '%s\n' "$prefix/src/libsdl2_${sdl_version#*:}.dsc" "$prefix/src/mpg123_${mpg123_version#*:}.dsc" \
  >"$prefix/sources.txt"
