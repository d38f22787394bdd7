#!/usr/bin/env bash
# The Debian package: built by cpack from the build folder, named for the machine's
# architecture, laid out as Debian lays out games, holding the programs, the data, the menu
# entry, the icons, the metadata, compressed manual pages, the licence and the changelog,
# depending on the libraries dpkg-shlibdeps found besides the font and the soundfont, and
# with no error or warning from lintian.
# Usage: package.sh BUILD_FOLDER BINDIR DATADIR (the programs' and the data's folders under the prefix)
set -euo pipefail
build=$(cd "$1" && pwd)
bindir=$2
datadir=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out") >"$work/cpack.log" 2>&1 ||
  fail "cpack failed: $(cat "$work/cpack.log")"
packages=("$work"/out/kotobune_*.deb)
[ ${#packages[@]} = 1 ] && [ -f "${packages[0]}" ] || fail "not one kotobune_VERSION_ARCH.deb: $(ls "$work/out")"
deb=${packages[0]}
[[ $deb == *_$(dpkg --print-architecture).deb ]] || fail "$deb is not named for $(dpkg --print-architecture)"

files=$(dpkg-deb -c "$deb" | awk '{print $6}')
for expected in "./usr/$bindir/kotobune" "./usr/$bindir/qdatool" "./usr/$datadir/data.qda" \
  "./usr/$datadir/settei.ini.sample" "./usr/$datadir/music/umibe.mid" ./usr/share/applications/jp.kotobune.kotobune.desktop \
  ./usr/share/icons/hicolor/scalable/apps/kotobune.svg ./usr/share/icons/hicolor/48x48/apps/kotobune.png \
  ./usr/share/icons/hicolor/256x256/apps/kotobune.png ./usr/share/metainfo/jp.kotobune.kotobune.metainfo.xml \
  ./usr/share/man/man6/kotobune.6.gz ./usr/share/man/man1/qdatool.1.gz ./usr/share/doc/kotobune/copyright \
  ./usr/share/doc/kotobune/changelog.gz; do
  grep -qxF "$expected" <<<"$files" || fail "the package lacks $expected"
done
grep -q 'record1.dat\|settei.ini$\|tuika.ini' <<<"$files" && fail "the package holds a player's file"

info=$(dpkg-deb --info "$deb")
depends=$(sed -n 's/^ Depends: //p' <<<"$info")
for library in libsdl2 libfreetype6 libfontconfig1 libmpg123-0 libfluidsynth3 libstdc++6 libc6 \
  fonts-ipafont-gothic timgm6mb-soundfont; do
  grep -q "\b$library\b" <<<"$depends" || fail "no dependency on $library: $depends"
done

# What a distribution asks of a package; hints (I:) may stay.
lintian --fail-on error,warning --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 ||
  fail "lintian: $(cat "$work/lintian.log")"
echo "1 passed, 0 failed"
