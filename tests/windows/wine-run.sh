#!/bin/sh
# Runs a Windows test program under Wine: wine-run.sh PREFIX PROGRAM [ARGS...]. The prefix is created
# on first use (about 10 s) and reused; Wine's own messages are silenced so that only the test speaks.
set -e
prefix=$1
shift
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  wine wineboot -i >/dev/null 2>&1
  wineserver -w
fi
exec wine "$@"
