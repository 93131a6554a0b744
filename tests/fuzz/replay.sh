#!/bin/sh
# Runs each fuzz target of the host build (build/host) once on every
# regression file and seed picture of its reader, under the address and
# undefined-behaviour sanitizers: a crash, a leak, a sanitizer report or an
# input taking longer than 10 seconds fails the test.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
host="$root/build/host"
export JPEGMEM=200 # as scripts/fuzz.sh runs them
for target in $(awk '/^[A-Za-z]/ { print $1 }' "$root/tests/fuzz/targets.txt"); do
    inputs=$(find "$root/tests/fuzz/regressions/$target" "$root/build/fuzz/seeds/$target" -type f ! -name '.*' | sort)
    [ -n "$inputs" ] || { echo "replay: no inputs for $target" >&2; exit 1; }
    # shellcheck disable=SC2086 # one argument per file; the names hold no spaces
    "$host/Fuzz$target" -timeout=10 -rss_limit_mb=2048 $inputs >"$host/replay-$target.log" 2>&1 || {
        tail -40 "$host/replay-$target.log" >&2
        echo "replay: $target failed" >&2
        exit 1
    }
    echo "replay: $target: $(echo "$inputs" | wc -l) inputs passed"
done
