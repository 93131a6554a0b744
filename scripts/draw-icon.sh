#!/bin/sh
# Draws the program icon res/Vistel.ico: a framed slide with hills, a lake
# and a sun, at 32 x 32 and 16 x 16. Run by hand when the icon changes; the
# result is committed.
set -eu
out=${1:-res/Vistel.ico}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
/usr/bin/convert -size 32x32 xc:none \
    -fill '#202020' -draw 'roundrectangle 1,3 30,28 3,3' \
    -fill '#f4f4f4' -draw 'rectangle 3,5 28,26' \
    -fill '#3a78c8' -draw 'rectangle 5,7 26,24' \
    -fill '#ffd23c' -draw 'circle 20,12 23,12' \
    -fill '#2f8f3a' -draw 'polygon 5,24 12,14 18,20 21,17 26,22 26,24' \
    -fill '#1f5fa8' -draw 'rectangle 5,22 26,24' \
    "$tmp/32.png"
/usr/bin/convert "$tmp/32.png" -resize 16x16 "$tmp/16.png"
/usr/bin/convert "$tmp/32.png" "$tmp/16.png" "$out"
