#!/usr/bin/env bash
# Builds the portable core, tessamor-cli, the tests and the benchmarks natively into build/native
# (TESSAMOR_SANITIZE=1: with AddressSanitizer and UndefinedBehaviorSanitizer into build/asan).
# A compiler warning fails the build.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
if [ "${TESSAMOR_SANITIZE:-0}" = 1 ]; then
  dir="$here/build/asan"
  extra=(-DTESSAMOR_WERROR=ON -DTESSAMOR_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSAMOR_BENCH=OFF)
else
  dir="$here/build/native"
  extra=(-DTESSAMOR_WERROR=ON -DCMAKE_BUILD_TYPE=Release)
fi
cmake -S "$here" -B "$dir" -G Ninja "${extra[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc)"
