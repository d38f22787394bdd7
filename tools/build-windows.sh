#!/usr/bin/env bash
# Cross-builds ことぶね for 64-bit Windows and packs build/windows/kotobune-windows-x64.zip, with
# the programs' debug information in kotobune-windows-x64-debug.zip and the source packages of
# the shipped libraries in kotobune-windows-x64-sources.zip beside it.
# The libraries come from Debian's source packages and are built once into build/windows/deps;
# the runtime data is made by a host build in build/windows/host, since its generator runs here.
# KOTOBUNE_WINDOWS_TESTS=ON also builds the Windows test programs (run under Wine by ctest);
# KOTOBUNE_HOST_BUILD names a host build folder to take the data from instead (tools/test.sh
# passes its own, which has just made it).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh --windows
out=build/windows
deps=$PWD/$out/deps

launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

tools/windows/build-deps.sh "$deps"

host=${KOTOBUNE_HOST_BUILD:-$out/host}
if [ -z "${KOTOBUNE_HOST_BUILD:-}" ]; then
  cmake -S . -B "$host" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF "${launcher[@]}" >/dev/null
fi
cmake --build "$host" --target game_data desktop_icon qdatool
host=$(realpath "$host")

cmake -S . -B "$out/cross" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE=tools/windows/mingw-w64-x86_64.cmake -DKOTOBUNE_WINDOWS_DEPS="$deps" \
  -DKOTOBUNE_HOST_BUILD="$host" -DBUILD_TESTING="${KOTOBUNE_WINDOWS_TESTS:-OFF}" \
  "${launcher[@]}" >/dev/null
cmake --build "$out/cross"

stage=$out/stage
game=$stage/kotobune
rm -rf "$stage"
mkdir -p "$game/licences" "$stage/debug/kotobune" "$stage/sources/kotobune-sources"
# Shipped stripped; a debugger finds the debug information through the link left in each program.
for program in kotobune qdatool; do
  debug="$stage/debug/kotobune/$program.debug"
  x86_64-w64-mingw32-objcopy --only-keep-debug "$out/cross/$program.exe" "$debug"
  x86_64-w64-mingw32-objcopy --strip-all --add-gnu-debuglink="$debug" "$out/cross/$program.exe" "$game/$program.exe"
done
cp "$deps/bin/SDL2.dll" "$deps/bin/libmpg123-0.dll" "$game/"
cp -r "$host/data" "$game/data"
rm -f "$game/data/record1.dat" "$game/data/tuika.ini"
cp tools/windows/README-windows.txt "$game/"

# The licence of every part in the zip: ours, the two libraries, and the compiler's runtime
# linked into the programs.
cp LICENSE "$game/licences/kotobune-LICENSE.txt"
cp "$deps"/licences/* "$game/licences/"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$game/licences/gcc-runtime-copyright.txt"
cp /usr/share/doc/mingw-w64-x86-64-dev/copyright "$game/licences/mingw-w64-runtime-copyright.txt"
# The idiom pack is the dictionary's (EDRDG, CC BY-SA 3.0), not ours.
cp /usr/share/doc/edict/copyright "$game/licences/edict-copyright.txt"

# The exact Debian source packages the libraries were built from, as the LGPL asks.
while read -r dsc; do
  cp "$dsc" "$stage/sources/kotobune-sources/"
  for file in $(awk '/^Files:/ { listing = 1; next } /^[^ ]/ { listing = 0 } listing { print $3 }' "$dsc"); do
    case $file in
      *.asc) [ ! -f "$deps/src/$file" ] || cp "$deps/src/$file" "$stage/sources/kotobune-sources/" ;;
      *) cp "$deps/src/$file" "$stage/sources/kotobune-sources/" ;;
    esac
  done
done <"$deps/sources.txt"

# File names carry the UTF-8 flag, so Explorer and 7-Zip unpack data/追加問題.txt under its name.
zip_folder() {
  local zip=$PWD/$out/$1
  rm -f "$zip"
  (cd "$2" && LC_ALL=C.UTF-8 cmake -E tar cf "$zip" --format=zip "$3")
  echo "$zip"
}
zip_folder kotobune-windows-x64.zip "$stage" kotobune
zip_folder kotobune-windows-x64-debug.zip "$stage/debug" kotobune
zip_folder kotobune-windows-x64-sources.zip "$stage/sources" kotobune-sources
