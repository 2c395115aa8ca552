#!/usr/bin/env bash
# Set up, build without sanitizers and make the Debian package
# build-deb/tervalo_<version>_<arch>.deb; install it with
#   sudo apt-get install ./build-deb/tervalo_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
launcher=$(command -v ccache || true)
cmake -S . -B build-deb -DCMAKE_BUILD_TYPE=Release -DTERVALO_TESTS=OFF -DTERVALO_BENCH=OFF \
  -DTERVALO_SANITIZE=OFF -DCMAKE_INSTALL_PREFIX=/usr \
  ${launcher:+-DCMAKE_CXX_COMPILER_LAUNCHER=$launcher} >/dev/null
cmake --build build-deb -j"$(nproc)"
(cd build-deb && cpack -G DEB)
