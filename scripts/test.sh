#!/usr/bin/env bash
# Sets up and runs every test: the native core tests, the same under AddressSanitizer and
# UndefinedBehaviorSanitizer, the Windows layers under Wine (scripts/test-win32.sh) and the
# fuzzing seeds and saved crash inputs (scripts/fuzz-replay.sh). Prints the time of each layer.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
times=()
layer() {  # name command...
  local name=$1 start=$SECONDS
  shift
  echo "== $name"
  "$@"
  times+=("$(printf '%-34s %4d s' "$name" $((SECONDS - start)))")
}
native() {
  "$here/scripts/build-native.sh"
  ctest --test-dir "$here/build/native" --output-on-failure -j "$jobs"
}
sanitized() {
  TESSAMOR_SANITIZE=1 "$here/scripts/build-native.sh"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$here/build/asan" --output-on-failure -j "$jobs"
}

layer "setup" "$here/scripts/setup.sh"
layer "native core tests" native
layer "core tests under ASan and UBSan" sanitized
layer "Windows builds, Win32 and e2e tests" "$here/scripts/test-win32.sh"
layer "fuzzing seeds and crash inputs" "$here/scripts/fuzz-replay.sh"
echo "== time per layer"
printf '%s\n' "${times[@]}"
echo "all tests passed"
