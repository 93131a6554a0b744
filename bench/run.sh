#!/bin/bash
# Runs the JPEG benchmark under Wine on a private X server: a
# 12-megapixel picture (4000 x 3000, a seeded plasma with fine grain), made
# once into build/bench as a baseline and a progressive JPEG of quality 90,
# loaded by SECJpeg and decoded bare, ROUNDS times each (default 11).
# Extra arguments go into the environment of the run, for example
# JPEGMEM=100m to see the progressive decode without its spill file.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${ROUNDS:-11}
"$root/scripts/build.sh"
. "$root/scripts/wine-env.sh"
ensure_prefix

out="$root/build/bench"
mkdir -p "$out"
if [ ! -f "$out/progressive.jpg" ]; then
    convert -seed 4 -size 4000x3000 plasma:darkgreen-skyblue -blur 0x1 \
        -attenuate 0.4 +noise Gaussian "$out/picture.png"
    convert "$out/picture.png" -quality 90 "$out/baseline.jpg"
    convert "$out/picture.png" -quality 90 -interlace JPEG "$out/progressive.jpg"
    rm -f "$out/picture.png"
fi

start_session
cd "$out"
env "$@" "$WINE" "$root/build/win64/bench/jpeg_bench.exe" "$rounds" baseline.jpg progressive.jpg
