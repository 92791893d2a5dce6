#!/usr/bin/env bash
# Installs the system packages the build needs, builds the runtime and the
# module, and installs both into the active virtualenv.
#
# Extra arguments go to `pip install` (for instance
# -Ccmake.define.OSTREL_SANITIZE=ON).
set -euo pipefail
cd "$(dirname "$0")/.."

VENV_REQUIRED='A virtualenv is required: create one with `python3 -m venv .venv` and activate it with `. .venv/bin/activate` before running scripts/setup.sh.'

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
# What a minimal Debian or Ubuntu lacks: the compiler, pkg-config, the three
# libraries with their headers and PROJ's database, and the distribution
# Python's headers and venv module. CMake and Ninja come from pip.
pkgs="g++ pkg-config libgeos-dev libproj-dev proj-data libgeographiclib-dev python3-dev python3-venv"
# The headers of the interpreter at hand, where it is a distribution Python
# other than the default one.
py_dev="$(python3 -c 'import os, sys, sysconfig
inc = sysconfig.get_paths()["include"]
if not os.path.exists(os.path.join(inc, "Python.h")) and sys.base_prefix == "/usr":
    print("python%d.%d-dev" % sys.version_info[:2])' 2>/dev/null || true)"
missing=""
for p in $pkgs $py_dev; do dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"; done
if [ -n "$missing" ]; then
  echo "setup.sh: installing$missing" >&2
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq $missing >/dev/null
fi

# A distribution's Python refuses pip outside a virtualenv, and a user's
# site-packages is no place for a build's tools.
if ! python3 -c 'import sys; sys.exit(sys.prefix == sys.base_prefix)'; then
  echo "$VENV_REQUIRED" >&2
  exit 1
fi

python3 -m pip install -q --disable-pip-version-check "scikit-build-core>=0.8" cmake ninja
# What the tests compare against and check with (never needed by the module):
# the independent references (Shapely, pyproj, GeographicLib, mpmath), mypy
# for the type stubs, and Dask for the example that spreads work over
# processes.
python3 -m pip install -q --disable-pip-version-check pytest "shapely>=2" "pyproj>=3" geographiclib mpmath mypy \
  "dask[distributed]"
# GEOS 3.13 or newer: the system's where it is recent enough, else one built
# once and kept. An older GEOS gives known wrong answers, so the build stops
# without one unless OSTREL_ALLOW_OLD_GEOS=1 accepts the system's.
if geos_prefix="$(bash scripts/geos.sh)"; then
  if [ -n "$geos_prefix" ]; then export PKG_CONFIG_PATH="$geos_prefix/lib/pkgconfig${PKG_CONFIG_PATH:+:$PKG_CONFIG_PATH}"; fi
elif [ "${OSTREL_ALLOW_OLD_GEOS:-0}" = 1 ]; then
  echo "setup.sh: no newer GEOS could be built; building with the system's, as OSTREL_ALLOW_OLD_GEOS=1 asks" >&2
  set -- -Ccmake.define.OSTREL_ALLOW_OLD_GEOS=ON "$@"
else
  echo "setup.sh: no GEOS 3.13 or newer could be built (see geos.sh's message above); set OSTREL_ALLOW_OLD_GEOS=1 to build with the system's older one and its known wrong answers (README)" >&2
  exit 1
fi
CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" \
  python3 -m pip install -q --disable-pip-version-check --no-build-isolation "$@" .
