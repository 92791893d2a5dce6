"""Geodetic measurement and projection: ostrel_geometry against pyproj.

Both sides do the same work on the same random data: geodesic lengths of
polylines and areas of polygons on WGS 84 (pyproj.Geod), and projection of
points and polylines from WGS 84 to UTM and Web Mercator (pyproj.Transformer).
Our calls rebuild a runtime geometry from the Python model on every call, so
the figures include that conversion, as an application's would.  Geodetic
buffers and lengths along great ellipses have no pyproj counterpart; their
time is shown alone.  The results of both sides are compared, and the largest
relative difference is printed.  Times are the process's CPU time (best of
the repeats), which other work on the machine disturbs less than wall time.

    pip install pyproj   # benchmark-only dependency
    python bench/bench_geodetic.py [--count 1000] [--repeat 5]
"""

import argparse
import json
import math
import random
import time

import pyproj

import ostrel_geometry as og
from ostrel_geometry import projection

WGS84 = {"wkid": 4326}
CT = og.GeodeticCurveType


def best(fn, repeat):
    times = []
    result = None
    for _ in range(repeat):
        t0 = time.process_time()
        result = fn()
        times.append(time.process_time() - t0)
    return min(times), result


def random_path(rng, n):
    lon, lat = rng.uniform(-170, 170), rng.uniform(-60, 60)
    pts = []
    for _ in range(n):
        pts.append([lon, lat])
        lon += rng.uniform(-0.5, 0.5)
        lat = max(-80, min(80, lat + rng.uniform(-0.5, 0.5)))
    return pts


def random_ring(rng, n):
    cx, cy, r = rng.uniform(-170, 170), rng.uniform(-60, 60), rng.uniform(0.1, 3)
    pts = [[cx + r * math.cos(-2 * math.pi * i / n), cy + r * math.sin(-2 * math.pi * i / n)] for i in range(n)]
    pts.append(pts[0])
    return pts


def worst_relative(ours, theirs):
    return max(abs(a - b) / max(abs(b), 1e-300) for a, b in zip(ours, theirs))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--count", type=int, default=1000)
    parser.add_argument("--repeat", type=int, default=5)
    args = parser.parse_args()
    rng = random.Random(7)
    geod = pyproj.Geod(ellps="WGS84")

    paths = [random_path(rng, 50) for _ in range(args.count)]
    rings = [random_ring(rng, 64) for _ in range(args.count)]
    our_lines = [og.Polyline({"paths": [p], "spatialReference": WGS84}) for p in paths]
    our_polys = [og.Polygon({"rings": [r], "spatialReference": WGS84}) for r in rings]
    points = [[rng.uniform(6, 12), rng.uniform(0, 80)] for _ in range(args.count)]
    our_points = [og.Point({"x": x, "y": y, "spatialReference": WGS84}) for x, y in points]
    utm = pyproj.Transformer.from_crs(4326, 32632, always_xy=True)
    merc = pyproj.Transformer.from_crs(4326, 3857, always_xy=True)

    rows = []

    t_ours, ours = best(lambda: [g.calculate_length(curve_type=CT.Geodesic) for g in our_lines], args.repeat)
    t_theirs, theirs = best(
        lambda: [geod.line_length([p[0] for p in path], [p[1] for p in path]) for path in paths], args.repeat
    )
    rows.append(("geodesic length, 50-vertex polylines", t_ours, t_theirs, worst_relative(ours, theirs)))

    t_ours, ours = best(lambda: [g.calculate_area(curve_type=CT.Geodesic) for g in our_polys], args.repeat)
    # pyproj counts counter-clockwise rings as positive; ours are clockwise.
    t_theirs, theirs = best(
        lambda: [-geod.polygon_area_perimeter([p[0] for p in r], [p[1] for p in r])[0] for r in rings], args.repeat
    )
    rows.append(("geodesic area, 64-vertex polygons", t_ours, t_theirs, worst_relative(ours, theirs)))

    t_ours, _ = best(lambda: [g.calculate_length(curve_type=CT.GreatElliptic) for g in our_lines], args.repeat)
    rows.append(("great elliptic length, 50-vertex polylines (ours only)", t_ours, float("nan"), float("nan")))

    sr_utm = og.SpatialReference({"wkid": 32632})
    t_ours, ours = best(lambda: projection.project_collection(our_points, sr_utm), args.repeat)
    t_theirs, theirs = best(lambda: [utm.transform(x, y) for x, y in points], args.repeat)
    ours_x = [json.loads(str(p))["x"] for p in ours]
    rows.append(
        ("project points to UTM 32N, one by one", t_ours, t_theirs, worst_relative(ours_x, [t[0] for t in theirs]))
    )

    sr_merc = og.SpatialReference({"wkid": 3857})
    t_ours, _ = best(lambda: [g.project(sr_merc) for g in our_lines], args.repeat)
    t_theirs, _ = best(
        lambda: [merc.transform([p[0] for p in path], [p[1] for p in path]) for path in paths], args.repeat
    )
    rows.append(("project 50-vertex polylines to Web Mercator", t_ours, t_theirs, float("nan")))

    sample = our_polys[: max(1, args.count // 10)]
    t_ours, _ = best(
        lambda: [
            g.buffer(1000, unit=og.LinearUnitId.Meters, max_deviation=1.0, curve_type=CT.Geodesic) for g in sample
        ],
        max(1, args.repeat // 2),
    )
    rows.append((f"geodetic buffer 1 km, {len(sample)} polygons (ours only)", t_ours, float("nan"), float("nan")))

    print(f"{'case':<56} {'ours (s)':>10} {'pyproj (s)':>11} {'ratio':>7} {'max rel diff':>13}")
    for name, a, b, diff in rows:
        ratio = a / b if b == b and b > 0 else float("nan")
        print(f"{name:<56} {a:>10.4f} {b:>11.4f} {ratio:>7.2f} {diff:>13.2e}")


if __name__ == "__main__":
    main()
