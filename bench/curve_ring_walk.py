"""Time a disc related with a large straight polygon whose boundary it
crosses, against the same disc well inside it (no boundary to walk).

    python bench/curve_ring_walk.py [vertices ...]

Prints microseconds per call (median of interleaved samples)."""
import math
import sys

import ostrel_geometry as og

from timing import interleaved_medians


def _on(cx, cy, r, t):
    return [cx + r * math.cos(t), cy + r * math.sin(t)]


def disc(cx, cy, r):
    p = lambda t: _on(cx, cy, r, t)
    return og.Polygon({"curveRings": [[p(0), {"c": [p(math.pi), p(-math.pi / 2)]}, {"c": [p(0), p(math.pi / 2)]}]]})


def straight_polygon(n, r=100.0):
    pts = [_on(0, 0, r, -2 * math.pi * i / n) for i in range(n)]
    return og.Polygon({"rings": [pts + [pts[0]]]})


def main(sizes):
    for n in sizes:
        big = straight_polygon(n)
        across, inside = disc(100.0, 0.0, 3.0), disc(0.0, 0.0, 3.0)
        cases = {
            "crossing intersects": lambda: across.intersects(big),
            "crossing touches": lambda: big.touches(across),
            "inside within": lambda: inside.within(big),
        }
        times = interleaved_medians(list(cases.values()))
        for name, t in zip(cases, times):
            print(f"{n:>8} vertices  {name:<22} {t * 1e6:9.1f} us")


if __name__ == "__main__":
    main([int(a) for a in sys.argv[1:]] or [1000, 10000, 100000])
