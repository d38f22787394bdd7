#!/usr/bin/env bash
# The Debian package: built by cpack from the build folder, named kotobune_VERSION_amd64.deb,
# holding the programs, the data, the menu entry, the icons, the metadata and the manual page,
# and depending on the libraries dpkg-shlibdeps found besides the font and the soundfont.
# Usage: package.sh BUILD_FOLDER
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out") >"$work/cpack.log" 2>&1 ||
  fail "cpack failed: $(cat "$work/cpack.log")"
packages=("$work"/out/kotobune_*_amd64.deb)
[ ${#packages[@]} = 1 ] && [ -f "${packages[0]}" ] || fail "no kotobune_VERSION_amd64.deb: $(ls "$work/out")"
deb=${packages[0]}

files=$(dpkg-deb -c "$deb" | awk '{print $6}')
for expected in ./usr/bin/kotobune ./usr/bin/qdatool ./usr/share/kotobune/data.qda ./usr/share/kotobune/settei.ini.sample \
  ./usr/share/kotobune/music/umibe.mid ./usr/share/applications/jp.kotobune.kotobune.desktop \
  ./usr/share/icons/hicolor/scalable/apps/kotobune.svg ./usr/share/icons/hicolor/48x48/apps/kotobune.png \
  ./usr/share/icons/hicolor/256x256/apps/kotobune.png ./usr/share/metainfo/jp.kotobune.kotobune.metainfo.xml \
  ./usr/share/man/man6/kotobune.6; do
  grep -qxF "$expected" <<<"$files" || fail "the package lacks $expected"
done
grep -q 'record1.dat\|settei.ini$\|tuika.ini' <<<"$files" && fail "the package holds a player's file"

info=$(dpkg-deb --info "$deb")
depends=$(sed -n 's/^ Depends: //p' <<<"$info")
for library in libsdl2 libfreetype6 libfontconfig1 libmpg123-0 libfluidsynth3 libstdc++6 libc6 \
  fonts-ipafont-gothic timgm6mb-soundfont; do
  grep -q "\b$library\b" <<<"$depends" || fail "no dependency on $library: $depends"
done
echo "1 passed, 0 failed"
