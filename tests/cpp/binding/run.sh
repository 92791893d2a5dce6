#!/bin/sh
# Builds the binding's C++ checks (the parts Python cannot reach) with CMake
# and runs them, against the runtime built beside them or the one given.
# Usage: tests/cpp/binding/run.sh [path of libvaskelith.so] [build-dir]
set -eu
root=$(cd "$(dirname "$0")/../../.." && pwd)
out=${2:-/tmp/build-binding-cpp}
if geos_prefix=$(bash "$root/scripts/geos.sh") && [ -n "$geos_prefix" ]; then
  PKG_CONFIG_PATH="$geos_prefix/lib/pkgconfig${PKG_CONFIG_PATH:+:$PKG_CONFIG_PATH}"
  export PKG_CONFIG_PATH
fi
cmake -S "$root" -B "$out" -DOSTREL_CHECKS=ON -DPython_EXECUTABLE="$(command -v "${PYTHON:-python3}")" >/dev/null
cmake --build "$out" --target check_binding lacking nullsym vaskelith
if [ -n "${1:-}" ]; then
  cd "$out/tests/cpp" && ./check_binding "$1" ./liblacking.so ./libnullsym.so
else
  ctest --test-dir "$out" --output-on-failure -R '^binding$'
fi
