#!/bin/sh
# Decoding speed of 12-megapixel Targa and PCX files under 64-bit Wine, with
# stb_image's Targa decoder as the yardstick (docs/PERFORMANCE.md).
#
#   bench/tgapcx-bench.sh [REPEATS]
#
# The pictures are drawn by ImageMagick into build/bench/data the first time.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
repeats=${1:-9}
"$root/scripts/build.sh" >/dev/null
build="$root/build/win64"

# An evening sky (long runs) with a band of fractal cloud (no runs) and
# hills: 4000 x 3000, 24 bits.
data="$root/build/bench/data"
if [ ! -f "$data/.complete" ]; then
    mkdir -p "$data"
    /usr/bin/convert -size 4000x3000 gradient:'#1b2a6b'-'#f08c3c' \
        \( -size 4000x1000 -seed 5 plasma:'#203080'-'#e0e0ff' \) -geometry +0+1000 -composite \
        -fill '#ffd86b' -draw 'circle 2700,600 2900,600' \
        -fill '#2b3d2b' -draw 'polygon 0,3000 0,2200 700,1900 1500,2400 2200,2000 3100,2500 4000,2100 4000,3000' \
        -type TrueColor "$data/sky.ppm"
    # The usual Targa row order (bottom row first), and top row first.
    /usr/bin/convert "$data/sky.ppm" -orient BottomLeft -compress RLE "TGA:$data/sky-rle-bottom-up.tga"
    /usr/bin/convert "$data/sky.ppm" -orient TopLeft -compress RLE "TGA:$data/sky-rle-top-down.tga"
    /usr/bin/convert "$data/sky.ppm" -orient BottomLeft -compress None "TGA:$data/sky-plain.tga"
    /usr/bin/convert "$data/sky.ppm" -type TrueColor "PCX:$data/sky-24.pcx"
    touch "$data/.complete"
fi

. "$root/scripts/wine-env.sh"
ensure_prefix
start_session

cd "$data"
"$WINE" "$build/bench/tgapcx_bench.exe" "$repeats" sky-rle-bottom-up.tga sky-rle-top-down.tga sky-plain.tga \
    sky-24.pcx </dev/null
