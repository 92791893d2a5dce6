"""The timing rule the benchmarks share: the best of several runs."""
import time


def best(fn, repeat):
    """The shortest wall-clock time, in seconds, of `repeat` calls of `fn`."""
    times = []
    for _ in range(repeat):
        t0 = time.perf_counter()
        fn()
        times.append(time.perf_counter() - t0)
    return min(times)
