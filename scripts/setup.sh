#!/usr/bin/env bash
# Installs the system libraries, builds the runtime and the module, and
# installs both into the current Python environment.
set -euo pipefail
cd "$(dirname "$0")/.."
SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
pkgs="libgeos-dev libproj-dev proj-data libgeographiclib-dev pkg-config ninja-build g++"
missing=""
for p in $pkgs; do dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"; done
if [ -n "$missing" ]; then
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq $missing >/dev/null
fi
python3 -m pip install -q "scikit-build-core>=0.8" cmake ninja pytest
# GEOS 3.13 or newer: the system's where it is recent enough, else one built once.
geos_prefix="$(bash scripts/geos.sh)"
if [ -n "$geos_prefix" ]; then export PKG_CONFIG_PATH="$geos_prefix/lib/pkgconfig${PKG_CONFIG_PATH:+:$PKG_CONFIG_PATH}"; fi
CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" \
  python3 -m pip install -q --no-build-isolation .
