#!/bin/sh
# Builds the saver for both targets: build/win32 (the shipped 32-bit saver)
# and build/win64 (the 64-bit saver with the test programs).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/fetch-libjpeg.sh"

configure() { # build-dir toolchain extra-args...
    dir=$1 toolchain=$2
    shift 2
    if [ ! -f "$root/$dir/CMakeCache.txt" ]; then
        cmake -S "$root" -B "$root/$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" "$@" >/dev/null
    fi
}
configure build/win32 mingw-i686.cmake
configure build/win64 mingw-x86_64.cmake -DVISTEL_TESTS=ON
cmake --build "$root/build/win32" -j 2
cmake --build "$root/build/win64" -j 2
