#!/bin/bash
# The picture benchmark (docs/PERFORMANCE.md): every format the saver reads,
# loaded as the slide show loads it, next to the bare file read and to the
# readers users would pick instead, under 64-bit Wine on a private X server.
#
#   ROUNDS=N bench/run.sh [NAME=VALUE...]
#   ROUNDS=N bench/run.sh screen [NAME=VALUE...]
#
# ROUNDS (default 9) timed rounds per file; NAME=VALUE pairs go into the
# environment of the run, for example JPEGMEM=100m to see the progressive
# JPEG decodes without their spill file. The pictures are made once into
# build/bench/pictures: one 4000 x 3000 scene (an evening gradient with long
# runs, a band of fractal cloud with none, a sun and hills) stored as every
# format.
#
# "screen" makes the time-to-screen table instead: JPEG files of 2, 12, 24,
# 50, 108 and 200 megapixels, baseline and progressive (the same scene
# tiled; the progressive file is the baseline one recoded without loss),
# each brought to a 1920 x 1080 screen, and the 4000 x 3000 scene as a
# 16-bit (5-6-5) bitmap. They are made once into build/bench/pictures too (a
# few minutes: kept, with the other pictures).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${ROUNDS:-9}
"$root/scripts/build.sh" >&2
. "$root/scripts/wine-env.sh"
ensure_prefix

out="$root/build/bench/pictures"
if [ ! -f "$out/.complete" ]; then
    mkdir -p "$out"
    cd "$out"
    convert -size 4000x3000 gradient:'#1b2a6b'-'#f08c3c' \
        \( -size 4000x1000 -seed 5 plasma:'#203080'-'#e0e0ff' \) -geometry +0+1000 -composite \
        -fill '#ffd86b' -draw 'circle 2700,600 2900,600' \
        -fill '#2b3d2b' -draw 'polygon 0,3000 0,2200 700,1900 1500,2400 2200,2000 3100,2500 4000,2100 4000,3000' \
        -type TrueColor -depth 8 picture.ppm
    convert picture.ppm -type TrueColor BMP3:picture.bmp
    # Targa files bottom row first, as most are. This ImageMagick writes the
    # rows top first whatever the orientation says: -flip makes them right
    # (the benchmark checks every reader against picture.ppm).
    convert picture.ppm -flip -orient BottomLeft -compress RLE TGA:rle.tga
    convert picture.ppm -flip -orient BottomLeft -compress None TGA:plain.tga
    convert picture.ppm -type TrueColor PCX:pcx24.pcx
    convert picture.ppm -colors 256 -type Palette PCX:pcx8.pcx
    convert pcx8.pcx -type TrueColor pcx8.ppm
    convert picture.ppm -quality 90 -sampling-factor 2x2 baseline.jpg
    convert picture.ppm -quality 90 -sampling-factor 2x2 -interlace JPEG progressive.jpg
    touch .complete
fi

table=
if [ "${1:-}" = screen ]; then
    table=1920x1080
    export VISTEL_SCREEN_SIZE=$table # the window the ticks draw into covers the X screen
    shift
    cd "$out"
    for size in 2:1632x1224 12:4000x3000 24:6000x4000 50:8160x6120 108:12000x9000 200:16320x12240; do
        mp=${size%%:*} wh=${size#*:}
        [ -f "screen-$mp-progressive.jpg" ] && continue
        # picture.ppm's rows, each tiled across and the rows taken in turn
        # down, streamed to cjpeg without holding the picture.
        python3 -c '
import sys
w, h = map(int, sys.argv[1].split("x"))
data = open("picture.ppm", "rb").read()
head = data.split(b"\n", 3)
sw, sh = map(int, head[1].split())
pixels = head[3]
out = sys.stdout.buffer
out.write(b"P6\n%d %d\n255\n" % (w, h))
for y in range(h):
    row = pixels[(y % sh) * sw * 3:(y % sh + 1) * sw * 3]
    out.write((row * (w // sw + 1))[:w * 3])
' "$wh" | cjpeg -quality 90 -sample 2x2 >"screen-$mp-baseline.jpg"
        jpegtran -progressive -copy none "screen-$mp-baseline.jpg" >"screen-$mp-progressive.jpg.part"
        mv "screen-$mp-progressive.jpg.part" "screen-$mp-progressive.jpg"
    done
    [ -f screen-12-565.bmp ] || convert picture.ppm -define bmp:subtype=RGB565 BMP:screen-12-565.bmp
fi

start_session
cd "$out"
echo "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(nproc) cores;" \
    "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
env "$@" "$WINE" "$root/build/win64/bench/vistel_bench.exe" "$rounds" $table </dev/null
echo "Load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
