#!/usr/bin/env bash
# Runs the C++ checks (built in build/checks) and then the Python tests
# against the installed module.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/checks
geos_prefix="$(bash scripts/geos.sh)"
if [ -n "$geos_prefix" ]; then export PKG_CONFIG_PATH="$geos_prefix/lib/pkgconfig${PKG_CONFIG_PATH:+:$PKG_CONFIG_PATH}"; fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTREL_CHECKS=ON \
  -DPython_EXECUTABLE="$(command -v python3)" >/dev/null
cmake --build "$build" --target check_binding check_model planar_check kept_check curve_check runtime_check lacking nullsym vaskelith
ctest --test-dir "$build" --output-on-failure
python3 -m pytest -q tests/python "$@"
