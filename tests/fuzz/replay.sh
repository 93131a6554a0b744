#!/bin/sh
# Runs each sanitized fuzz target once on its regression files and seeds:
# a crash, leak, sanitizer report or input taking over 10 s fails.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
export JPEGMEM=200 # as scripts/fuzz.sh runs them
for target in $(awk '/^[A-Za-z]/ { print $1 }' "$root/tests/fuzz/targets.txt"); do
    inputs=$(find "$root/tests/fuzz/regressions/$target" "$root/build/fuzz/seeds/$target" -type f ! -name '.*')
    [ -n "$inputs" ] || { echo "replay: no inputs for $target"; exit 1; }
    log="$root/build/host/replay-$target.log"
    # shellcheck disable=SC2086 # one argument per file; the names hold no spaces
    "$root/build/host/Fuzz$target" -timeout=10 -rss_limit_mb=2048 $inputs >"$log" 2>&1 || { tail -40 "$log"; exit 1; }
    echo "replay: $target: $(echo "$inputs" | wc -l) inputs passed"
done
