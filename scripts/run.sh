#!/usr/bin/env bash
# Sets up, builds and shows the image core at work: makes the project's sample picture (or takes
# FILE) and writes its negative and grey versions, printing their paths.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
"$here/scripts/build-native.sh" >/dev/null
cli="$here/build/native/tessamor-cli"
out="$here/build/run"
mkdir -p "$out"
input=${1:-}
if [ -z "$input" ]; then
  input="$out/sample.bmp"
  "$cli" --sample "$input"
fi
"$cli" --info "$input"
"$cli" "$input" --cmd 108 -o "$out/negative.bmp"
"$cli" "$input" --cmd 109 -o "$out/grey.bmp"
printf 'picture:  %s\nnegative: %s\ngrey:     %s\n' "$input" "$out/negative.bmp" "$out/grey.bmp"
