#!/bin/sh
# Builds the saver for both targets: build/win32 (the shipped 32-bit saver)
# and build/win64 (the 64-bit saver with the test programs), then the setup
# program build/Vistel-Setup.exe.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/fetch-libjpeg.sh"
"$root/scripts/build-runtime.sh"

# A build tree whose toolchain (or run-time code) changed is built anew.
configure() { # build-dir toolchain extra-args...
    dir=$1 toolchain=$2
    shift 2
    sum=$(cat "$root/cmake/$toolchain" "$root/build/runtime-i486/.vistel-complete" | cksum)
    [ "$(cat "$root/$dir/.vistel-toolchain" 2>/dev/null)" = "$sum" ] || rm -rf "${root:?}/$dir"
    if [ ! -f "$root/$dir/CMakeCache.txt" ]; then
        cmake -S "$root" -B "$root/$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" "$@" >/dev/null
        echo "$sum" >"$root/$dir/.vistel-toolchain"
    fi
}
configure build/win32 mingw-i686.cmake
configure build/win64 mingw-x86_64.cmake -DVISTEL_TESTS=ON
cmake --build "$root/build/win32" -j 2
cmake --build "$root/build/win64" -j 2

# The shipped setup program runs on every Windows from 95 on and carries both
# savers; the same script built as a 64-bit program runs under the tests' Wine.
setup() { # target output
    makensis -V2 -WX -DTARGET="$1" -DSAVER32="$root/build/win32/Vistel.scr" \
        -DSAVER64="$root/build/win64/Vistel.scr" -DOUTFILE="$2" "$root/installer/Vistel.nsi"
}
setup x86-ansi "$root/build/Vistel-Setup.exe"
setup amd64-unicode "$root/build/win64/tests/Vistel-Setup.exe"
