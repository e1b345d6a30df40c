#!/bin/sh
# Installs what building and testing Runeflow needs on a Debian machine, skipping what is already there:
# the native toolchain, GoogleTest, Python (which checks the generated data), Google Benchmark (the
# micro-benchmarks), recode and Perl's HTML::Entities (the benchmarks' comparison), and with "all" (the
# default) also clang with libFuzzer (the fuzz targets), the mingw-w64 cross compiler, Wine with its
# 32-bit part, and Xvfb.
# Usage: install-deps.sh [native|all]
set -eu
scope=${1:-all}
packages=""
need() { packages="$packages $*"; }

command -v cmake >/dev/null || need cmake
command -v g++ >/dev/null || need g++
command -v make >/dev/null || need make
[ -f /usr/include/gtest/gtest.h ] || need libgtest-dev
[ -f /usr/src/googletest/CMakeLists.txt ] || need googletest
command -v python3 >/dev/null || need python3
[ -f /usr/include/benchmark/benchmark.h ] || need libbenchmark-dev
command -v recode >/dev/null || need recode
perl -MHTML::Entities -e 1 2>/dev/null || need libhtml-parser-perl
if [ "$scope" = all ]; then
  command -v clang++ >/dev/null || need clang
  ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 || need libclang-rt-14-dev
  command -v i686-w64-mingw32-g++-posix >/dev/null || need g++-mingw-w64-i686
  command -v wine >/dev/null || need wine
  dpkg -s wine32:i386 >/dev/null 2>&1 || need wine32:i386
  command -v Xvfb >/dev/null || need xvfb
fi
[ -n "$packages" ] || exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
case "$packages" in *:i386*) $sudo dpkg --add-architecture i386 ;; esac
echo "installing:$packages"
$sudo apt-get update -q
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q $packages
