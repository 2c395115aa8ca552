#!/usr/bin/env bash
# Installs the Debian packages Tervalo needs to build, run and test, when
# they are missing. Safe to run again; needs root (or sudo) only to install.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  qt6-charts-dev libqt6opengl6-dev qt6-svg-dev libqt6sql6-sqlite libsqlite3-dev
  libqt6sql6-psql postgresql postgresql-common
  qt6-translations-l10n
  libgtest-dev libbenchmark-dev libcli11-dev
  fonts-dejavu-core
  xvfb xauth
  librsvg2-bin desktop-file-utils appstream dpkg-dev file lintian
  xdotool imagemagick
  qt6-httpserver-dev qt6-websockets-dev libqrencode-dev
  chromium chromium-driver python3-selenium openssl
  poppler-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
