"""Geometry operations: ostrel_geometry against Shapely 2.

Each case runs the same planar work on both sides over the same random
polygons: one operation per geometry (a Python loop on both sides), and, where
both offer it, the whole collection in one call (our collection functions and
static methods, Shapely's vectorised functions).  Our calls rebuild a runtime
geometry from the Python model on every call, so the per-call figures include
that conversion, as an application's would.

    pip install shapely   # benchmark-only dependency
    python bench/bench_ops.py [--count 2000] [--repeat 5]
"""

import argparse
import math
import random

import shapely

import ostrel_geometry as og
from timing import best


def ring(rng, cx, cy, r, n):
    pts = []
    for i in range(n):
        a = -2 * math.pi * i / n  # clockwise, the exterior orientation of the runtime
        rr = r * (0.8 + 0.4 * rng.random())
        pts.append([cx + rr * math.cos(a), cy + rr * math.sin(a)])
    pts.append(pts[0])
    return pts


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--count", type=int, default=2000)
    parser.add_argument("--vertices", type=int, default=32)
    parser.add_argument("--repeat", type=int, default=5)
    args = parser.parse_args()

    rng = random.Random(7)
    rings = [ring(rng, rng.uniform(0, 1000), rng.uniform(0, 1000), rng.uniform(5, 50), args.vertices)
             for _ in range(args.count)]
    ours = [og.Polygon({"rings": [r]}) for r in rings]
    theirs = [shapely.Polygon(r) for r in rings]
    our_clip = og.Envelope({"xmin": 250, "ymin": 250, "xmax": 750, "ymax": 750})
    their_clip = shapely.box(250, 250, 750, 750)
    our_probe = og.Polygon({"rings": [ring(rng, 500, 500, 200, 64)]})
    their_probe = shapely.Polygon(our_probe.to_dict()["rings"][0])
    their_array = shapely.from_wkb([g.wkb for g in theirs])
    # Points show the fixed cost of a call, where the conversion of the
    # operands is cheapest.
    xy = [(rng.uniform(0, 1000), rng.uniform(0, 1000)) for _ in range(args.count)]
    our_points = [og.Point({"x": x, "y": y}) for x, y in xy]
    their_points = [shapely.Point(x, y) for x, y in xy]
    their_point_array = shapely.points(xy)
    our_origin, their_origin = og.Point({"x": 500.0, "y": 500.0}), shapely.Point(500.0, 500.0)

    cases = [
        ("area, per geometry", lambda: [g.area for g in ours], lambda: [g.area for g in theirs]),
        ("area, whole collection", lambda: og.area_collection(ours), lambda: shapely.area(their_array).sum()),
        ("buffer 1.0, per geometry", lambda: [g.buffer(1.0) for g in ours],
         lambda: [g.buffer(1.0) for g in theirs]),
        ("buffer 1.0, whole collection", lambda: og.buffer_collection(ours, [1.0]),
         lambda: shapely.buffer(their_array, 1.0)),
        ("intersects probe, per geometry", lambda: [our_probe.intersects(g) for g in ours],
         lambda: [their_probe.intersects(g) for g in theirs]),
        ("clip by envelope, collection", lambda: og.clip_collection(ours, our_clip),
         lambda: shapely.clip_by_rect(their_array, 250, 250, 750, 750)),
        ("intersection with probe, collection", lambda: og.intersection_collection(our_probe, ours),
         lambda: shapely.intersection(their_probe, their_array)),
        ("union of all", lambda: og.Geometry.union_collection(ours), lambda: shapely.union_all(their_array)),
        ("convex hull, collection", lambda: og.Geometry.convex_hull_collection(ours, False),
         lambda: shapely.convex_hull(their_array)),
        ("point distance, per point", lambda: [our_origin.distance_to(p) for p in our_points],
         lambda: [their_origin.distance(p) for p in their_points]),
        ("point distances, collection", lambda: og.distances_from_collection(our_origin, our_points),
         lambda: shapely.distance(their_origin, their_point_array)),
        ("move points, collection", lambda: og.move_relative_collection(our_points, 1.0, 2.0),
         lambda: shapely.transform(their_point_array, lambda c: c + (1.0, 2.0))),
    ]
    del their_clip

    print(f"{args.count} polygons of {args.vertices} vertices, best of {args.repeat}")
    print(f"{'case':40} {'ostrel (ms)':>12} {'shapely (ms)':>13} {'ratio':>7}")
    for name, a, b in cases:
        ta = best(a, args.repeat) * 1000
        tb = best(b, args.repeat) * 1000
        print(f"{name:40} {ta:12.2f} {tb:13.2f} {ta / tb:7.2f}")


if __name__ == "__main__":
    main()
