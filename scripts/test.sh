#!/usr/bin/env bash
# Set up, build with the address and undefined-behaviour sanitizers, and run
# every test headless.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# A compiler cache shared by every checkout on this machine: paths are taken
# relative to the checkout, so a fresh clone reuses what another one built.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
# a folder configured earlier with another generator is made anew
if [ -f build-test/CMakeCache.txt ] && ! grep -q '^CMAKE_GENERATOR:INTERNAL=Ninja$' build-test/CMakeCache.txt; then
  rm -rf build-test
fi
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTERVALO_SANITIZE=ON -DTERVALO_BENCH=OFF \
  -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null
cmake --build build-test -j"$(nproc)"
ctest --test-dir build-test --output-on-failure -j"$(nproc)"
