#!/bin/sh
# Draws the fuzzers' seed pictures with ImageMagick into build/fuzz/seeds
# (once): small files of every kind each reader knows, so that fuzzing starts
# from every layout rather than from nothing.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
seeds="$root/build/fuzz/seeds"
[ -f "$seeds/.complete" ] && exit 0
list="$root/tests/fuzz/targets.txt"
im=/usr/bin/convert
rm -rf "$seeds"
for target in $(awk '/^[A-Za-z]/ { print $1 }' "$list"); do mkdir -p "$seeds/$target"; done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
$im -size 13x7 gradient:red-blue "$tmp/colour.ppm"
$im -size 9x6 gradient: "$tmp/grey.pgm"

# Bitmaps: every depth, RLE, the OS/2 and V5 headers, top-down.
b=$seeds/Bmp
$im "$tmp/colour.ppm" -type TrueColor BMP3:"$b/24.bmp"
$im "$tmp/colour.ppm" -colors 16 -type Palette -compress None BMP3:"$b/4.bmp"
$im "$tmp/colour.ppm" -colors 16 -type Palette -compress RLE BMP3:"$b/4rle.bmp"
$im "$tmp/colour.ppm" -colors 100 -type Palette -compress None BMP3:"$b/8.bmp"
$im "$tmp/colour.ppm" -colors 100 -type Palette -compress RLE BMP3:"$b/8rle.bmp"
$im "$tmp/grey.pgm" -type Bilevel BMP3:"$b/1.bmp"
$im "$tmp/colour.ppm" -type TrueColor BMP2:"$b/os2.bmp"
$im "$tmp/colour.ppm" -type TrueColorAlpha BMP:"$b/v5-32.bmp"
$im "$tmp/colour.ppm" -define bmp:subtype=RGB565 BMP:"$b/v5-16.bmp"
$im "$tmp/colour.ppm" -flip -type TrueColor BMP3:"$b/flipped.bmp"

# PCX: 24-bit planes, 256 colours, 16 colours, black and white.
p=$seeds/Pcx
$im "$tmp/colour.ppm" -type TrueColor PCX:"$p/24.pcx"
$im "$tmp/colour.ppm" -colors 200 -type Palette PCX:"$p/8.pcx"
$im "$tmp/colour.ppm" -colors 16 -type Palette PCX:"$p/4.pcx"
$im "$tmp/grey.pgm" -type Bilevel PCX:"$p/1.pcx"

# Targa: plain and run-length, true colour, grey and colour-mapped, both
# row orders.
t=$seeds/Targa
$im "$tmp/colour.ppm" -type TrueColor -compress None TGA:"$t/24.tga"
$im "$tmp/colour.ppm" -type TrueColor -compress RLE TGA:"$t/24rle.tga"
$im "$tmp/colour.ppm" -type TrueColorAlpha -compress RLE TGA:"$t/32rle.tga"
$im "$tmp/colour.ppm" -depth 5 -type TrueColor -compress None TGA:"$t/16.tga"
$im "$tmp/grey.pgm" -type Grayscale -compress RLE TGA:"$t/grey.tga"
$im "$tmp/colour.ppm" -colors 50 -type Palette -compress None TGA:"$t/mapped.tga"
$im "$tmp/colour.ppm" -type TrueColor -orient TopLeft -compress RLE TGA:"$t/topdown.tga"

# JPEG: baseline, progressive, grey, 4:4:4, restart markers, CMYK, and
# arithmetic coding (cjpeg from the same libjpeg-turbo sources).
j=$seeds/Jpeg
$im "$tmp/colour.ppm" -quality 80 JPEG:"$j/baseline.jpg"
$im "$tmp/colour.ppm" -interlace JPEG JPEG:"$j/progressive.jpg"
$im "$tmp/grey.pgm" JPEG:"$j/grey.jpg"
$im "$tmp/colour.ppm" -sampling-factor 1x1 JPEG:"$j/444.jpg"
$im "$tmp/colour.ppm" -define jpeg:restart-interval=1 JPEG:"$j/restart.jpg"
$im "$tmp/colour.ppm" -colorspace CMYK JPEG:"$j/cmyk.jpg"
cjpeg -arithmetic -outfile "$j/arithmetic.jpg" "$tmp/colour.ppm"

# The display-image routine: every file above after the byte that picks a
# name its reader takes.
display=$(awk '/^[A-Za-z]/ && $2 == "-" { print $1 }' "$list")
awk '/^[A-Za-z]/ && $3 != "-" { print $1, $3 }' "$list" | while read -r folder byte; do
    for f in "$seeds/$folder"/*; do
        { printf "\\$(printf '%03o' "$byte")"; cat "$f"; } >"$seeds/$display/$folder-$(basename "$f")"
    done
done
touch "$seeds/.complete"
