#!/usr/bin/env bash
# Sets up, builds what is missing and runs Tessamor.exe under Wine with FILE (or the project's
# own sample picture): the 32-bit program (build/win32) where this host runs 32-bit programs,
# else the 64-bit one (build/win64); TESSAMOR_FORCE_WIN64=1 takes the 64-bit one anyway. With
# DISPLAY set the program opens on that display and the script waits for it to end; without one
# it runs on a private Xvfb, writes a screenshot after start-up to build/run-screenshot.png and
# stops the program again. Wine's state lives in build/wine (32-bit) or build/wine64 (64-bit).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/scripts/wine-env.sh"
"$here/scripts/setup.sh"
if win32_runs; then
  wine_arch 32
  echo "running the 32-bit program (build/win32/Tessamor.exe)"
else
  wine_arch 64
  echo "running the 64-bit program (build/win64/Tessamor.exe): $WIN32_WHY"
fi
"$here/scripts/build-win32.sh" "$WINE_BITS" >/dev/null

folder="$here/build/win$WINE_BITS-run"
mkdir -p "$folder"
input=${1:-}
if [ -z "$input" ]; then
  [ -x "$here/build/native/tessamor-cli" ] || "$here/scripts/build-native.sh" >/dev/null
  input="$folder/sample.bmp"
  "$here/build/native/tessamor-cli" --sample "$input"
fi
[ -f "$input" ] || { echo "no such file: $input" >&2; exit 1; }
input=$(realpath "$input")

headless=0
if [ -z "${DISPLAY:-}" ]; then
  headless=1
  wine_lock
  xvfb_start
  trap xvfb_stop EXIT
fi
wine_prefix
winfile=$(winepath -w "$input")
exe=$(winepath -w "$here/build/win$WINE_BITS/Tessamor.exe")
cd "$folder"
if [ $headless = 0 ]; then
  echo "starting Tessamor.exe with $input"
  exec wine "$exe" "$winfile"
fi
wine "$exe" "$winfile" >/dev/null 2>&1 &
sleep "${TESSAMOR_SHOT_DELAY:-5}"
shot="$here/build/run-screenshot.png"
import -window root "$shot"
echo "Tessamor.exe ran with $input on a private display (no DISPLAY set)."
echo "screenshot after start-up: $shot"
