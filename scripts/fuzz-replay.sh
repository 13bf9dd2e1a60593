#!/usr/bin/env bash
# Replays every fuzzing seed and every saved crash input through the harnesses built as plain
# programs (g++, AddressSanitizer and UndefinedBehaviorSanitizer) in build/fuzz-replay; fails
# on any crash or sanitizer report.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out="$here/build/fuzz-replay"
if [ ! -f "$out/build.ninja" ]; then
  cmake -S "$here/tests/fuzz" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSAMOR_LIBFUZZER=OFF >/dev/null
fi
cmake --build "$out" -j "$(nproc)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ran=0
for program in "$out"/fuzz_*; do
  [ -x "$program" ] || continue
  name=${program##*/fuzz_}
  inputs=()
  for dir in "$here/tests/fuzz/seeds/$name" "$here/tests/fuzz/regressions/$name"; do
    [ -d "$dir" ] && inputs+=("$dir")
  done
  [ ${#inputs[@]} -gt 0 ] || continue
  "$program" "${inputs[@]}"
  ran=$((ran + 1))
done
echo "fuzz replay: $ran harnesses, no crash"
