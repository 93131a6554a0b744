#!/bin/bash
# Builds both targets and runs the whole test suite under Wine on private
# X servers (24-bit and 8-bit screens). Arguments are passed to CTest.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/wine-env.sh"
prepare_tests

cd "$root/build/win64"
rm -rf e2e-failures # where the failures of this run leave their evidence
# Extra arguments go to CTest (for example -R image to run some tests only).
ctest --output-on-failure -j 2 --timeout 900 "$@"
