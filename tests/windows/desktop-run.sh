#!/bin/sh
# Runs a Windows test program that needs windows, a display and the object runtime, in the Wine
# harness's prefix with an X server of its own: desktop-run.sh BUILD_DIR PROGRAM [ARGS...]. Exits with
# the program's status.
set -u
. "$(cd "$(dirname "$0")" && pwd)/harness.sh"
build=$1
shift
harness_start "$build"
HARNESS_TIMEOUT=300 win "$@"
