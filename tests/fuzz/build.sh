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
mkdir -p "$out"
srcs="$root/src/geomio/events.cpp $root/src/geomio/wkt_reader.cpp $root/src/geomio/wkb_reader.cpp"
flags="-std=c++20 -g -O1 -Wall -Wextra -I$root/src -I$here"
san="-fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined"
for name in fuzz_wkt fuzz_wkb; do
  clang++ $flags $san "$here/$name.cpp" $srcs -o "$out/$name"
done
clang++ $flags -fsanitize=address,undefined "$here/dump_events.cpp" $srcs -o "$out/dump_events"

if [ "${2:-}" != "" ]; then
  for kind in wkt wkb; do
    mkdir -p "$out/corpus-$kind"
    cp "$here/corpus/$kind/"* "$out/corpus-$kind/"
    dict=""
    [ $kind = wkt ] && dict="-dict=$here/wkt.dict"
    (cd "$out" && ./fuzz_$kind -max_total_time="$2" -max_len=4096 -timeout=10 $dict \
        corpus-$kind 2>&1 | tail -n 5)
  done
fi
