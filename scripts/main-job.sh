#!/bin/sh
# The main job: installs what is missing, builds the engine natively and passes a text through an
# engine pipeline (head stream, stages, run, result) to standard output. Usage: main-job.sh [FILE]
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh native
cmake --preset native >/dev/null
cmake --build --preset native -j "$(nproc)" >/dev/null
build/native/bin/convert_file "${1:-README.md}"
