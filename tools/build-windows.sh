#!/usr/bin/env bash
# Cross-builds ことぶね for 64-bit Windows and packs build/windows/kotobune-windows-x64.zip.
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
cmake --build "$host" --target game_data qdatool
host=$(realpath "$host")

cmake -S . -B "$out/cross" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=tools/windows/mingw-w64-x86_64.cmake -DKOTOBUNE_WINDOWS_DEPS="$deps" \
  -DKOTOBUNE_HOST_BUILD="$host" -DBUILD_TESTING="${KOTOBUNE_WINDOWS_TESTS:-OFF}" \
  "${launcher[@]}" >/dev/null
cmake --build "$out/cross"

stage=$out/stage/kotobune
rm -rf "$out/stage"
mkdir -p "$stage/licences"
cp "$out/cross/kotobune.exe" "$out/cross/qdatool.exe" "$deps/bin/SDL2.dll" "$deps/bin/libmpg123-0.dll" "$stage/"
cp -r "$host/data" "$stage/data"
rm -f "$stage/data/record1.dat" "$stage/data/tuika.ini"
cp tools/windows/README-windows.txt "$stage/"
cp "$deps"/licences/* "$stage/licences/"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$stage/licences/gcc-runtime-copyright.txt"
cp /usr/share/doc/mingw-w64-x86-64-dev/copyright "$stage/licences/mingw-w64-runtime-copyright.txt"
rm -f "$out/kotobune-windows-x64.zip"
(cd "$out/stage" && zip -qr -X "../kotobune-windows-x64.zip" kotobune)
echo "$out/kotobune-windows-x64.zip"
