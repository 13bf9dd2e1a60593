#!/usr/bin/env bash
# Runs one fuzzing harness for a chosen time:  scripts/fuzz.sh HARNESS SECONDS [libFuzzer options]
# HARNESS: bmp, gif, pnm, jpeg, png or rle. Builds the libFuzzer harnesses with clang into
# build/fuzz (libjpeg-turbo and libpng instrumented too, built once from the Debian sources that
# scripts/setup.sh unpacks, so that the fuzzer sees their branches). New inputs gather in
# build/fuzz/corpus/HARNESS, crashing ones in build/fuzz/artifacts/HARNESS; a crash input that
# has been fixed belongs in tests/fuzz/regressions/HARNESS.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
harness=${1:?usage: fuzz.sh HARNESS SECONDS [options]}
seconds=${2:?usage: fuzz.sh HARNESS SECONDS [options]}
shift 2
out="$here/build/fuzz"
libs="$out/libs"
flags="-fsanitize=fuzzer-no-link,address -fno-omit-frame-pointer -g -O1"

# Instrumented libraries (cached).
if [ ! -f "$libs/.built" ] && [ -d "$here/build/src/libjpeg-turbo" ] && [ -d "$here/build/src/libpng" ]; then
  echo "[fuzz] building instrumented libjpeg-turbo and libpng"
  CC=clang CFLAGS="$flags" cmake -S "$here/build/src/libjpeg-turbo/" -B "$out/libs-build/jpeg" -G Ninja \
    -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX="$libs" -DENABLE_SHARED=OFF -DWITH_TURBOJPEG=OFF \
    -DWITH_SIMD=OFF -DWITH_JPEG8=OFF >/dev/null
  cmake --build "$out/libs-build/jpeg" -j 2 --target jpeg-static >/dev/null
  mkdir -p "$libs/include" "$libs/lib"
  cp "$out/libs-build/jpeg/libjpeg.a" "$libs/lib/"
  cp "$out/libs-build/jpeg/jconfig.h" "$here"/build/src/libjpeg-turbo/{jpeglib.h,jmorecfg.h,jerror.h} "$libs/include/"
  CC=clang CFLAGS="$flags" cmake -S "$here/build/src/libpng/" -B "$out/libs-build/png" -G Ninja \
    -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX="$libs" -DPNG_SHARED=OFF -DPNG_TESTS=OFF \
    -DPNG_EXECUTABLES=OFF -DPNG_HARDWARE_OPTIMIZATIONS=OFF >/dev/null
  cmake --build "$out/libs-build/png" -j 2 >/dev/null
  cmake --install "$out/libs-build/png" >/dev/null
  rm -f "$libs"/lib/*.so* "$libs"/lib64/*.so* 2>/dev/null || true
  touch "$libs/.built"
fi
prefix=()
[ -f "$libs/.built" ] && prefix=(-DCMAKE_PREFIX_PATH="$libs")

if [ ! -f "$out/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$here/tests/fuzz" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTESSAMOR_LIBFUZZER=ON "${prefix[@]}" >/dev/null
fi
# One build at a time in the folder (several harnesses may be started together).
flock "$out/.build-lock" cmake --build "$out" -j 2 --target "fuzz_$harness"

corpus="$out/corpus/$harness"
artifacts="$out/artifacts/$harness"
mkdir -p "$corpus" "$artifacts"
dirs=("$corpus" "$here/tests/fuzz/seeds/$harness")
[ -d "$here/tests/fuzz/regressions/$harness" ] && dirs+=("$here/tests/fuzz/regressions/$harness")
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
exec "$out/fuzz_$harness" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2560 -max_len=65536 \
  -print_final_stats=1 -artifact_prefix="$artifacts/" "$@" "${dirs[@]}"
