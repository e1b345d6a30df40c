#!/bin/sh
# Checks what the engine library exports (libruneflow.so, or Runeflow.dll's export table): the engine
# classes, their class records and AboutMsg are exported, and nothing of the internals (allocation, path
# resolution, helpers) is.
set -u
library=$1
case "$library" in
  *.dll) symbols=$(i686-w64-mingw32-objdump -p "$library" |
                     sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/s/^\t\[ *[0-9]*\] //p' | c++filt) ;;
  *) symbols=$(nm -D --defined-only -C "$library" | awk '{ $1 = ""; $2 = ""; sub(/^  /, ""); print }') ;;
esac
status=0
for wanted in 'AboutMsg()' 'CStreamObj::Write(void const*, unsigned int)' 'CStreamObj::classCStreamObj' \
              'CStream::ReadFile(char const*)' 'CStream::classCStream' 'CStream::CreateObject()' \
              'CStream::_GetBaseClass()' 'CRuntimeClass::Find(char const*)' 'CObject::classCObject' \
              'CConvert::classCConvert' 'CConvert::Process()' 'CCharSet::chsval(char const*) const' \
              'CCharSet::classCCharSet' 'CConvTbl::classCConvTbl' 'CConvTbl::CreateObject()' 'CSubstTbl::classCSubstTbl' \
              'CSubstTbl::Open(CStreamObj*, char const*, CCharSet*, CCharSet*)' 'CSubstitute::classCSubstitute' \
              'CSubstitute::Process()' 'CSubstitute::Open(char const*, char const*)' \
              'CUtf8Convert::classCUtf8Convert' 'CUtf8Convert::Process()' \
              'CUtf8Convert::Open(char const*, char const*)'; do
  if ! printf '%s\n' "$symbols" | grep -qxF "$wanted"; then
    echo "not exported: $wanted"
    status=1
  fi
done
# Every exported name must belong to an engine class or be AboutMsg (vtables, typeinfo included).
unexpected=$(printf '%s\n' "$symbols" |
  grep -vE '^(AboutMsg\(\)|((vtable|typeinfo|typeinfo name) for )?(CObject|CRuntimeClass|CStreamObj|CStream|CConvert|CUtf8Convert|CSubstitute|CCharSet|CConvTbl|CSubstTbl)(::|$))')
if [ -n "$unexpected" ]; then
  echo "exported but internal:"
  printf '%s\n' "$unexpected"
  status=1
fi
[ $status -eq 0 ] && echo "exported symbols: $(printf '%s\n' "$symbols" | wc -l), all part of the engine's interface"
exit $status
