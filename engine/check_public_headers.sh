#!/bin/sh
# Checks the engine's public include boundary: each header a client includes for the exported classes
# (listed below) pulls in only other headers of that list, never one of the engine's internals (such as
# the substitution stage's run state or candidate index). Usage: check_public_headers.sh COMPILER SOURCE_DIR
set -u
compiler=$1
cd "$2" || exit 1
public='engine/export.h
engine/stream/about.h
engine/stream/block_struct.h
engine/stream/object.h
engine/stream/runtime_class.h
engine/stream/stream.h
engine/stream/stream_obj.h
engine/charset/charset.h
engine/charset/chs_entry.h
engine/charset/conv_tbl.h
engine/charset/convert.h
engine/charset/utf8_convert.h
engine/subst/alias_struct.h
engine/subst/sub_struct.h
engine/subst/subst_tbl.h
engine/subst/substitute.h'
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
