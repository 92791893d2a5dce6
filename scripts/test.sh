#!/usr/bin/env bash
# Runs the C++ checks (built in build/checks, or $OSTREL_CHECKS_DIR) and then
# the Python tests against the installed module; arguments go to pytest.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${OSTREL_CHECKS_DIR:-build/checks}"
if geos_prefix="$(bash scripts/geos.sh)" && [ -n "$geos_prefix" ]; then
  export PKG_CONFIG_PATH="$geos_prefix/lib/pkgconfig${PKG_CONFIG_PATH:+:$PKG_CONFIG_PATH}"
fi
old_geos=()
if [ "${OSTREL_ALLOW_OLD_GEOS:-0}" = 1 ]; then old_geos=(-DOSTREL_ALLOW_OLD_GEOS=ON); fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTREL_CHECKS=ON "${old_geos[@]}" \
  -DPython_EXECUTABLE="$(command -v python3)" >/dev/null
cmake --build "$build" --target checks
ctest --test-dir "$build" --output-on-failure
python3 -m pytest -q tests/python "$@"
