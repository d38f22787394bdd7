#!/usr/bin/env bash
# The Windows zip holds the programs, the DLLs they load, the data folder, the README and
# the licence of every third-party part.
# Usage: zip_contents.sh ZIP PROGRAM...
set -euo pipefail
zip=$1
shift
listing=$(unzip -Z1 "$zip")
missing=()
for entry in kotobune/kotobune.exe kotobune/qdatool.exe kotobune/SDL2.dll kotobune/libmpg123-0.dll \
  kotobune/README-windows.txt kotobune/data/data.qda kotobune/data/tamsu01.mp3 kotobune/data/shoot.wav \
  kotobune/data/settei.ini.sample kotobune/licences/SDL2-LICENSE.txt kotobune/licences/mpg123-COPYING.txt \
  kotobune/licences/gcc-runtime-copyright.txt kotobune/licences/mingw-w64-runtime-copyright.txt; do
  grep -qxF "$entry" <<<"$listing" || missing+=("$entry")
done
[ ${#missing[@]} -eq 0 ] || { echo "FAIL: the zip lacks ${missing[*]}" >&2; exit 1; }
# Every DLL a program imports, other than Windows' own, is in the zip.
for program in "$@"; do
  for dll in $(x86_64-w64-mingw32-objdump -p "$program" | awk '/DLL Name:/ {print $3}'); do
    case "${dll,,}" in
      kernel32.dll | user32.dll | gdi32.dll | winmm.dll | msvcrt.dll | advapi32.dll | shell32.dll | ole32.dll) ;;
      *) grep -qixF "kotobune/$dll" <<<"$listing" || { echo "FAIL: $program needs $dll, not in the zip" >&2; exit 1; } ;;
    esac
  done
done
if grep -q 'record1.dat\|tuika.ini' <<<"$listing"; then
  echo "FAIL: the zip carries a player's saved files" >&2
  exit 1
fi
echo "1 passed, 0 failed"
