#!/bin/sh
# Builds and runs the model's C++ checks (the parts Python cannot reach).
# Usage: tests/cpp/model/run.sh [build-dir]
set -eu
root=$(cd "$(dirname "$0")/../../.." && pwd)
out=${1:-/tmp/build-model-cpp}
mkdir -p "$out"
py=${PYTHON:-python3}
inc=$($py -c 'import sysconfig; print(sysconfig.get_paths()["include"])')
libdir=$($py -c 'import sysconfig; print(sysconfig.get_config_var("LIBDIR"))')
ver=$($py -c 'import sysconfig; print(sysconfig.get_config_var("LDVERSION"))')
# The model without its runtime conversions, plus the error plumbing it throws.
srcs=$(ls "$root"/src/model/*.cpp | grep -v '/convert_')
# The runtime side is never called here; its symbols are left unresolved.
${CXX:-g++} -std=c++20 -O1 -g -Wall -Wextra -I"$root/src" -I"$root/runtime/include" -I"$inc" \
  "$root/tests/cpp/model/test_model.cpp" "$root/tests/cpp/model/runtime_stub.cpp" $srcs "$root/src/python/pyapi/errors.cpp" \
  -L"$libdir" -lpython"$ver" -Wl,-rpath,"$libdir" \
  -o "$out/test_model"
"$out/test_model"
