#!/usr/bin/env bash
# Every operation that has an equivalent in ImageMagick or libvips, on the same 4000 x 3000
# picture, one thread each: our time (bench/core_bench, CPU time per operation as the menu
# command runs it) beside the peers' (CPU time of the command less the same command without the
# operation, so that start-up, reading and writing are taken off; the cheap per-value operations
# run ten times in one ImageMagick process). Prints one table; the target is a ratio to the
# faster peer of at most 1.00.
#   scripts/bench-operations.sh [REPEATS]      (peers: best of REPEATS runs, default 3)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
repeats=${1:-3}
out="$here/build/bench-operations"
export MAGICK_THREAD_LIMIT=1 OMP_NUM_THREADS=1 VIPS_CONCURRENCY=1
command -v vips >/dev/null || { echo "libvips-tools is missing: scripts/setup.sh installs it" >&2; exit 1; }
"$here/scripts/build-native.sh" >/dev/null
bench="$here/build/native/bench/core_bench"
mkdir -p "$out"
cd "$out"

# The picture, in each tool's own fast format.
TESSAMOR_BENCH_PICTURE="$out/pic.ppm" "$bench"
convert pic.ppm pic.mpc
vips copy pic.ppm pic.v
printf '3 3 9 0\n1 1 1\n1 1 1\n1 1 1\n' >box3.mat
printf '5 5 25 0\n1 1 1 1 1\n1 1 1 1 1\n1 1 1 1 1\n1 1 1 1 1\n1 1 1 1 1\n' >box5.mat
printf '3 3 16 0\n1 2 1\n2 4 2\n1 2 1\n' >weighted.mat
printf '3 3 100 0\n7 12 7\n12 20 12\n7 12 7\n' >gauss.mat
printf '3 3 7 0\n-1 -1 -1\n-1 15 -1\n-1 -1 -1\n' >sharpen.mat
printf '3 3 1 0\n-4 -2 0\n-2 2 2\n0 2 4\n' >emboss.mat

# Fastest CPU time in milliseconds of a command over the repeats.
cpu_ms() {
  local best="" t
  for _ in $(seq "$repeats"); do
    t=$( { TIMEFORMAT='%U %S'; time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ printf "%.1f", ($1 + $2) * 1000 }')
    if [ -z "$best" ] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$t; fi
  done
  echo "$best"
}
minus() { awk -v a="$1" -v b="$2" -v n="${3:-1}" 'BEGIN { v = (a - b) / n; printf "%.1f", v < 0.1 ? 0.1 : v }'; }

echo "== our operations (bench/core_bench)"
csv=$("$bench" --benchmark_filter='^op/' --benchmark_format=csv --benchmark_min_time="${TESSAMOR_BENCH_MIN_TIME:-0.5}" 2>/dev/null)
ours() { printf '%s\n' "$csv" | awk -F, -v n="\"op/$1\"" '$1 == n { printf "%.1f", $4 }'; }

im_base=$(cpu_ms convert pic.mpc null:)
vips_base=$(cpu_ms vips copy pic.v out.v)
# ImageMagick: the options once (or ten times over, "10x" in front, for the cheap operations
# that are not idempotent: ImageMagick passes over a grey conversion of a grey image); the result
# goes nowhere (null:), as ours stays in memory. "" for none.
im() {
  [ -z "$1" ] && { echo "-"; return; }
  local times=1 opts=$1
  if [[ $opts == 10x* ]]; then times=10; opts=${opts#10x }; fi
  local args=()
  for _ in $(seq $times); do args+=($opts); done
  minus "$(cpu_ms convert pic.mpc "${args[@]}" null:)" "$im_base" "$times"
}
# libvips: an operation and its arguments after the two file names; "" for none.
vp() {
  [ -z "$1" ] && { echo "-"; return; }
  local op=${1%% *} rest=""
  [ "$op" != "$1" ] && rest=${1#* }
  # shellcheck disable=SC2086
  minus "$(cpu_ms vips "$op" pic.v out.v $rest)" "$vips_base"
}

printf '\n%-22s %10s %12s %12s %7s %s\n' operation "ours ms" "ImageMagick" "libvips" ratio met
row() {  # our benchmark name, ImageMagick options, libvips operation
  local ours_ms im_ms vips_ms best ratio met
  ours_ms=$(ours "$1")
  im_ms=$(im "$2")
  vips_ms=$(vp "$3")
  best=$(awk -v a="$im_ms" -v b="$vips_ms" 'BEGIN { if (a == "-") print b; else if (b == "-") print a; else print (a < b ? a : b) }')
  ratio=$(awk -v a="$ours_ms" -v b="$best" 'BEGIN { printf "%.2f", a / b }')
  met=$(awk -v r="$ratio" 'BEGIN { print (r <= 1.0 ? "yes" : "NO") }')
  printf '%-22s %10s %12s %12s %7s %s\n' "$1" "$ours_ms" "$im_ms" "$vips_ms" "$ratio" "$met"
}
conv="-define convolve:scale=! -morphology Convolve"
row negative "10x -negate" "invert"
row grey "-colorspace Gray" "colourspace b-w"
row sepia "-sepia-tone 80%" ""
row rgb-two-level "-threshold 50%" ""
row two-level "-colorspace Gray -threshold 50%" ""
row brighten-darks "10x -gamma 0.5" ""
row darken-lights "10x -gamma 2" ""
row contrast "10x -sigmoidal-contrast 3,50%" ""
row gamma=2.2 "10x -gamma 0.4545" "gamma --exponent 2.2"
row stretch "-contrast-stretch 1%x1%" ""
row equalize "-equalize" "hist_equal"
row box-3 "$conv Square:1" "conv box3.mat --precision integer"
row box-5 "$conv Square:2" "conv box5.mat --precision integer"
row weighted-medium "$conv 3x3:1,2,1,2,4,2,1,2,1" "conv weighted.mat --precision integer"
row gaussian "-define convolve:scale=0.01 -morphology Convolve 3x3:7,12,7,12,20,12,7,12,7" "conv gauss.mat --precision integer"
row sharpen-soft "-define convolve:scale=0.142857 -morphology Convolve 3x3:-1,-1,-1,-1,15,-1,-1,-1,-1" "conv sharpen.mat --precision integer"
row emboss-light "-morphology Convolve 3x3:-4,-2,0,-2,2,2,0,2,4" "conv emboss.mat --precision integer"
row sobel "" "sobel"
row median "-statistic Median 3x3" "rank 3 3 4"
row flip "10x -flip" "flip vertical"
row mirror "10x -flop" "flip horizontal"
row rotate=90 "10x -rotate 90" "rot d90"
row rotate=45 "-rotate 45" "rotate 45"
row resize=0.5:0.5 "-scale 50%" "shrink 2 2"
row resize=2:2 "-sample 200%" "zoom 2 2"
row reduce-256 "+dither -colors 256" ""
row reduce-16 "+dither -colors 16" ""
row dither-256 "-ordered-dither o8x8,8,8,4" ""
printf '\n%-22s %10s  (target: within 10 s on 12 megapixels)\n' zero-crossing "$(ours zero-crossing)"
rm -f out.v
