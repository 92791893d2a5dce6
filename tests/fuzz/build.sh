#!/bin/sh
# Builds the reader fuzzers and the event dump tool with clang into $1
# (default /tmp/build-fuzz), then, when a time is given as $2 (seconds),
# runs each fuzzer that long on a copy of its seed corpus.
#   tests/fuzz/build.sh /tmp/build-fuzz 180
# The dictionary builders, which need the interpreter, are driven by
# fuzz_builders.py against the installed module instead.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out=${1:-/tmp/build-fuzz}
generator=""
command -v ninja >/dev/null 2>&1 && [ ! -f "$out/CMakeCache.txt" ] && generator="-G Ninja"
# The configuration asks for the same GEOS as the runtime's build, though the
# readers fuzzed here use none.
if geos_prefix=$(bash "$root/scripts/geos.sh") && [ -n "$geos_prefix" ]; then
  PKG_CONFIG_PATH="$geos_prefix/lib/pkgconfig${PKG_CONFIG_PATH:+:$PKG_CONFIG_PATH}"
  export PKG_CONFIG_PATH
fi
cmake -S "$root" -B "$out" $generator -DOSTREL_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER="${CC:-clang}" -DCMAKE_CXX_COMPILER="${CXX:-clang++}" >/dev/null
cmake --build "$out" --target fuzzers
bin="$out/tests/fuzz"

if [ "${2:-}" != "" ]; then
  for kind in wkt wkb; do
    mkdir -p "$bin/corpus-$kind"
    cp "$here/corpus/$kind/"* "$bin/corpus-$kind/"
    dict=""
    [ $kind = wkt ] && dict="-dict=$here/wkt.dict"
    # A finding makes the harness exit non-zero, which stops this script.
    (cd "$bin" && ./fuzz_$kind -max_total_time="$2" -max_len=4096 -timeout=10 $dict \
        corpus-$kind >fuzz_$kind.log 2>&1) || { tail -n 40 "$bin/fuzz_$kind.log"; exit 1; }
    echo "fuzz_$kind: $(grep -E '^#[0-9]+[[:space:]]+DONE' "$bin/fuzz_$kind.log" | tail -n 1)"
  done
fi
