#!/bin/sh
# Runs a Windows test program under Wine: wine-run.sh PREFIX PROGRAM [ARGS...]. The prefix is created
# on first use and reused; Wine's own messages are silenced so that only the test speaks.
set -e
. "$(dirname "$0")/wine-env.sh"
wine_prefix "$1"
shift
exec wine "$@"
