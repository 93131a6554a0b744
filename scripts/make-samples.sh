#!/bin/sh
# Draws the sample pictures that the demo shows into build/samples (once).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/build/samples"
# The stamp names the set: a new set of pictures gets a new stamp.
stamp="$out/.complete-bmp-jpeg-tga-pcx"
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

# A Targa picture, run-length encoded and stored top row first: a night
# harbour with its lights.
$im -size 800x500 gradient:'#050a1e'-'#1d3557' \
    -fill '#0b132b' -draw 'rectangle 0,360 800,500' \
    -fill '#f4d35e' -draw 'circle 120,80 132,80' \
    -fill '#2a2a3a' -draw 'rectangle 480,220 560,360' -draw 'rectangle 580,180 640,360' \
    -fill '#ffbe0b' -draw 'rectangle 500,240 510,250' -draw 'rectangle 530,280 540,290' -draw 'rectangle 600,200 610,210' \
    -type TrueColor -orient TopLeft -compress RLE TGA:"$out/harbour.tga"

# A PCX picture of 256 colours: a fractal landscape.
$im -seed 11 -size 512x384 plasma:'#2d6a4f'-'#d8f3dc' -colors 256 -type Palette PCX:"$out/meadow.pcx"

touch "$stamp"
