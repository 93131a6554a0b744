#!/bin/sh
# Makes the fuzzers' seed pictures into build/fuzz/seeds (again whenever the
# picture table or the target list changes): the rows of tests/pictures.tsv
# marked seed, so that fuzzing starts from every layout each reader knows
# rather than from nothing.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
seeds="$root/build/fuzz/seeds"
list="$root/tests/fuzz/targets.txt"
inputs=$(cat "$root/tests/pictures.tsv" "$list" "$root/tests/e2e/harness.py" | cksum)
[ "$(cat "$seeds/.complete" 2>/dev/null)" = "$inputs" ] && exit 0
rm -rf "$seeds"
for target in $(awk '/^[A-Za-z]/ { print $1 }' "$list"); do mkdir -p "$seeds/$target"; done
# The picture cases need no Wine: the paths they would use stand in.
VISTEL_BUILD=/nonexistent VISTEL_SOURCE="$root" WINEPREFIX=/nonexistent \
    python3 "$root/tests/e2e/harness.py" seeds "$seeds"

# The display-image routine: every file above after the byte that picks a
# name its reader takes.
display=$(awk '/^[A-Za-z]/ && $2 == "-" { print $1 }' "$list")
awk '/^[A-Za-z]/ && $3 != "-" { print $1, $3 }' "$list" | while read -r folder byte; do
    for f in "$seeds/$folder"/*; do
        { printf "\\$(printf '%03o' "$byte")"; cat "$f"; } >"$seeds/$display/$folder-$(basename "$f")"
    done
done
echo "$inputs" >"$seeds/.complete"
