#!/usr/bin/env bash
# Sets up and runs every test: the native core tests, the same under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
jobs=$(nproc)

echo "== native core tests"
"$here/scripts/build-native.sh"
ctest --test-dir "$here/build/native" --output-on-failure -j "$jobs"

echo "== core tests under AddressSanitizer and UndefinedBehaviorSanitizer"
TESSAMOR_SANITIZE=1 "$here/scripts/build-native.sh"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$here/build/asan" --output-on-failure -j "$jobs"
# Further stages (the Windows program under Wine, the fuzzing corpora) run when present.
for stage in test-win32.sh fuzz-replay.sh; do
  if [ -x "$here/scripts/$stage" ]; then
    echo "== $stage"
    "$here/scripts/$stage"
  fi
done
echo "all tests passed"
