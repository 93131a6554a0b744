#!/bin/bash
# Runs the README's test command (scripts/test.sh) N times in a row, the machine loaded by K busy processes
# if asked, and prints each run's result, failing tests and wall time, then how many runs failed and the
# slowest run. Arguments after -- go to the test command (for example -R test_ for the end-to-end tests).
# Each run's output is kept in build/repeat/run-I.log, the evidence its failures left in build/repeat/run-I/.
#   scripts/repeat-tests.sh N [K] [-- CTEST-ARGUMENTS...]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
usage="usage: scripts/repeat-tests.sh N [K] [-- CTEST-ARGUMENTS...]"
runs=${1:?$usage} load=0
shift
if [ $# -gt 0 ] && [ "$1" != -- ]; then load=$1; shift; fi
if [ $# -gt 0 ] && [ "$1" = -- ]; then shift; fi
case "$runs$load" in *[!0-9]*) echo "$usage" >&2; exit 2 ;; esac

busy=()
trap 'for pid in "${busy[@]}"; do kill "$pid" 2>/dev/null; done' EXIT
for _ in $(seq "$load"); do
    sh -c 'while :; do :; done' &
    busy+=($!)
done

out="$root/build/repeat"
rm -rf "$out"
mkdir -p "$out"
failed=0 slowest=0 slowest_run=0
for run in $(seq "$runs"); do
    start=$(date +%s)
    if "$root/scripts/test.sh" "$@" >"$out/run-$run.log" 2>&1; then
        result=passed
    else
        result=FAILED failed=$((failed + 1))
    fi
    seconds=$(($(date +%s) - start))
    # CTest lists the failed tests last, "  10 - name (Failed)"; without that list the log says what broke.
    names=$(sed -n '/^The following tests FAILED:/,$ s/^[[:space:]]*[0-9]* - \(.*\)$/\1/p' "$out/run-$run.log" |
        paste -sd ' ')
    [ "$result" = FAILED ] && [ -z "$names" ] && names="(no test list: see $out/run-$run.log)"
    [ -d "$root/build/win64/e2e-failures" ] && mv "$root/build/win64/e2e-failures" "$out/run-$run"
    printf 'run %d: %s in %d s%s\n' "$run" "$result" "$seconds" "${names:+: $names}"
    [ "$seconds" -gt "$slowest" ] && slowest=$seconds slowest_run=$run
done
echo "$failed of $runs runs failed ($load busy processes); slowest: run $slowest_run, $slowest s"
[ "$failed" = 0 ]
