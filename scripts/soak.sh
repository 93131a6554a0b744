#!/bin/bash
# The long soak: the real saver, one picture a second for SECONDS (1100 by
# default, over 1,000 ticks), over a folder of good, hostile, vanishing and
# replaced files, watched from inside for GDI objects, windows and memory.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
. "$root/scripts/wine-env.sh"
ensure_prefix
start_session
cd "$root/tests/e2e"
VISTEL_SOAK_SECONDS=${1:-1100} VISTEL_BUILD="$root/build/win64" VISTEL_SOURCE="$root" \
    /usr/bin/python3 -m unittest -v test_soak
