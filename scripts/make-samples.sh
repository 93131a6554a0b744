#!/bin/sh
# Draws the sample pictures that the demo shows into build/samples (once).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/build/samples"
# The stamp names the set: a new set of pictures gets a new stamp.
stamp="$out/.complete-with-jpeg"
[ -f "$stamp" ] && exit 0
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

# A harbour at dusk, as a progressive JPEG photo: a sky, a sea, a pier,
# boats and their reflections, softened as a camera would.
$im -size 1280x960 gradient:'#0f1840'-'#f3a15a' \
    -fill '#fff2c0' -draw 'circle 930,600 975,600' \
    -fill '#20304a' -draw 'rectangle 0,640 1280,960' \
    -fill '#5a6a88' -draw 'rectangle 0,650 1280,655' \
    -fill '#3a2a20' -draw 'rectangle 120,560 140,700 rectangle 120,560 560,585 rectangle 520,560 540,700' \
    -fill '#e8e0d0' -draw 'polygon 700,630 780,630 760,655 720,655' \
    -fill '#c83c2c' -draw 'polygon 735,628 735,520 790,600' \
    -fill '#e8e0d0' -draw 'polygon 300,640 420,640 395,668 320,668' \
    -fill '#f0c040' -draw 'polygon 355,636 355,470 430,610' \
    -fill '#fff2c0' -draw 'rectangle 925,660 935,900' \
    -blur 0x1.2 -quality 88 -interlace JPEG "$out/harbour.jpg"

touch "$stamp"
