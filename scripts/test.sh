#!/bin/bash
# Builds both targets and runs the whole test suite under Wine on private
# X servers (24-bit and 8-bit screens). Arguments are passed to CTest.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
. "$root/scripts/wine-env.sh"
ensure_prefix

state=$(mktemp -d)
cleanup() {
    "$WINESERVER" -k 2>/dev/null || true
    for pid in "$state"/*.pid; do kill "$(cat "$pid")" 2>/dev/null || true; done
    rm -rf "$state"
}
trap cleanup EXIT

export DISPLAY=":$(start_xvfb 24 "$state/x24.pid")"
export VISTEL_DISPLAY8=":$(start_xvfb 8 "$state/x8.pid")"
"$WINESERVER" -p 2>/dev/null || true # it may be up already
# Warm the prefix so that the first timed test does not pay for its updates,
# and start the desktop process with a window: services that Wine starts
# for the first window must not inherit a test's output pipe.
"$WINE" "$root/build/win64/tests/probe.exe" activate 100 >/dev/null 2>&1 || true

cd "$root/build/win64"
# Extra arguments go to CTest (for example -R image to run some tests only).
ctest --output-on-failure -j 2 --timeout 900 "$@"
