#!/bin/bash
# Fuzzes the picture readers: builds the image library for this Linux host
# with clang under the address and undefined-behaviour sanitizers
# (build/host), draws seed pictures with ImageMagick (build/fuzz/seeds) and
# runs each libFuzzer target for the given time, keeping what it learns in
# build/fuzz/corpus. Any crash, hang, leak or sanitizer report leaves its
# input in build/fuzz/findings and fails the run.
#
#   scripts/fuzz.sh [SECONDS-PER-TARGET [TARGET...]]
#   FUZZ_RUNS=10000000 scripts/fuzz.sh 0 [TARGET...]   (a number of runs instead)
#
# Targets: those of tests/fuzz/targets.txt (all by default; 60 seconds each).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
list="$root/tests/fuzz/targets.txt"
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || mapfile -t targets < <(awk '/^[A-Za-z]/ { print $1 }' "$list")

"$root/scripts/build-host.sh"
host="$root/build/host"
fuzz="$root/build/fuzz"
"$root/scripts/make-fuzz-seeds.sh"

mkdir -p "$fuzz/findings"
# The JPEG decoder's memory ceiling in thousands of bytes: below the host
# shim's largest block, so that pictures beyond it use the spill file.
export JPEGMEM=${JPEGMEM:-200}
failed=0
for target in "${targets[@]}"; do
    mkdir -p "$fuzz/corpus/$target"
    dict="$fuzz/$target.dict"
    dicts=$(awk -v t="$target" '$1 == t { $1 = $2 = $3 = ""; print }' "$list")
    [ -n "$dicts" ] || { echo "fuzz: $target is no target of $list" >&2; exit 2; }
    for name in $dicts; do cat "$root/tests/fuzz/dict/$name.dict"; done >"$dict"
    log="$fuzz/$target.log"
    limit=(-max_total_time="$seconds")
    [ -n "${FUZZ_RUNS:-}" ] && limit=(-runs="$FUZZ_RUNS")
    echo "fuzz: $target for ${FUZZ_RUNS:-$seconds s} ${FUZZ_RUNS:+runs}"
    start=$(date +%s)
    if ! "$host/Fuzz$target" "${limit[@]}" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -dict="$dict" -artifact_prefix="$fuzz/findings/$target-" \
        "$fuzz/corpus/$target" "$fuzz/seeds/$target" >"$log" 2>&1; then
        echo "fuzz: $target FOUND A FAULT; see $log and $fuzz/findings" >&2
        grep -E "^(==[0-9]+==ERROR|SUMMARY)" "$log" | head -5 >&2 || true
        failed=1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -1)
    echo "fuzz: $target: ${runs:-?} runs in $(($(date +%s) - start)) s, ${coverage:-cov: ?}," \
        "corpus $(ls "$fuzz/corpus/$target" | wc -l) files"
done
exit $failed
