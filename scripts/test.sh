#!/bin/sh
# Every test: installs what is missing; builds the native, the sanitizer, the fuzzing and the 32-bit
# Windows targets; runs the native tests, the same tests under AddressSanitizer, LeakSanitizer and
# UndefinedBehaviorSanitizer, each fuzz target briefly over its corpus, and the Windows tests under Wine.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
jobs=$(nproc)
for preset in native sanitize fuzz windows; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
ctest --preset native -j "$jobs"
ctest --preset sanitize -j "$jobs"
ctest --preset fuzz -j "$jobs"
ctest --preset windows
