#!/usr/bin/env bash
# Runs the robustness driver against the installed ostrel_geometry for
# SECONDS seconds and exits non-zero when any call crashed the interpreter,
# ran past the per-call ceiling, or raised PanicException.
#
#   tests/stress/run.sh SECONDS [driver options]
#
# Options go to `driver.py run` (see `python3 tests/stress/driver.py run -h`):
# --workers N (default: half the cores, at most 4), --seed N, --ceiling S
# (default here 30), --slow S (calls past S seconds are printed, default 5).
# The last line printed reads "calls N crashes N hangs N panics N mismatches N", after the
# ten slowest calls; each finding and slow call names the
# `driver.py replay SEED EPISODE CALL` that repeats it alone.
#
# Under AddressSanitizer and UndefinedBehaviorSanitizer: build the module and
# runtime with -fsanitize=address,undefined, then run with the sanitizer
# runtime preloaded, e.g.
#   LD_PRELOAD="$(gcc -print-file-name=libasan.so) $(gcc -print-file-name=libubsan.so)" \
#   ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=halt_on_error=1 tests/stress/run.sh 600 --ceiling 60
# (a sanitizer report ends the worker abnormally, which counts as a crash).
set -euo pipefail
if [ $# -lt 1 ]; then
  echo "usage: $0 SECONDS [driver options]" >&2
  exit 2
fi
seconds="$1"
shift
here="$(cd "$(dirname "$0")" && pwd)"
cores="$(nproc 2>/dev/null || echo 2)"
workers=$(( cores / 2 ))
if [ "$workers" -lt 1 ]; then workers=1; fi
if [ "$workers" -gt 4 ]; then workers=4; fi
# A generous ceiling by default: a loaded machine must not turn a slow call
# into a reported hang.
exec "${PYTHON:-python3}" "$here/driver.py" run "$seconds" --workers "$workers" --ceiling 30 "$@"
