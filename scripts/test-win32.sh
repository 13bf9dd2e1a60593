#!/usr/bin/env bash
# The Windows layers of the tests: the Win32 tests (the real main window in the test process)
# and the end-to-end tests (the real Tessamor.exe driven from outside), both under Wine on a
# private Xvfb. Builds what is missing; exits non-zero on any failure. Screenshots of the
# end-to-end run are written to build/win32-e2e/*.png.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/scripts/wine-env.sh"
# The tests have a prefix of their own, so that they can run while the program is open.
export TESSAMOR_WINEPREFIX="$here/build/wine-test"
wine_lock

"$here/scripts/build-win32.sh" >/dev/null
[ -x "$here/build/native/tessamor-cli" ] || "$here/scripts/build-native.sh" >/dev/null
cli="$here/build/native/tessamor-cli"

wine_prefix
xvfb_start
trap xvfb_stop EXIT

status=0
echo "== Win32 tests under Wine"
(cd "$here/build/win32" && wine win32_tests.exe) || status=1

echo "== end-to-end tests under Wine"
work="$here/build/win32-e2e"
rm -rf "$work"
mkdir -p "$work/dir with space"
"$cli" --sample "$work/sample.bmp" 2>/dev/null
"$cli" "$work/sample.bmp" --cmd 108 -o "$work/negative.bmp" 2>/dev/null
cp "$work/sample.bmp" "$work/dir with space/sample copy.bmp"
(cd "$here/build/win32" && wine e2e_driver.exe "$(winepath -w "$here/build/win32/Tessamor.exe")" \
  "$(winepath -w "$work")") || status=1
for shot in "$work"/shot-*.bmp; do
  [ -f "$shot" ] && convert "$shot" "${shot%.bmp}.png" && rm -f "$shot"
done
ls "$work"/shot-*.png 2>/dev/null | sed 's/^/screenshot: /' || true
exit $status
