#!/bin/bash
# The long soak: the real saver, one picture a second for SECONDS (1100 by
# default, over 1,000 ticks), over a folder of good, hostile, vanishing and
# replaced files, watched from inside for GDI objects, windows and memory.
# The figures go to build/soak-report.txt; the exit code says whether they
# stayed flat.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-1100}
"$root/scripts/build.sh"
. "$root/scripts/wine-env.sh"
ensure_prefix
start_session
cd "$root/tests/e2e"
VISTEL_BUILD="$root/build/win64" VISTEL_SOURCE="$root" /usr/bin/python3 test_soak.py "$seconds" "$root/build/soak-report.txt"
