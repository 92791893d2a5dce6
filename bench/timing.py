"""The timing rules the benchmarks share: the best of several runs, and
interleaved medians for side-by-side ratios."""
import statistics
import time


def best(fn, repeat):
    """The shortest wall-clock time, in seconds, of `repeat` calls of `fn`."""
    times = []
    for _ in range(repeat):
        t0 = time.perf_counter()
        fn()
        times.append(time.perf_counter() - t0)
    return min(times)


# Calls before timing: a geometry is prepared at its second predicate and
# GEOS builds the prepared geometry's indexes at its first use, the third
# call; a slow call left among few samples would move their median.
WARM_CALLS = 3


def interleaved_medians(fns, rounds=7, sample_seconds=0.02):
    """The median time per call, in seconds, of each of `fns`.

    The functions run in turn, round after round, so that a slow spell of the
    machine falls on all of them alike; each sample repeats its function
    often enough to last about `sample_seconds`.  WARM_CALLS calls of each
    (not counted; the last sets that count) warm whatever it keeps.
    """
    loops = []
    for fn in fns:
        for _ in range(WARM_CALLS - 1):
            fn()
        t0 = time.perf_counter()
        fn()
        elapsed = time.perf_counter() - t0
        loops.append(max(1, int(sample_seconds / max(elapsed, 1e-7))))
    samples = [[] for _ in fns]
    for _ in range(rounds):
        for fn, count, out in zip(fns, loops, samples):
            t0 = time.perf_counter()
            for _ in range(count):
                fn()
            out.append((time.perf_counter() - t0) / count)
    return [statistics.median(s) for s in samples]
