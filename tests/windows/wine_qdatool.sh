#!/usr/bin/env bash
# qdatool.exe under Wine lists the shipped archive exactly as the Linux build's qdatool does.
# Usage: wine_qdatool.sh PREFIX DLL_FOLDER QDATOOL_EXE ARCHIVE HOST_QDATOOL
set -euo pipefail
prefix=$1 dlls=$2 qdatool=$3 archive=$4 host_qdatool=$5
here=$(dirname "$0")
expected=$("$host_qdatool" list "$archive")
listed=$("$here/wine_run.sh" "$prefix" "$dlls" "$qdatool" list "$archive" | tr -d '\r')
[ -n "$expected" ] || { echo "FAIL: the host qdatool listed nothing" >&2; exit 1; }
if [ "$listed" != "$expected" ]; then
  echo "FAIL: qdatool.exe listed" >&2
  diff <(echo "$expected") <(echo "$listed") >&2 || true
  exit 1
fi
echo "1 passed, 0 failed"
