#!/usr/bin/env bash
# Builds and runs the geodetic C++ checks.
#   tests/cpp/geodetic/run.sh BUILD_DIR
# BUILD_DIR is a CMake build of this project in which the runtime target
# (vaskelith) has been built; the checks link its object files so that they
# can make inputs with the runtime's own geometry structs.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../../.." && pwd)"
build="${1:?usage: run.sh BUILD_DIR}"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
cmake --build "$build" --target vaskelith >/dev/null
objects=$(find "$build/CMakeFiles/vaskelith.dir" -name '*.o')
g++ -std=c++20 -O1 -I "$root/runtime/src" "$here/curve_check.cpp" "$root/runtime/src/engine/geodetic_curve.cpp" \
  -lGeographicLib -o "$out/curve_check"
g++ -std=c++20 -O1 -I "$root/runtime/src" -I "$root/runtime/include" "$here/runtime_check.cpp" $objects \
  -lgeos_c -lproj -lGeographicLib -o "$out/runtime_check"
"$out/curve_check"
"$out/runtime_check"
