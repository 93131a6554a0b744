#!/bin/sh
# The picture readers as 32-bit 486 code (build/host32, under qemu-i386-static even where the kernel
# runs i386 programs) must make of every picture case and fuzz regression file (build/fuzz/pictures)
# what the 64-bit readers make: the same pixels, the same refusals. Their size arithmetic runs at
# 32 bits here, where a size_t product can wrap. The JPEG files run again with libjpeg-turbo's MMX
# routines and in plain C.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
digest32="$root/build/host32/PictureDigest"
[ "$(od -An -tx1 -j4 -N1 "$digest32" | tr -d ' ')" = 01 ] || { echo "readers32: $digest32 is no 32-bit program"; exit 1; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cd "$root/build/fuzz/pictures"
# Past its first rows huge.jpg is all missing data, and its small-window case takes half a minute
# here (less in plain C than with the SIMD routines): it runs once, in plain C.
huge=./24/huge.jpg
find . -type f ! -path $huge -print0 | LC_ALL=C sort -z >"$out/rest"
find . -type f \( -iname '*.jp*g' -o -iname '*.jpe' -o -iname '*.jif' -o -iname '*.jfi*' \) ! -path $huge -print0 |
    LC_ALL=C sort -z >"$out/jpeg"
{ cat "$out/jpeg"; printf '%s\0' $huge; } >"$out/jpeg+huge"

# Hostile coefficients (beyond any that 8-bit samples give) come out differently from libjpeg-turbo's
# C, MMX and SSE2 routines (its C code wraps them, its SIMD code saturates them): on the fuzzers'
# JPEG files those runs must agree on what is held, not on its pixels.
outcome() { # list
    if [ "$1" = rest ]; then cat; else sed -E 's|^(\./fuzz/.*) [0-9a-f]{8}$|\1|'; fi
}
status=0 cases=0
# JSIMD_AS_CPUID_SAYS is no variable of libjpeg-turbo's: its routines are those CPUID picks.
for run in rest:JSIMD_AS_CPUID_SAYS jpeg:JSIMD_FORCEMMX jpeg+huge:JSIMD_FORCENONE; do
    list=${run%%:*} simd=${run#*:}
    xargs -0 "$root/build/host64/PictureDigest" <"$out/$list" | outcome "$list" >"$out/64"
    # Three lines a file, pictures and refusals among them: else the comparison shows nothing.
    [ "$(wc -l <"$out/64")" -eq $((3 * $(tr -cd '\0' <"$out/$list" | wc -c))) ] && grep -q ' refused$' "$out/64" &&
        grep -q '[0-9]-bit' "$out/64" || { echo "readers32: the 64-bit digests of $list are incomplete"; exit 1; }
    env "$simd=1" xargs -0 qemu-i386-static "$digest32" <"$out/$list" >"$out/32-raw" ||
        { echo "readers32: the 32-bit readers ($simd=1) crashed or failed"; status=1; }
    outcome "$list" <"$out/32-raw" >"$out/32"
    if ! diff "$out/64" "$out/32" >"$out/diff"; then
        echo "readers32: the 32-bit readers ($simd=1) differ from the 64-bit readers (< 64-bit, > 32-bit):"
        head -60 "$out/diff"
        status=1
    fi
    cases=$((cases + $(wc -l <"$out/64")))
done
[ $status = 1 ] || echo "readers32: $cases cases alike"
exit $status
