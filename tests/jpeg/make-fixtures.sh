#!/bin/sh
# Writes the JPEG files of the JPEG unit tests into the folder named first,
# each by an encoder that is not ours (ImageMagick):
#   rgb.jpg          48 x 32: pure red, green and blue thirds, 16 pixels wide
#                    each (whole 8 x 8 blocks), full chroma, quality 100
#   gray.jpg         256 x 8 gray ramp: column x has gray level x
#   photo.jpg        640 x 480 seeded plasma, baseline
#   progressive.jpg  the same picture, progressive: its coefficient buffers
#                    (about 900 KB) exceed a small memory ceiling
set -eu
out=$1
mkdir -p "$out"
im=/usr/bin/convert
$im -size 16x32 xc:'#ff0000' xc:'#00ff00' xc:'#0000ff' +append \
    -quality 100 -sampling-factor 1x1 "$out/rgb.jpg"
$im -size 8x256 gradient:white-black -rotate 90 -colorspace gray -quality 100 "$out/gray.jpg"
$im -seed 11 -size 640x480 plasma:orange-navy "$out/plasma.png"
$im "$out/plasma.png" -quality 90 "$out/photo.jpg"
$im "$out/plasma.png" -quality 90 -interlace JPEG "$out/progressive.jpg"
rm -f "$out/plasma.png"
