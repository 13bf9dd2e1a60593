#!/usr/bin/env bash
# The Windows layers of the tests: the Win32 tests (the real main window in the test process)
# and the end-to-end tests (the real Tessamor.exe driven from outside), under Wine on a private
# Xvfb. Both builds are compiled on every host (a warning in either fails); the 64-bit build is
# tested everywhere, the 32-bit one where the host runs 32-bit programs (TESSAMOR_FORCE_WIN64=1
# takes the 64-bit road only, as on a host that does not). Exits non-zero on any failure, and
# when no build could be tested. Screenshots of the end-to-end runs are written to
# build/win32-e2e/shot-*.png and build/win64-e2e/shot-*.png.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/scripts/wine-env.sh"
# The tests have prefixes of their own, so that they can run while the program is open.
export TESSAMOR_WINEPREFIX="$here/build/wine-test"

for bits in 32 64; do
  echo "== building the $bits-bit Windows program and its tests"
  "$here/scripts/build-win32.sh" "$bits" >/dev/null
  # XP's kernel32 (also in its 64-bit edition) has no GetTickCount64: an import of it would stop
  # the program from loading there.
  if x86_64-w64-mingw32-objdump -p "$here/build/win$bits/Tessamor.exe" | grep -qw GetTickCount64; then
    echo "build/win$bits/Tessamor.exe imports GetTickCount64, which Windows XP lacks" >&2
    exit 1
  fi
done
[ -x "$here/build/native/tessamor-cli" ] || "$here/scripts/build-native.sh" >/dev/null
cli="$here/build/native/tessamor-cli"

# Runs both layers on one build; its own Xvfb and prefix, released when it ends.
run_layers() (
  local bits=$1 build="$here/build/win$1" work="$here/build/win$1-e2e" status=0
  wine_arch "$bits"
  wine_lock
  wine_prefix
  xvfb_start
  trap xvfb_stop EXIT

  echo "== $bits-bit Win32 tests under Wine"
  (cd "$build" && wine win32_tests.exe) || status=1

  echo "== $bits-bit end-to-end tests under Wine"
  rm -rf "$work"
  mkdir -p "$work/dir with space"
  "$cli" --sample "$work/sample.bmp" 2>/dev/null
  "$cli" "$work/sample.bmp" --cmd 108 -o "$work/negative.bmp" 2>/dev/null
  "$cli" "$work/sample.bmp" -o "$work/sample.jpg" 2>/dev/null
  cp "$work/sample.bmp" "$work/dir with space/sample copy.bmp"
  (cd "$build" && wine e2e_driver.exe "$(winepath -w "$build/Tessamor.exe")" "$(winepath -w "$work")") || status=1
  local shot
  for shot in "$work"/shot-*.bmp; do
    [ -f "$shot" ] && convert "$shot" "${shot%.bmp}.png" && rm -f "$shot"
  done
  ls "$work"/shot-*.png 2>/dev/null | sed 's/^/screenshot: /' || true
  return $status
)

ran=()
status=0
if win32_runs; then
  summary="Windows builds tested under Wine: 32-bit and 64-bit"
  run_layers 32 && ran+=(32) || status=1
else
  summary="Windows builds tested under Wine: 64-bit only; the 32-bit build was compiled, not run: $WIN32_WHY"
fi
run_layers 64 && ran+=(64) || status=1
echo "$summary"
if [ ${#ran[@]} -eq 0 ] && [ $status = 0 ]; then
  echo "no Windows build could be tested" >&2
  status=1
fi
exit $status
