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
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DTERVALO_SANITIZE=ON -DTERVALO_BENCH=OFF >/dev/null
cmake --build build-test -j"$(nproc)"
ctest --test-dir build-test --output-on-failure -j"$(nproc)"
