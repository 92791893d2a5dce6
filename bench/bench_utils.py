"""WKT/WKB to dictionary conversion: ostrel_geometry.utils against Shapely 2.

Shapely's path is from_wkt/from_wkb followed by shapely.geometry.mapping, which
gives a GeoJSON-like dictionary, the nearest equivalent of our zorvjson one.
Both sides convert one geometry per call, as an application reading records
would; Shapely's vectorised parse of the whole batch is shown as well.

    pip install shapely   # benchmark-only dependency
    python bench/bench_utils.py [--repeat 5]
"""

import argparse
import math
import random

import shapely
from shapely.geometry import mapping

from ostrel_geometry import utils
from timing import best


def ring(rng, cx, cy, r, n, clockwise=False):
    pts = []
    for i in range(n):
        a = 2 * math.pi * i / n
        rr = r * (0.8 + 0.4 * rng.random())
        pts.append((cx + rr * math.cos(a), cy + rr * math.sin(a)))
    if clockwise:
        pts.reverse()
    pts.append(pts[0])
    return pts


def fmt(pts):
    return ", ".join(f"{x!r} {y!r}" for x, y in pts)


def polygon_wkt(rng, cx, cy, r, n, holes):
    rings = [ring(rng, cx, cy, r, n)]
    for h in range(holes):
        a = 2 * math.pi * h / max(holes, 1)
        rings.append(ring(rng, cx + 0.5 * r * math.cos(a), cy + 0.5 * r * math.sin(a), 0.15 * r, 20, True))
    return "(" + ", ".join(f"({fmt(rg)})" for rg in rings) + ")"


def make_dataset(seed=7):
    rng = random.Random(seed)
    lon = lambda: rng.uniform(-180, 180)
    lat = lambda: rng.uniform(-85, 85)
    sets = {}
    sets["points"] = [f"POINT ({lon()!r} {lat()!r})" for _ in range(2000)]
    lines = []
    for _ in range(1000):
        x, y = lon(), lat()
        pts = []
        for _ in range(200):
            x += rng.uniform(-0.01, 0.01)
            y += rng.uniform(-0.01, 0.01)
            pts.append((x, y))
        lines.append(f"LINESTRING ({fmt(pts)})")
    sets["long lines (200 vertices)"] = lines
    sets["polygons with 2 holes"] = [
        f"POLYGON {polygon_wkt(rng, lon(), lat(), 0.5, 100, 2)}" for _ in range(1000)
    ]
    sets["multipolygons (3 parts)"] = [
        "MULTIPOLYGON (" + ", ".join(polygon_wkt(rng, lon(), lat(), 0.3, 50, 1) for _ in range(3)) + ")"
        for _ in range(500)
    ]
    return sets


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--repeat", type=int, default=5)
    args = ap.parse_args()

    sets = make_dataset()
    print(f"{'dataset':28} {'input':4} {'ours ms':>9} {'shapely ms':>11} {'ratio':>6} {'vectorised':>11}")
    total_ours = total_shp = 0.0
    for name, wkts in sets.items():
        geoms = shapely.from_wkt(wkts)
        wkbs = [shapely.to_wkb(g) for g in geoms]
        # sanity check: same coordinates on both sides
        g0 = utils.wkt_to_zorvjson_dict(wkts[0])
        m0 = mapping(geoms[0])
        assert g0.get("x", None) == m0["coordinates"][0] if m0["type"] == "Point" else True
        for kind, inputs, ours_fn, shp_one, shp_vec in (
            ("wkt", wkts, utils.wkt_to_zorvjson_dict, shapely.from_wkt, shapely.from_wkt),
            ("wkb", wkbs, utils.wkb_to_zorvjson_dict, shapely.from_wkb, shapely.from_wkb),
        ):
            ours = best(lambda: [ours_fn(s) for s in inputs], args.repeat)
            shp = best(lambda: [mapping(shp_one(s)) for s in inputs], args.repeat)
            vec = best(lambda: [mapping(g) for g in shp_vec(inputs)], args.repeat)
            total_ours += ours
            total_shp += shp
            print(f"{name:28} {kind:4} {ours * 1e3:9.1f} {shp * 1e3:11.1f} {shp / ours:5.1f}x {vec * 1e3:10.1f}")
    print(f"{'total':33} {total_ours * 1e3:9.1f} {total_shp * 1e3:11.1f} {total_shp / total_ours:5.1f}x")
    print("ratio = Shapely time / ours (higher means ours is faster)")


if __name__ == "__main__":
    main()
