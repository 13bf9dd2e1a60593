#!/usr/bin/env bash
# Cross-builds Tessamor.exe, the Win32 tests and the end-to-end driver into build/win32
# (mingw-w64, i686, statically linked; libjpeg-turbo and libpng from build/cross).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir="$here/build/win32"
if [ ! -f "$here/build/cross/.built" ]; then "$here/scripts/cross-deps.sh"; fi
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake" \
    -DTESSAMOR_CROSS_PREFIX="$here/build/cross" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$dir" -j "$(nproc)"
