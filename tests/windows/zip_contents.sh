#!/usr/bin/env bash
# The Windows zips as a player and a packager get them. The game's zip, read by a real zip
# reader, marks every name that is not ASCII as UTF-8 and holds the programs (stripped, with
# our version resource, our icon and the DPI-aware manifest; qdatool a console program), every
# DLL they import, the data, the README and the licence of every part. The debug zip holds
# the programs' debug information, the sources zip the Debian source packages of the libraries.
# Usage: zip_contents.sh FOLDER VERSION (the folder tools/build-windows.sh packed the zips into)
set -euo pipefail
folder=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Lists and unpacks a zip into a folder, refusing a non-ASCII name without the UTF-8 flag.
read_zip() {
  python3 - "$@" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as archive:
    for entry in archive.infolist():
        if not entry.filename.isascii() and not entry.flag_bits & 0x800:
            sys.exit(f"{entry.filename} lacks the UTF-8 flag")
        print(entry.filename)
    archive.extractall(sys.argv[2])
PY
}
listing=$(read_zip "$folder/kotobune-windows-x64.zip" "$work/zip") || fail "the game's zip: $listing"
missing=()
for entry in kotobune/kotobune.exe kotobune/qdatool.exe kotobune/SDL2.dll kotobune/libmpg123-0.dll \
  kotobune/README-windows.txt kotobune/data/data.qda kotobune/data/tamsu01.mp3 kotobune/data/shoot.wav \
  kotobune/data/settei.ini.sample kotobune/data/追加問題.txt kotobune/data/kotobune.bmp \
  kotobune/licences/kotobune-LICENSE.txt kotobune/licences/SDL2-LICENSE.txt kotobune/licences/mpg123-COPYING.txt \
  kotobune/licences/gcc-runtime-copyright.txt kotobune/licences/mingw-w64-runtime-copyright.txt \
  kotobune/licences/edict-copyright.txt kotobune/data/packs/edict-en.txt; do
  grep -qxF "$entry" <<<"$listing" || missing+=("$entry")
done
[ ${#missing[@]} -eq 0 ] || fail "the zip lacks ${missing[*]}"
grep -q 'record1.dat\|tuika.ini' <<<"$listing" && fail "the zip carries a player's saved files"

subsystem() { x86_64-w64-mingw32-objdump -p "$1" | awk '$1 == "Subsystem" { print $2 }'; }
[ "$(subsystem "$work/zip/kotobune/kotobune.exe")" = 00000002 ] || fail "kotobune.exe is not a window program"
[ "$(subsystem "$work/zip/kotobune/qdatool.exe")" = 00000003 ] || fail "qdatool.exe is not a console program"
for program in kotobune qdatool; do
  exe="$work/zip/kotobune/$program.exe"
  # Every DLL a program imports, other than Windows' own, is in the zip.
  for dll in $(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {print $3}'); do
    case "${dll,,}" in
      kernel32.dll | user32.dll | gdi32.dll | winmm.dll | msvcrt.dll | advapi32.dll | shell32.dll | ole32.dll) ;;
      *) grep -qixF "kotobune/$dll" <<<"$listing" || fail "$program.exe needs $dll, not in the zip" ;;
    esac
  done
  x86_64-w64-mingw32-objdump -h "$exe" | grep -q '\.debug_' && fail "$program.exe is not stripped"
  resources=$(x86_64-w64-mingw32-windres -i "$exe" -O rc)
  [ "$(grep -c 'VERSIONINFO$' <<<"$resources")" = 1 ] || fail "$program.exe has not one version resource"
  grep -qF 'VALUE "ProductName", L"\x3053\x3068\x3076\x306d"' <<<"$resources" || fail "$program.exe's product is not ことぶね"
  grep -q "VALUE \"ProductVersion\", L\?\"$version\"" <<<"$resources" || fail "$program.exe's version is not $version"
  grep -q 'VALUE "LegalCopyright", L\?".*\\x3053\\x3068\\x3076\\x306d developers' <<<"$resources" ||
    fail "$program.exe's copyright is not ours"
  grep -q 'RT_GROUP_ICON' <<<"$resources" || fail "$program.exe has no icon"
  grep -aq 'PerMonitorV2' "$exe" || fail "$program.exe's manifest does not ask for per-monitor DPI awareness"
done

listing=$(read_zip "$folder/kotobune-windows-x64-debug.zip" "$work/debug") || fail "the debug zip: $listing"
for program in kotobune qdatool; do
  x86_64-w64-mingw32-objdump -h "$work/debug/kotobune/$program.debug" | grep -q '\.debug_info' ||
    fail "the debug zip has no debug information for $program.exe"
done

listing=$(read_zip "$folder/kotobune-windows-x64-sources.zip" "$work/sources") || fail "the sources zip: $listing"
# Each source package whole, as its .dsc describes it (a mirror may lack the upstream signature).
for package in libsdl2 mpg123; do
  dsc=("$work"/sources/kotobune-sources/${package}_*.dsc)
  [ -f "${dsc[0]}" ] || fail "the sources zip lacks the $package source package"
  awk '/^Checksums-Sha256:/ { listing = 1; next } /^[^ ]/ { listing = 0 } listing && $3 !~ /\.asc$/ { print $1 "  " $3 }' \
    "${dsc[0]}" >"$work/$package.sha256"
  [ -s "$work/$package.sha256" ] && (cd "$work/sources/kotobune-sources" && sha256sum --quiet -c "$work/$package.sha256") ||
    fail "the $package source package in the sources zip is incomplete"
done
echo "1 passed, 0 failed"
