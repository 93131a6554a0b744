#!/bin/sh
# Makes the fuzzers' seed pictures into build/fuzz/seeds (again whenever the
# picture table, the target list or the regression files change): the rows
# of tests/pictures.tsv marked seed, so that fuzzing starts from every layout
# each reader knows rather than from nothing. build/fuzz/pictures gets every
# row and every regression file under the name its reader takes, for the
# comparison of the 32-bit and 64-bit readers (tests/fuzz/readers32.sh).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
seeds="$root/build/fuzz/seeds"
list="$root/tests/fuzz/targets.txt"
pictures="$root/build/fuzz/pictures"
inputs=$(cat "$root/tests/pictures.tsv" "$list" "$root/tests/e2e/harness.py" "$root"/tests/fuzz/regressions/*/* | cksum)
[ "$(cat "$seeds/.complete" 2>/dev/null)" = "$inputs" ] && exit 0
rm -rf "$seeds" "$pictures"
for target in $(awk '/^[A-Za-z]/ { print $1 }' "$list"); do mkdir -p "$seeds/$target"; done
# The picture cases need no Wine: the paths they would use stand in.
VISTEL_BUILD=/nonexistent VISTEL_SOURCE="$root" WINEPREFIX=/nonexistent \
    python3 "$root/tests/e2e/harness.py" seeds "$seeds"
VISTEL_BUILD=/nonexistent VISTEL_SOURCE="$root" WINEPREFIX=/nonexistent \
    python3 "$root/tests/e2e/harness.py" pictures "$pictures"

# The display-image routine: every file above after the byte that picks a
# name its reader takes.
display=$(awk '/^[A-Za-z]/ && $2 == "-" { print $1 }' "$list")
awk '/^[A-Za-z]/ && $3 != "-" { print $1, $3 }' "$list" | while read -r folder byte; do
    for f in "$seeds/$folder"/*; do
        { printf "\\$(printf '%03o' "$byte")"; cat "$f"; } >"$seeds/$display/$folder-$(basename "$f")"
    done
done
echo "$inputs" >"$seeds/.complete"
