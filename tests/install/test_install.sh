#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks that every file a
# desktop install needs is there, and that the desktop entry and the AppStream
# metadata pass their validators when those are installed.
#   test_install.sh BUILD_DIR ICON_PNGS(ON|OFF)
set -euo pipefail
build=$1
pngs=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null

expected=(
  bin/tervalo
  bin/tervalo-sim
  bin/tervalo-class
  share/applications/tervalo.desktop
  share/metainfo/org.dervani.tervalo.metainfo.xml
  share/icons/hicolor/scalable/apps/tervalo.svg
  share/man/man1/tervalo.1.gz
  share/man/man1/tervalo-sim.1.gz
  share/man/man1/tervalo-class.1.gz
  share/doc/tervalo/README.md
  share/doc/tervalo/copyright
)
if [ "$pngs" = ON ]; then
  for size in 16 22 24 32 48 64 128 256; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/tervalo.png")
  done
fi

fail=0
for f in "${expected[@]}"; do
  if [ ! -s "$prefix/$f" ]; then
    echo "missing or empty: $f"
    fail=1
  fi
done
for f in bin/tervalo bin/tervalo-sim bin/tervalo-class; do
  [ -x "$prefix/$f" ] || { echo "not executable: $f"; fail=1; }
done

# The licence, machine-readable, as the metadata names it.
grep -qx 'License: GPL-3+' "$prefix/share/doc/tervalo/copyright" || { echo "copyright names no GPL-3+"; fail=1; }
grep -q '<project_license>GPL-3.0-or-later</project_license>' \
  "$prefix/share/metainfo/org.dervani.tervalo.metainfo.xml" || { echo "the metadata names no licence"; fail=1; }

# The pictures the user guide shows are installed beside it.
for picture in $(grep -o 'docs/[A-Za-z0-9_-]*\.png' "$prefix/share/doc/tervalo/README.md" | sort -u); do
  [ -s "$prefix/share/doc/tervalo/$picture" ] || { echo "the guide's picture is missing: $picture"; fail=1; }
done

# Each bitmap icon has the size its folder names.
if [ "$pngs" = ON ] && command -v file >/dev/null; then
  for size in 16 48 256; do
    f="$prefix/share/icons/hicolor/${size}x${size}/apps/tervalo.png"
    file "$f" | grep -q "PNG image data, $size x $size" || { echo "wrong size: $(file "$f")"; fail=1; }
  done
fi

# Manual pages render without warnings.
if command -v groff >/dev/null; then
  for page in tervalo tervalo-sim tervalo-class; do
    warnings=$(zcat "$prefix/share/man/man1/$page.1.gz" | groff -man -Tutf8 -ww -z 2>&1 || true)
    [ -z "$warnings" ] || { echo "$page.1: $warnings"; fail=1; }
  done
fi

# The desktop entry starts the installed program with the installed icon,
# handing it the file a file manager opens with it (an experiment file).
grep -qx 'Exec=tervalo %f' "$prefix/share/applications/tervalo.desktop" || { echo "Exec is not tervalo %f"; fail=1; }
grep -qx 'Icon=tervalo' "$prefix/share/applications/tervalo.desktop" || { echo "Icon is not tervalo"; fail=1; }

if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/tervalo.desktop" || fail=1
else
  echo "desktop-file-validate not installed: desktop entry not validated"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/org.dervani.tervalo.metainfo.xml" >/dev/null ||
    { appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/org.dervani.tervalo.metainfo.xml"; fail=1; }
else
  echo "appstreamcli not installed: metadata not validated"
fi

exit $fail
