#!/bin/sh
# Refreshes tests/fuzz/regressions after scripts/fuzz.sh: every finding, and
# the fewest corpus inputs that reach every branch each fuzzer reached.
#   scripts/fuzz-regressions.sh [TARGET...]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
fuzz="$root/build/fuzz"
# shellcheck disable=SC2046 # one target name a word
[ $# -gt 0 ] || set -- $(awk '/^[A-Za-z]/ { print $1 }' "$root/tests/fuzz/targets.txt")
export JPEGMEM=${JPEGMEM:-200}
for target in "$@"; do
    kept="$root/tests/fuzz/regressions/$target"
    mkdir -p "$kept"
    for finding in "$fuzz/findings/$target"-*; do
        [ -f "$finding" ] && cp "$finding" "$kept/"
    done
    find "$kept" -maxdepth 1 -type f -name 'corpus-*' -delete
    # From a copy: a fuzzer still running replaces corpus files as it goes.
    work=$(mktemp -d)
    cp -r "$fuzz/corpus/$target" "$work/corpus"
    mkdir "$work/chosen"
    "$root/build/host/Fuzz$target" -merge=1 -use_counters=0 "$work/chosen" "$work/corpus" >"$fuzz/$target-merge.log" 2>&1
    for input in "$work/chosen"/*; do
        cp "$input" "$kept/corpus-$(basename "$input" | cut -c1-12)"
    done
    rm -rf "$work"
    echo "fuzz-regressions: $target: $(ls "$kept" | wc -l) files"
done
