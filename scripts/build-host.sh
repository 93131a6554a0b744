#!/bin/sh
# Builds the image library and its fuzz targets for this Linux host with
# clang under the sanitizers (build/host): the test-only build that checks
# every read and write of the picture readers.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/fetch-libjpeg.sh"
if [ ! -f "$root/build/host/CMakeCache.txt" ]; then
    cmake -S "$root/tests/fuzz" -B "$root/build/host" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
fi
cmake --build "$root/build/host" -j 2
