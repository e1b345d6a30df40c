#!/bin/sh
# Every test: installs what is missing, builds the native and the 32-bit Windows targets, and runs the
# native tests and then the same tests of the Windows build under Wine.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh all
jobs=$(nproc)
for preset in native windows; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
ctest --preset native -j "$jobs"
ctest --preset windows
