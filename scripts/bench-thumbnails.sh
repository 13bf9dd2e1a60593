#!/usr/bin/env bash
# The thumbnail browser on a folder of 200 photos of 12 megapixels (4000 x 3000, JPEG quality
# 90): the time until its full sheet of 80 x 80 thumbnails is drawn, measured in the 64-bit
# program under Wine and Xvfb (bench/thumbs_win32.cpp, the best of RUNS openings, default 3),
# beside libvips' vipsthumbnail making 80 x 80 thumbnails of the same files in one run.
#   scripts/bench-thumbnails.sh [RUNS]
# The photos are made once and kept in build/bench-thumbnails/photos: a photo of Pillow's test
# images (or, without it, an ImageMagick fractal) resized to 4000 x 3000 with a little noise, so
# that it compresses as a camera's picture does (about 3.6 MB), in four variants (as is, mirrored,
# flipped, turned), each copied to 50 names. Wine's prefix is build/wine-bench64 unless
# TESSAMOR_WINEPREFIX names another.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-3}
out="$here/build/bench-thumbnails"
photos="$out/photos"
build="$out/win64"
export TESSAMOR_WINEPREFIX=${TESSAMOR_WINEPREFIX:-$here/build/wine-bench}

# The photos.
count=0
if [ -d "$photos" ]; then count=$(find "$photos" -name 'photo-*.jpg' | wc -l); fi
if [ "$count" -ne 200 ]; then
  echo "== making 200 photos of 4000 x 3000 in $photos"
  rm -rf "$photos"
  mkdir -p "$photos"
  source_photo="$here/build/src/pillow-images/xmp_test.jpg"
  base="$out/base.miff"
  if [ -f "$source_photo" ]; then
    convert "$source_photo" -strip -resize '4000x3000!' -attenuate 0.25 +noise Gaussian "$base" 2>/dev/null
  else
    convert -size 4000x3000 -seed 7 plasma:fractal -blur 0x2 -attenuate 0.25 +noise Gaussian "$base"
  fi
  variant=0
  for op in "" -flop -flip "-rotate 180"; do
    # shellcheck disable=SC2086  # op is one ImageMagick option, or none
    convert "$base" $op -quality 90 "$out/variant-$variant.jpg"
    for i in $(seq 0 49); do
      cp "$out/variant-$variant.jpg" "$(printf '%s/photo-%03d.jpg' "$photos" $((variant * 50 + i)))"
    done
    variant=$((variant + 1))
  done
  rm -f "$base" "$out"/variant-*.jpg
fi
echo "== $(find "$photos" -name 'photo-*.jpg' | wc -l) photos, $(du -sh "$photos" | cut -f1), $(identify -format '%w x %h' "$photos/photo-000.jpg")"

# The benchmark program, cross-built for 64-bit Windows.
prefix="$here/build/cross/x86_64"
if [ ! -f "$prefix/.built" ]; then "$here/scripts/cross-deps.sh" x86_64; fi
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-x86_64.cmake" \
    -DTESSAMOR_CROSS_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release -DTESSAMOR_TESTS=OFF -DTESSAMOR_BENCH=ON >/dev/null
fi
cmake --build "$build" -j 2 --target thumbs_bench >/dev/null

echo "== Tessamor's thumbnail browser (64-bit, under Wine), best of $runs"
(
  source "$here/scripts/wine-env.sh"
  wine_arch 64
  wine_lock
  wine_prefix
  xvfb_start
  trap xvfb_stop EXIT
  cd "$build"
  timeout 600 wine thumbs_bench.exe "$(winepath -w "$photos")" "$runs"
)

echo "== vipsthumbnail -s 80x80, the same 200 files in one run"
rm -rf "$out/vips"
mkdir -p "$out/vips"
TIMEFORMAT='vipsthumbnail: %R s elapsed (%U s user, %S s system)'
time vipsthumbnail -s 80x80 -o "$out/vips/%s.jpg" "$photos"/photo-*.jpg
