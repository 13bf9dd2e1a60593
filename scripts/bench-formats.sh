#!/usr/bin/env bash
# Reads and writes every format on a 4000 x 3000 picture with our readers and writers (the
# Google Benchmark program bench/format_bench) and, on the very same files, with ImageMagick's
# convert and, for JPEG, djpeg and cjpeg; prints the times and their ratios.
#   scripts/bench-formats.sh [REPEATS]
# Times are CPU times (user + system), so that other work on the machine disturbs them little;
# ImageMagick runs with one thread, like our code. Each outside tool runs REPEATS times (default
# 3) and the fastest run counts; its start-up (the same command on a 1 x 1 file) is taken off.
# ImageMagick's write time is its convert from the format to itself less its read of that file.
# Targets: JPEG within 1.2 x djpeg / cjpeg; every other format faster than ImageMagick.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
repeats=${1:-3}
out="$here/build/bench-formats"
files="$out/files"
convert=/usr/bin/convert
export MAGICK_THREAD_LIMIT=1 OMP_NUM_THREADS=1

if [ ! -f "$out/build.ninja" ]; then
  cmake -S "$here" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSAMOR_TESTS=OFF >/dev/null
fi
cmake --build "$out" -j 2 --target format_bench >/dev/null
mkdir -p "$files"

echo "== our readers and writers (bench/format_bench)"
csv=$(TESSAMOR_BENCH_DIR="$files" "$out/bench/format_bench" --benchmark_format=csv \
  --benchmark_min_time="${TESSAMOR_BENCH_MIN_TIME:-1}" 2>/dev/null)
# name,iterations,real_time,cpu_time,time_unit,...
ours() { printf '%s\n' "$csv" | awk -F, -v n="\"$1\"" '$1 == n { printf "%.1f", $4 }'; }

# Fastest CPU time in milliseconds of a command over the repeats.
cpu_ms() {
  local best="" t
  for _ in $(seq "$repeats"); do
    t=$( { TIMEFORMAT='%U %S'; time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ printf "%.1f", ($1 + $2) * 1000 }')
    if [ -z "$best" ] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$t; fi
  done
  echo "$best"
}
minus() { awk -v a="$1" -v b="$2" 'BEGIN { v = a - b; printf "%.1f", v < 0.1 ? 0.1 : v }'; }

# 1 x 1 files for the start-up times.
$convert -size 1x1 xc:gray "$files/tiny.ppm"
$convert -size 1x1 xc:gray "$files/tiny.jpg"

echo "== reference tools (best of $repeats, CPU time)"
printf '\n%-6s %-6s %10s %10s %-8s %7s %-8s %s\n' format op "ours ms" "ref ms" ref ratio target met
row() {  # format op ours ref refname target
  local ratio met
  ratio=$(awk -v a="$3" -v b="$4" 'BEGIN { printf "%.2f", a / b }')
  met=$(awk -v r="$ratio" -v t="$6" 'BEGIN { print (r <= t ? "yes" : "NO") }')
  printf '%-6s %-6s %10s %10s %-8s %7s %-8s %s\n' "$1" "$2" "$3" "$4" "$5" "$ratio" "<= $6" "$met"
}

jpeg_start=$(cpu_ms djpeg -outfile /dev/null "$files/tiny.jpg")
djpeg_ms=$(minus "$(cpu_ms djpeg -outfile /dev/null "$files/bench.jpg")" "$jpeg_start")
cjpeg_start=$(cpu_ms cjpeg -outfile /dev/null "$files/tiny.ppm")
cjpeg_ms=$(minus "$(cpu_ms cjpeg -outfile /dev/null "$files/bench.ppm")" "$cjpeg_start")
row jpg read "$(ours Read/jpg)" "$djpeg_ms" djpeg 1.2
row jpg write "$(ours Write/jpg)" "$cjpeg_ms" cjpeg 1.2

im_start=$(cpu_ms $convert "$files/tiny.ppm" null:)
for f in bmp jpg png gif ppm pgm pbm; do
  read_ms=$(minus "$(cpu_ms $convert "$files/bench.$f" null:)" "$im_start")
  both_ms=$(minus "$(cpu_ms $convert "$files/bench.$f" "$files/im.$f")" "$im_start")
  write_ms=$(minus "$both_ms" "$read_ms")
  target=1.0
  [ "$f" = jpg ] && target=1.2
  row "$f" read "$(ours Read/$f)" "$read_ms" convert "$target"
  row "$f" write "$(ours Write/$f)" "$write_ms" convert "$target"
done
rm -f "$files"/im.* "$files"/tiny.*
