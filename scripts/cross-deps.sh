#!/usr/bin/env bash
# Cross-builds libjpeg-turbo (jpeg62 API) and libpng 1.6 for Windows from Debian's source
# packages, one prefix per architecture: build/cross/i686 and build/cross/x86_64 (cached: a second
# run does nothing).   scripts/cross-deps.sh [i686|x86_64]...   (default: both)
# Also unpacks the sources, whose test images (PngSuite, libjpeg-turbo's testimages) the tests
# use, and the test images of Pillow's source package.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
src="$here/build/src"
log() { printf '[cross-deps] %s\n' "$*"; }

mkdir -p "$src"
cd "$src"
# The archive can list a source version whose files are gone from its pool: try every listed
# version, newest first, until one downloads.
fetch_source() {
  local pkg=$1 v
  ls "${pkg}"_*.dsc >/dev/null 2>&1 && return 0
  for v in $(apt-cache showsrc "$pkg" | awk '/^Version:/{print $2}' | sort -rV); do
    if apt-get source --download-only "$pkg=$v" >/dev/null 2>&1; then return 0; fi
    rm -f "${pkg}"_*.dsc
  done
  echo "cannot download the source package $pkg" >&2
  return 1
}
for pkg in libjpeg-turbo libpng1.6; do
  if ! ls -d "$pkg"-*/ >/dev/null 2>&1; then
    log "fetching the Debian source package $pkg"
    fetch_source "$pkg"
    dpkg-source --no-check -x "$(ls "${pkg}"_*.dsc | head -n1)" >/dev/null
  fi
done
# Pillow's source package carries a large public corpus of test images (BMP, GIF, PNG, JPEG with
# EXIF orientations, CMYK ...); only that folder is unpacked, into build/src/pillow-images.
if [ ! -d "$src/pillow-images" ]; then
  log "fetching the Debian source package pillow (its test images)"
  fetch_source pillow
  rm -rf "$src/pillow-unpack"
  mkdir -p "$src/pillow-unpack"
  tar -xJf "$(ls pillow_*.orig.tar.* | head -n1)" -C "$src/pillow-unpack" --wildcards '*/Tests/images/*'
  mv "$src"/pillow-unpack/*/Tests/images "$src/pillow-images"
  rm -rf "$src/pillow-unpack"
fi
jpeg_src=$(ls -d "$src"/libjpeg-turbo-*/ | head -n1)
png_src=$(ls -d "$src"/libpng1.6-*/ | head -n1)
ln -sfn "$jpeg_src" "$src/libjpeg-turbo"
ln -sfn "$png_src" "$src/libpng"

jobs=$(nproc)
build_arch() {
  local arch=$1 tc sysroot prefix
  case $arch in
    i686) tc="$here/cmake/mingw-i686.cmake" ;;
    x86_64) tc="$here/cmake/mingw-x86_64.cmake" ;;
    *) echo "unknown architecture: $arch (i686 or x86_64)" >&2; return 1 ;;
  esac
  sysroot=/usr/$arch-w64-mingw32
  prefix="$here/build/cross/$arch"
  if [ -f "$prefix/.built" ]; then log "$arch: cached in $prefix"; return 0; fi
  rm -rf "$prefix"
  log "building libjpeg-turbo for $arch-w64-mingw32"
  cmake -S "$jpeg_src" -B "$prefix/build-jpeg" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$tc" -Wno-dev \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DENABLE_SHARED=OFF -DWITH_TURBOJPEG=OFF -DWITH_JPEG8=OFF >/dev/null
  cmake --build "$prefix/build-jpeg" -j "$jobs" >/dev/null
  cmake --install "$prefix/build-jpeg" >/dev/null
  log "building libpng for $arch-w64-mingw32"
  cmake -S "$png_src" -B "$prefix/build-png" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$tc" -Wno-dev \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DPNG_SHARED=OFF -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DZLIB_LIBRARY="$sysroot/lib/libz.a" -DZLIB_INCLUDE_DIR="$sysroot/include" >/dev/null
  cmake --build "$prefix/build-png" -j "$jobs" >/dev/null
  cmake --install "$prefix/build-png" >/dev/null
  touch "$prefix/.built"
  log "$arch: installed into $prefix"
}
archs=("$@")
[ ${#archs[@]} -gt 0 ] || archs=(i686 x86_64)
for arch in "${archs[@]}"; do build_arch "$arch"; done
