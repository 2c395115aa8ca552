#!/usr/bin/env bash
# Set up, build and start Tervalo.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTERVALO_TESTS=OFF -DTERVALO_BENCH=OFF >/dev/null
cmake --build build --target tervalo -j"$(nproc)"
exec build/app/tervalo "$@"
