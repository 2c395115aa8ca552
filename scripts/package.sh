#!/usr/bin/env bash
# Set up, build without sanitizers and make the Debian package
# build-deb/tervalo_<version>_<arch>.deb; install it with
#   sudo apt-get install ./build-deb/tervalo_*.deb
#
# The package names its maintainer, "Name <address>": the environment's
# TERVALO_MAINTAINER, else the name and mail address of git's configuration.
#   TERVALO_MAINTAINER="Ayşe Yılmaz <ayse@lab.example.edu>" scripts/package.sh
# lintian checks the package; an error of its fails the script, its warnings
# are printed.
set -euo pipefail
cd "$(dirname "$0")/.."
maintainer=${TERVALO_MAINTAINER:-}
if [ -z "$maintainer" ] && name=$(git config user.name) && mail=$(git config user.email); then
  maintainer="$name <$mail>"
fi
address='^[^<>]+ <[^<>@ ]+@[^<>@ ]+>$'
if ! [[ "$maintainer" =~ $address ]]; then
  echo "package: the maintainer must be \"Name <address>\" (set TERVALO_MAINTAINER): got \"$maintainer\"" >&2
  exit 2
fi
scripts/setup.sh
launcher=$(command -v ccache || true)
cmake -S . -B build-deb -DCMAKE_BUILD_TYPE=Release -DTERVALO_TESTS=OFF -DTERVALO_BENCH=OFF \
  -DTERVALO_SANITIZE=OFF -DCMAKE_INSTALL_PREFIX=/usr -DTERVALO_MAINTAINER="$maintainer" \
  ${launcher:+-DCMAKE_CXX_COMPILER_LAUNCHER=$launcher} >/dev/null
cmake --build build-deb -j"$(nproc)"
(cd build-deb && cpack -G DEB)
deb=$(ls -t build-deb/tervalo_*.deb | head -n 1)
lintian --fail-on error --tag-display-limit 0 "$deb"
echo "package: $deb"
