#!/bin/sh
# Builds and runs the binding's C++ checks (the parts Python cannot reach).
# Usage: tests/cpp/binding/run.sh <path of libvaskelith.so> [build-dir]
set -eu
root=$(cd "$(dirname "$0")/../../.." && pwd)
lib=$1
out=${2:-/tmp/build-binding-cpp}
mkdir -p "$out"
py=${PYTHON:-python3}
inc=$($py -c 'import sysconfig; print(sysconfig.get_paths()["include"])')
# A library that has only the first name of the list, so the second is missing.
printf 'void QX_Segment_destroy(void) {}\n' > "$out/lacking.c"
${CC:-cc} -shared -fPIC -o "$out/liblacking.so" "$out/lacking.c"
# And one whose second name is an absolute symbol at address 0.
cat > "$out/nullsym.c" <<'SRC'
void QX_Segment_destroy(void) {}
__asm__(".globl QX_Segment_getEndPoint\n.set QX_Segment_getEndPoint, 0\n");
SRC
${CC:-cc} -shared -fPIC -o "$out/libnullsym.so" "$out/nullsym.c"
${CXX:-g++} -std=c++20 -O1 -g -Wall -Wextra -I"$root/src" -I"$root/tests/cpp" -I"$root/runtime/include" -I"$inc" \
  -DOSTREL_SOURCE_DIR="\"$root\"" \
  "$root/tests/cpp/binding/test_binding.cpp" "$root"/src/binding/*.cpp -ldl -o "$out/test_binding"
"$out/test_binding" "$lib" "$out/liblacking.so" "$out/libnullsym.so"
