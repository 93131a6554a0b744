#!/bin/sh
# Draws the sample pictures that the demo shows into build/samples (once).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/build/samples"
[ -f "$out/.complete" ] && exit 0
mkdir -p "$out"
im=/usr/bin/convert

# An evening sky over hills, larger than the screen: shown shrunk.
$im -size 1024x768 gradient:'#1b2a6b'-'#f08c3c' \
    -fill '#ffd86b' -draw 'circle 700,520 760,520' \
    -fill '#2b3d2b' -draw 'polygon 0,768 0,560 180,480 380,600 560,500 800,620 1024,540 1024,768' \
    -fill '#1c281c' -draw 'polygon 0,768 0,660 260,600 520,700 760,640 1024,700 1024,768' \
    -type TrueColor BMP3:"$out/evening.bmp"

# A fractal cloud, seeded so that every build draws the same one.
$im -seed 7 -size 640x480 plasma:'#203080'-'#e0e0ff' -blur 0x1 -type TrueColor BMP3:"$out/clouds.bmp"

# A portrait-shaped poster in 256 colours.
$im -size 360x540 xc:'#f4efe1' \
    -fill '#c0392b' -draw 'rectangle 30,30 330,250' \
    -fill '#2471a3' -draw 'circle 180,390 180,480' \
    -fill '#f1c40f' -draw 'polygon 60,510 180,280 300,510' \
    -colors 64 -type Palette BMP3:"$out/poster.bmp"

touch "$out/.complete"
