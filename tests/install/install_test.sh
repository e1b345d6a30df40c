#!/bin/sh
# The engine as its users get it, from a build tree: installed into a temporary prefix, where every
# installed header compiles on its own and declares nothing that the library does not export, and the
# README's example builds against the prefix through the CMake package (and natively through
# pkg-config) and runs. Natively the Debian package is made too: it must hold exactly what the install
# put into the prefix and name its dependencies, and its command, unpacked, runs the main job's pipeline.
# Usage: install_test.sh BUILD-DIR CXX-COMPILER [TOOLCHAIN-FILE RUNNER...]
# (a cross build: the toolchain file, and the command that runs a program built with it)
set -u
build=$1
cxx=$2
shift 2
toolchain=${1:-}
[ $# -gt 0 ] && shift
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
. "$here/../support/check.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

# step NAME COMMAND...: runs a step quietly; its output is shown only when it fails.
step() {
  name=$1
  shift
  if ! "$@" >"$work/log" 2>&1; then
    printf 'FAIL %s\n' "$name"
    cat "$work/log"
    failures=$((failures + 1))
    return 1
  fi
}

step "install into a temporary prefix" cmake --install "$build" --prefix "$prefix" || finish

# Headers: each one alone (twice, for its include guard) with nothing but the installed include folder,
# so that a header which needs one that was not installed fails here.
headers=$(cd "$prefix/include/runeflow" && find . -name '*.h' | sed 's|^\./||' | sort)
check "headers are installed" "yes" "$([ -n "$headers" ] && echo yes)"
for header in $headers; do
  printf '#include "%s"\n#include "%s"\n' "$header" "$header" >"$work/header.cpp"
  step "$header compiles on its own" "$cxx" -std=c++17 -Wall -Wextra -Werror -pedantic -fsyntax-only \
    -I"$prefix/include/runeflow" "$work/header.cpp"
  # A header that declares a class or a function at file scope without RUNEFLOW_API belongs to the
  # library's inside. (Member declarations are indented; records are plain data.)
  check "$header declares only what the library exports" "" \
    "$(grep -nE '^(class [A-Za-z_]+ *[:{]|[A-Za-z_][A-Za-z0-9_:<>, ]*[ *&]+[A-Za-z_][A-Za-z0-9_:]* *\()' \
        "$prefix/include/runeflow/$header" | grep -v RUNEFLOW_API)"
done

# The README's example as a client, run where the two sets it names lie beside its input.
mkdir "$work/run"
cp "$prefix/share/runeflow/latin1.chs" "$prefix/share/runeflow/ascii.chs" "$work/run"
printf 'Caf\351 cr\350me' >"$work/run/input.txt"
expected='Caf&eacute; cr&egrave;me'
converted() { (cd "$work/run" && "$@" input.txt latin1 ascii 2>&1); }

if [ -n "$toolchain" ]; then
  cross="-DCMAKE_TOOLCHAIN_FILE=$toolchain -DCMAKE_EXE_LINKER_FLAGS=-static"
  cp "$prefix"/bin/*.dll "$work/run"
else
  cross=""
fi
# shellcheck disable=SC2086
if step "the example configures against the CMake package" \
     cmake -S "$source_dir/examples" -B "$work/cmake-client" -DCMAKE_PREFIX_PATH="$prefix" \
       -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS="-Wall -Wextra -Werror" $cross &&
   step "the example builds against the CMake package" cmake --build "$work/cmake-client"; then
  check "the example built with the CMake package runs" "$expected" \
    "$(converted "$@" "$work/cmake-client/convert_file${toolchain:+.exe}")"
fi
[ -n "$toolchain" ] && finish

export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
check "pkg-config knows the version" "3.0" "$(pkg-config --modversion runeflow)"
# shellcheck disable=SC2046
if step "the example builds with pkg-config's flags" "$cxx" -Wall -Wextra -Werror -o "$work/pc-client" \
     "$source_dir/examples/convert_file.cpp" $(pkg-config --cflags --libs runeflow) \
     -Wl,-rpath,"$(pkg-config --variable=libdir runeflow)"; then
  check "the example built with pkg-config runs" "$expected" "$(converted "$work/pc-client")"
fi

# The Debian package of the same build.
if step "cpack makes the Debian package" cpack --config "$build/CPackConfig.cmake" -B "$work/package"; then
  deb=$(ls "$work"/package/*.deb)
  check "package name and version" "runeflow 3.0-1" "$(dpkg-deb -f "$deb" Package) $(dpkg-deb -f "$deb" Version)"
  check "the package depends on the C and C++ libraries" "libc6 libstdc++6" \
    "$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/^ *//; s/ .*//' | grep -E '^(libc6|libstdc\+\+6)$' |
       sort | tr '\n' ' ' | sed 's/ $//')"
  dpkg-deb -x "$deb" "$work/root"
  check "the package holds what the install put into the prefix" \
    "$(cd "$prefix" && find . ! -type d | sort)" "$(cd "$work/root/usr" && find . ! -type d | sort)"
  check "the packaged command runs the main job's pipeline" "$(cat "$source_dir/data/tests/sample.txt")" \
    "$("$work/root/usr/bin/runeflow" -t title:cp1252 -t html2text -c cp1252 -t translit -c cp1252:ascii \
        "$work/root/usr/share/runeflow/sample.html" 2>&1)"
fi
finish
