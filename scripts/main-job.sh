#!/bin/sh
# The main job: installs what is missing (saying so on standard error), builds the engine and the
# runeflow command natively, and turns an HTML page (the shipped sample unless FILE is given) into plain
# ASCII text on standard output: the title is kept in variable T (printed on standard error after the
# run), tags go, entity references become characters, and characters outside ASCII become ASCII
# look-alikes. Standard output carries the result and nothing else. Usage: main-job.sh [FILE]
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh main
cmake --preset main >/dev/null
cmake --build --preset main -j "$(nproc)" >/dev/null
exec build/main/bin/runeflow --variables -t title:cp1252 -t html2text -c cp1252 -t translit -c cp1252:ascii \
  "${1:-data/sample.html}"
