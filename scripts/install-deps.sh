#!/bin/sh
# Installs what a job of Runeflow needs on a Debian machine, skipping what is already there, and says
# so in one line on standard error; the package manager's own output is shown only when it fails.
#   main     the compiler, CMake and make: the engine, the runeflow command and the shipped data
#   package  main, and what the Debian package is made with (dpkg-shlibdeps, file) and pkg-config
#   test     main and package, and everything the test command runs: GoogleTest, Python, Google
#            Benchmark with the comparison's peers (its quick run is a test: iconv, recode, perl's
#            HTML::Entities, and the HTML-to-text programs html2text and w3m), clang with libFuzzer,
#            the mingw-w64 cross compiler and IDL compiler, Wine with its 32-bit part, Xvfb, and what
#            makes and reads the release package's documents (Debian's Python with xlwt, xlrd and
#            Markdown; lnkinfo)
#   bench    main, and what bench/compare.py and the micro-benchmarks measure against and with
# Usage: install-deps.sh [main|package|test|bench]   (default: test)
set -eu
scope=${1:-test}
case "$scope" in
  main|package|test|bench) ;;
  *) echo "usage: install-deps.sh [main|package|test|bench]" >&2; exit 2 ;;
esac
packages=""
need() { packages="$packages $*"; }
has() { command -v "$1" >/dev/null 2>&1; }

has cmake || need cmake
has g++ || need g++
has make || need make
if [ "$scope" = package ] || [ "$scope" = test ]; then
  has dpkg-shlibdeps || need dpkg-dev
  has file || need file
  has pkg-config || need pkgconf
fi
if [ "$scope" = test ] || [ "$scope" = bench ]; then
  has python3 || need python3
  [ -f /usr/include/benchmark/benchmark.h ] || need libbenchmark-dev
  has recode || need recode
  perl -MHTML::Entities -e 1 2>/dev/null || need libhtml-parser-perl
  has html2text || need html2text
  has w3m || need w3m
fi
if [ "$scope" = test ]; then
  [ -f /usr/include/gtest/gtest.h ] || need libgtest-dev
  [ -f /usr/src/googletest/CMakeLists.txt ] || need googletest
  has clang++ || need clang
  ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 || need libclang-rt-14-dev
  has i686-w64-mingw32-g++-posix || need g++-mingw-w64-i686
  has i686-w64-mingw32-widl || need mingw-w64-tools
  [ -f /usr/include/wine/wine/windows/oaidl.idl ] || need libwine-dev
  has wine || need wine
  dpkg -s wine32:i386 >/dev/null 2>&1 || need wine32:i386
  has Xvfb || need xvfb
  # The package's generators and test run on Debian's own Python, where these modules are installed.
  /usr/bin/python3 -c 'import xlwt' 2>/dev/null || need python3-xlwt
  /usr/bin/python3 -c 'import xlrd' 2>/dev/null || need python3-xlrd
  /usr/bin/python3 -c 'import markdown' 2>/dev/null || need python3-markdown
  has lnkinfo || need liblnk-utils
fi
[ -n "$packages" ] || exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if ! has sudo; then
    echo "install-deps.sh: missing packages:$packages (install them as root)" >&2
    exit 1
  fi
  sudo=sudo
fi
echo "install-deps.sh: installing$packages" >&2
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# Runs a command with both its outputs into the log: a caller's standard output is its result only.
quietly() {
  "$@" >>"$log" 2>&1
}
# shellcheck disable=SC2086
if ! {
  case "$packages" in *:i386*) quietly $sudo dpkg --add-architecture i386 ;; esac &&
  quietly $sudo apt-get update -q &&
  quietly $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q $packages
}; then
  cat "$log" >&2
  echo "install-deps.sh: installing$packages failed" >&2
  exit 1
fi
