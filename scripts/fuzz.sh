#!/bin/bash
# Runs each libFuzzer target of tests/fuzz/targets.txt (all by default) on the
# sanitized host build for the given time (60 s), from ImageMagick seeds,
# keeping its corpus in build/fuzz. A fault leaves its input in build/fuzz/findings.
#   scripts/fuzz.sh [SECONDS-PER-TARGET [TARGET...]]
#   FUZZ_RUNS=10000000 scripts/fuzz.sh 0 [TARGET...]   (a number of runs instead)
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
# Below the shim's largest block (in KB): larger JPEG pictures use the spill file.
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
