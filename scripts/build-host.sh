#!/bin/sh
# Builds the image library for this Linux host: with clang under the
# sanitizers with its fuzz targets (build/host), the test-only build that
# checks every read and write of the picture readers; and plainly, with
# libjpeg-turbo's SIMD routines, the program that prints what the readers
# make of each picture, for this host (build/host64) and as 32-bit 486
# code run under qemu-i386-static (build/host32).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/fetch-libjpeg.sh"
build() { # tree, then its cache settings
    tree="$root/build/$1"
    shift
    [ -f "$tree/CMakeCache.txt" ] || cmake -S "$root/tests/fuzz" -B "$tree" "$@" >/dev/null
    cmake --build "$tree" -j 2
}
build host -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
build host64 -DVISTEL_SANITIZE=OFF -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++
build host32 -DVISTEL_SANITIZE=OFF "-DCMAKE_TOOLCHAIN_FILE=$root/cmake/linux-i386.cmake"
