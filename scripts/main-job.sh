#!/bin/sh
# The main job: installs what is missing, builds the engine and the runeflow command natively, and turns
# an HTML page (the shipped sample unless FILE is given) into plain ASCII text on standard output: the
# title is kept in variable T (printed after the run), tags go, entity references become characters,
# and characters outside ASCII become ASCII look-alikes. Usage: main-job.sh [FILE]
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh native
cmake --preset native >/dev/null
cmake --build --preset native -j "$(nproc)" >/dev/null
exec build/native/bin/runeflow --variables -t title:cp1252 -t html2text -c cp1252 -t translit -c cp1252:ascii \
  "${1:-data/sample.html}"
