#!/bin/bash
# Mutation testing: breaks the product on purpose with each mutant of
# scripts/mutants.tsv and records which the test suite catches (see
# scripts/mutants.py --help). Builds everything and starts the test session
# of scripts/test.sh once for the whole run.
#
#   scripts/mutants.sh                     # every mutant
#   scripts/mutants.sh --baseline          # the unmutated suite first, then every mutant
#   scripts/mutants.sh ID...               # some mutants
#   scripts/mutants.sh --check             # only: each mutant applies and compiles
#   scripts/mutants.sh --resume --results FILE   # go on with a run that was stopped
#
# Results are appended to build/mutants/results.tsv (or --results FILE) as
# they come; logs are in build/mutants/logs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

for arg in "$@"; do
    case $arg in
    --list | --check | -h | --help)
        # No session needed; --check needs the configured build only.
        [ "$arg" = --check ] && "$root/scripts/build.sh"
        exec python3 "$root/scripts/mutants.py" "$@"
        ;;
    esac
done

. "$root/scripts/wine-env.sh"
prepare_tests
export VISTEL_WINE="$WINE" VISTEL_WINESERVER="$WINESERVER"
python3 "$root/scripts/mutants.py" "$@"
