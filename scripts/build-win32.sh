#!/usr/bin/env bash
# Cross-builds Tessamor.exe, the Win32 tests, the end-to-end driver and the paint benchmark with
# mingw-w64, statically linked, libjpeg-turbo and libpng from build/cross/ARCH:
#   scripts/build-win32.sh        the 32-bit program (PE32, i686) into build/win32
#   scripts/build-win32.sh 64     the 64-bit program (PE32+, x86-64) into build/win64
# A compiler warning fails the build.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
case "${1:-32}" in
  32) arch=i686; dir="$here/build/win32" ;;
  64) arch=x86_64; dir="$here/build/win64" ;;
  *) echo "usage: build-win32.sh [32|64]" >&2; exit 2 ;;
esac
prefix="$here/build/cross/$arch"
if [ ! -f "$prefix/.built" ]; then "$here/scripts/cross-deps.sh" "$arch"; fi
cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-$arch.cmake" \
  -DTESSAMOR_CROSS_PREFIX="$prefix" -DTESSAMOR_WERROR=ON -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$dir" -j "$(nproc)"
