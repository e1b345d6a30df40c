#!/bin/sh
# Checks the engine's public include boundary in the source tree: each public header (the library's
# header set, declared in engine/CMakeLists.txt) pulls in only other public headers, never one of the
# engine's internals (such as the substitution stage's run state or candidate index).
# Usage: check_public_headers.sh COMPILER SOURCE_DIR PUBLIC-HEADER...
set -u
compiler=$1
cd "$2" || exit 1
source_dir=$(pwd)
shift 2
public=$(for header in "$@"; do printf '%s\n' "${header#"$source_dir"/}"; done)
status=0
for header in $public; do
  included=$("$compiler" -std=c++17 -I. -MM -x c++ "$header" | tr ' \\' '\n\n' | grep '^engine/')
  for file in $included; do
    if ! printf '%s\n' "$public" | grep -qxF "$file"; then
      echo "$header includes the internal header $file"
      status=1
    fi
  done
done
[ $status -eq 0 ] && echo "public headers: $(printf '%s\n' "$public" | wc -l), none includes an internal one"
exit $status
