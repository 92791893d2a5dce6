"""One side-by-side table: ostrel_geometry against Shapely 2 and pyproj.

Every row does the same work on both sides over the same data, one Python
call per operation as an application makes them, at n = 4, 100, 10 000 and
200 000 vertices; the collection rows hand 10 000 quads (10 000 points to a
container, 2 000 points for projection) to one call on our side and to
Shapely's vectorised functions on the other (projections: shapely.transform
over one pyproj array call, geometry objects out on both sides),
and generalize a 10 000 and a 100 000 vertex path against Shapely's
Douglas-Peucker simplify.  A figure is the ratio
of the median time per call, ours over the peer's, the two timed in turn in
one process (below 1: ours is faster).  Repeated calls on the same geometry
are what is timed, so what either side keeps between calls counts.

The first-call rows time a first projection in fresh interpreters, ours and
pyproj's in turn: after the import, and with the import.

The memory line builds a 200 000-vertex polygon in a child process and
reports the bytes in use for its Python model and what asking `intersects`
adds (the runtime geometry, its GEOS form, the prepared geometry and the
indexes GEOS builds for it), and the peak resident size.

The kept-forms rows time `area_collection` of 10 000 and 100 000 quads right
after a full `gc.collect()`, the collection timed on both sides (what a
program meets when Python collects on its own between its calls); the
small-polygon memory line builds 100 000 quads in a child process per side,
asks the area and `intersects` of each, and reports the growth of the
resident size per polygon.

    pip install shapely pyproj   # benchmark-only dependencies
    python bench/bench_table.py [--sizes 4,100,10000,200000] [--rounds 7] [--write bench/RESULTS.md]
"""

import argparse
import gc
import math
import os
import platform
import random
import statistics
import subprocess
import sys
import time

import numpy as np
import pyproj
import shapely
import shapely.geometry

import ostrel_geometry as og
from ostrel_geometry import projection
from timing import interleaved_medians

WGS84 = {"wkid": 4326}
CT = og.GeodeticCurveType


# ---- data ----


def star(n, cx=0.0, cy=0.0, r=100.0, seed=1):
    """A star-shaped (so simple) clockwise ring of n vertices, closed: a
    wavy circle.  Random radii would make a boundary so jagged that GEOS
    needs seconds to validate or overlay it, on either side."""
    pts = []
    for i in range(n):
        a = -2 * math.pi * i / n
        rr = r * (1 + 0.05 * math.sin(7 * a + seed))
        pts.append([cx + rr * math.cos(a), cy + rr * math.sin(a)])
    pts.append(pts[0])
    return pts


def walk(n, seed=2, step=1.0, x=0.0, y=0.0, bound=None):
    rng = random.Random(seed)
    pts = []
    for _ in range(n):
        pts.append([x, y])
        x += rng.uniform(-step, step)
        y += rng.uniform(-step, step)
        if bound:
            x = max(-bound, min(bound, x))
            y = max(-bound, min(bound, y))
    return pts


def square(x, y, size):
    return [[x, y], [x, y + size], [x + size, y + size], [x + size, y], [x, y]]


# ---- rows ----


def single_rows(n):
    """(name, ours, peer) for one size."""
    ring, other_ring = star(n), star(n, cx=50.0, seed=3)
    path = walk(n)
    poly, other = og.Polygon({"rings": [ring]}), og.Polygon({"rings": [other_ring]})
    spoly, sother = shapely.Polygon(ring), shapely.Polygon(other_ring)
    line, sline = og.Polyline({"paths": [path]}), shapely.LineString(path)
    box = og.Polygon({"rings": [square(80.0, -10.0, 40.0)]})
    sbox = shapely.Polygon(square(80.0, -10.0, 40.0))
    inside, sinside = og.Point({"x": 1.0, "y": 2.0}), shapely.Point(1.0, 2.0)
    outside, soutside = og.Point({"x": 300.0, "y": 7.0}), shapely.Point(300.0, 7.0)
    pattern = "T*T***T**"
    # Geographic data: a path over a few degrees, a ring of 1 degree.
    lonlat = walk(n, seed=4, step=0.01, x=10.0, y=45.0)
    geo_ring = [[10 + x / 100.0, 45 + y / 100.0] for x, y in star(n)]
    geo_line = og.Polyline({"paths": [lonlat], "spatialReference": WGS84})
    geo_poly = og.Polygon({"rings": [geo_ring], "spatialReference": WGS84})
    lons, lats = np.array([p[0] for p in lonlat]), np.array([p[1] for p in lonlat])
    rlons, rlats = np.array([p[0] for p in geo_ring]), np.array([p[1] for p in geo_ring])
    merc = og.SpatialReference({"wkid": 3857})
    to_merc = mercator_of_shapely()
    sgeo_line = shapely.LineString(lonlat)
    geod = pyproj.Geod(ellps="WGS84")
    return [
        ("area", lambda: poly.area, lambda: spoly.area),
        ("length (polyline)", lambda: line.length, lambda: sline.length),
        ("intersects", lambda: poly.intersects(box), lambda: spoly.intersects(sbox)),
        ("contains (point)", lambda: poly.contains(inside), lambda: spoly.contains(sinside)),
        ("relate (pattern)", lambda: poly.relate(box, pattern), lambda: spoly.relate_pattern(sbox, pattern)),
        ("distance (point)", lambda: poly.distance_to(outside), lambda: spoly.distance(soutside)),
        ("intersection", lambda: poly.intersect(other), lambda: spoly.intersection(sother)),
        ("union", lambda: poly.union(other), lambda: spoly.union(sother)),
        ("difference", lambda: poly.difference(other), lambda: spoly.difference(sother)),
        ("buffer", lambda: poly.buffer(1.0), lambda: spoly.buffer(1.0, quad_segs=64)),
        ("convex hull", lambda: poly.convex_hull(), lambda: spoly.convex_hull),
        ("simplify (vs make_valid)", lambda: poly.simplify(), lambda: shapely.make_valid(spoly)),
        ("project to 3857 (vs Transformer, geometry out)", lambda: geo_line.project(merc),
         lambda: to_merc(sgeo_line)),
        ("geodesic length (vs Geod)", lambda: geo_line.calculate_length(curve_type=CT.Geodesic),
         lambda: geod.line_length(lons, lats)),
        ("geodesic area (vs Geod)", lambda: geo_poly.calculate_area(curve_type=CT.Geodesic),
         lambda: geod.polygon_area_perimeter(rlons, rlats)),
    ]


def collection_rows():
    rng = random.Random(9)
    quads = [square(rng.uniform(0, 1000), rng.uniform(0, 1000), rng.uniform(1, 5)) for _ in range(10000)]
    ours = [og.Polygon({"rings": [q]}) for q in quads]
    theirs = shapely.polygons(quads)
    # The probe meets none of the quads, so that both sides ask every one.
    probe, sprobe = og.Point({"x": -500.0, "y": -500.0}), shapely.Point(-500.0, -500.0)
    origin, sorigin = og.Point({"x": 500.0, "y": 500.0}), shapely.Point(500.0, 500.0)
    inside = [(rng.uniform(0, 100), rng.uniform(0, 100)) for _ in range(10000)]
    held, sheld = [og.Point({"x": x, "y": y}) for x, y in inside], shapely.points(inside)
    box, sbox = og.Polygon({"rings": [square(-1.0, -1.0, 102.0)]}), shapely.Polygon(square(-1.0, -1.0, 102.0))
    shapely.prepare(sbox)
    path10k, path100k = walk(10000, seed=6), walk(100000, seed=7)
    line10k, sline10k = og.Polyline({"paths": [path10k]}), shapely.LineString(path10k)
    line100k, sline100k = og.Polyline({"paths": [path100k]}), shapely.LineString(path100k)
    xy = [(rng.uniform(5, 15), rng.uniform(40, 50)) for _ in range(2000)]
    points = [og.Point({"x": x, "y": y, "spatialReference": WGS84}) for x, y in xy]
    spoints = shapely.points(np.array(xy))
    merc = og.SpatialReference({"wkid": 3857})
    transformer = pyproj.Transformer.from_crs(4326, 3857, always_xy=True)
    to_merc = mercator_of_shapely()
    one = points[0]
    d100 = {"rings": [star(100)]}
    g100 = {"type": "Polygon", "coordinates": [star(100)]}
    d10k = {"rings": [star(10000)]}
    g10k = {"type": "Polygon", "coordinates": [star(10000)]}
    return [
        ("area_collection, 10 000 quads", lambda: og.area_collection(ours), lambda: shapely.area(theirs).sum()),
        ("length_collection, 10 000 quads", lambda: og.length_collection(ours),
         lambda: shapely.length(theirs).sum()),
        ("intersects_collection, 10 000 quads, none hit", lambda: og.intersects_collection(probe, ours),
         lambda: shapely.intersects(theirs, sprobe).any()),
        ("contains_collection, a quad holding 10 000 points (vs prepared)", lambda: og.contains_collection(box, held),
         lambda: shapely.contains(sbox, sheld).all()),
        ("distances_from_collection, 10 000 quads", lambda: og.distances_from_collection(origin, ours),
         lambda: shapely.distance(sorigin, theirs)),
        ("buffer_collection, 10 000 quads at 0.1 (64 segments a quarter)", lambda: og.buffer_collection(ours, [0.1]),
         lambda: shapely.buffer(theirs, 0.1, quad_segs=64)),
        ("generalize, 10 000 vertices (vs Douglas-Peucker simplify)", lambda: line10k.generalize(1.0),
         lambda: shapely.simplify(sline10k, 1.0, preserve_topology=False)),
        ("generalize, 100 000 vertices (vs Douglas-Peucker simplify)", lambda: line100k.generalize(1.0),
         lambda: shapely.simplify(sline100k, 1.0, preserve_topology=False)),
        ("project_collection, 2 000 points (vs shapely.transform with a Transformer)",
         lambda: projection.project_collection(points, merc), lambda: to_merc(spoints)),
        ("project one point (vs scalar Transformer, geometry out)", lambda: one.project(merc),
         lambda: shapely.Point(transformer.transform(xy[0][0], xy[0][1]))),
        ("construction from a dict, n = 100", lambda: og.Polygon(d100), lambda: shapely.geometry.shape(g100)),
        ("construction from a dict, n = 10 000", lambda: og.Polygon(d10k), lambda: shapely.geometry.shape(g10k)),
    ]


def mercator_of_shapely():
    """Shapely geometries (one or an array) projected from WGS 84 to Web
    Mercator through one pyproj array call: the peer of our projections,
    geometry objects in and out."""
    transformer = pyproj.Transformer.from_crs(4326, 3857, always_xy=True)

    def coords(c):
        x, y = transformer.transform(c[:, 0], c[:, 1])
        return np.column_stack([x, y])

    return lambda g: shapely.transform(g, coords)


# A first projection in a fresh interpreter, geometry objects out on both
# sides; prints the milliseconds of the import and of the call.
FIRST_CALL_CHILD = {
    "ours": """
import time
t0 = time.perf_counter()
import ostrel_geometry as og
t1 = time.perf_counter()
og.Point({"x": 10.0, "y": 45.0, "spatialReference": {"wkid": 4326}}).project(og.SpatialReference({"wkid": 3857}))
t2 = time.perf_counter()
print((t1 - t0) * 1e3, (t2 - t1) * 1e3)
""",
    "peer": """
import time
t0 = time.perf_counter()
import pyproj, shapely
t1 = time.perf_counter()
shapely.Point(pyproj.Transformer.from_crs(4326, 3857, always_xy=True).transform(10.0, 45.0))
t2 = time.perf_counter()
print((t1 - t0) * 1e3, (t2 - t1) * 1e3)
""",
}


def first_call_rows(rounds):
    """(name, ours ms, peer ms): medians over fresh interpreters started in
    turn, of the first projection after the import and of the import and the
    first projection together (both sides open PROJ's database as they are
    imported: reading its schema is most of a first projection's cost)."""
    times = {side: [] for side in FIRST_CALL_CHILD}
    for _ in range(rounds):
        for side, code in FIRST_CALL_CHILD.items():
            out = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, check=True).stdout
            times[side].append([float(v) for v in out.split()])
    med = {side: [statistics.median(t[i] for t in ts) for i in range(2)] for side, ts in times.items()}
    both = {side: statistics.median(t[0] + t[1] for t in ts) for side, ts in times.items()}
    return [
        ("first project 4326 -> 3857, after the import", med["ours"][1], med["peer"][1]),
        ("import and first project 4326 -> 3857", both["ours"], both["peer"]),
    ]


def nesting_rows():
    """Areas of fresh polygons of many disjoint rings: ring nesting at work."""
    rings = [square((i % 300) * 3.0, (i // 300) * 3.0, 1.0) for i in range(100000)]
    boxes = [shapely.Polygon(r) for r in rings]
    d = {"rings": rings}
    part = {"rings": rings[:40000]}
    return [
        ("area of a fresh polygon of 10^5 rings (build + area)", lambda: og.Polygon(d).area,
         lambda: shapely.MultiPolygon(boxes).area),
        ("buffer(0) of a fresh polygon of 40 000 rings (build + buffer)", lambda: og.Polygon(part).buffer(0), None),
    ]


def kept_rows():
    """Whole-collection areas right after a full garbage collection."""
    rows = []
    rng = random.Random(11)
    for n in (10000, 100000):
        quads = [square(rng.uniform(0, 1000), rng.uniform(0, 1000), rng.uniform(1, 5)) for _ in range(n)]
        ours = [og.Polygon({"rings": [q]}) for q in quads]
        theirs = shapely.polygons(quads)
        label = f"{n:,}".replace(",", " ")
        rows.append((f"area_collection right after gc.collect(), {label} quads",
                     lambda ours=ours: (gc.collect(), og.area_collection(ours)),
                     lambda theirs=theirs: (gc.collect(), shapely.area(theirs).sum())))
    return rows


# ---- memory ----

SMALL_POLYGONS_CHILD = r"""
import gc, sys
side, n = sys.argv[1], int(sys.argv[2])
def rss():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * 4096
quads = [[[x, y], [x, y + 1], [x + 1, y + 1], [x + 1, y], [x, y]]
         for x, y in ((i % 1000 * 2.0, i // 1000 * 2.0) for i in range(n))]
if side == "ours":
    import ostrel_geometry as og
    probe = og.Point({"x": -5.0, "y": -5.0})
    og.Polygon({"rings": [quads[0]]}).area  # the runtime loaded before the first mark
    gc.collect()
    before = rss()
    held = [og.Polygon({"rings": [q]}) for q in quads]
    og.area_collection(held)
    og.intersects_collection(probe, held)
else:
    import shapely
    probe = shapely.Point(-5.0, -5.0)
    gc.collect()
    before = rss()
    held = shapely.polygons(quads)
    shapely.area(held).sum()
    shapely.intersects(held, probe).any()
print((rss() - before) / n)
"""


def small_polygon_memory_line(n=100000):
    here = os.path.dirname(os.path.abspath(__file__))
    per = {side: float(subprocess.run([sys.executable, "-c", SMALL_POLYGONS_CHILD, side, str(n)], cwd=here,
                                      capture_output=True, text=True, check=True).stdout)
           for side in ("ours", "shapely")}
    return (f"{n:,}".replace(",", " ") + f" quads after area and intersects: {per['ours']:.0f} B per polygon "
            f"(resident size) against Shapely's {per['shapely']:.0f} B = {per['ours'] / per['shapely']:.2f}x")

MEMORY_CHILD = r"""
import ctypes, gc, resource, sys
sys.path.insert(0, sys.argv[1])
from bench_table import star, square
import ostrel_geometry as og

libc = ctypes.CDLL("libc.so.6")
class Info(ctypes.Structure):
    _fields_ = [(n, ctypes.c_size_t) for n in
                "arena ordblks smblks hblks hblkhd usmblks fsmblks uordblks fordblks keepcost".split()]
libc.mallinfo2.restype = Info
def in_use():
    # Bytes the allocator has handed out and not taken back; resident size
    # would also count what was freed but kept by the allocator.
    m = libc.mallinfo2()
    return m.uordblks + m.hblkhd
d = {"rings": [star(200000)]}
box = og.Polygon({"rings": [square(80.0, -10.0, 40.0)]})
gc.collect()
marks = [in_use()]
p = og.Polygon(d)
gc.collect()
marks.append(in_use())
p.area  # builds the runtime geometry
marks.append(in_use())
p.intersects(box)  # the GEOS form
marks.append(in_use())
p.intersects(box)  # prepared from the second predicate on;
p.intersects(box)  # GEOS builds its indexes at first use
marks.append(in_use())
deltas = [b - a for a, b in zip(marks, marks[1:])]
print(*deltas, resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024)
"""


def memory_line():
    out = subprocess.run([sys.executable, "-c", MEMORY_CHILD, os.path.dirname(os.path.abspath(__file__))],
                         capture_output=True, text=True, check=True).stdout.split()
    model, runtime, geos, prepared, peak = (int(v) for v in out)
    kept = runtime + geos + prepared
    mb = 1 << 20
    return (f"200 000-vertex polygon: Python model {model / mb:.1f} MB; kept after intersects "
            f"{kept / mb:.1f} MB = {kept / max(model, 1):.1f}x the model (runtime geometry {runtime / mb:.1f} MB, "
            f"GEOS form {geos / mb:.1f} MB, prepared geometry and its indexes {prepared / mb:.1f} MB); "
            f"peak resident size of the process {peak / mb:.0f} MB")


# ---- output ----


def machine():
    cpu = "unknown CPU"
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    cpu = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    return (f"{cpu}, {os.cpu_count()} logical CPUs, {platform.system()} {platform.release()}; "
            f"Python {platform.python_version()}; Shapely {shapely.__version__} "
            f"(GEOS {'.'.join(map(str, shapely.geos_version))}); pyproj {pyproj.__version__} "
            f"(PROJ {pyproj.proj_version_str}); ostrel_geometry {og.__version__}")


def fmt_ratio(r):
    return f"{r:.2f}" if r == r else "-"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sizes", default="4,100,10000,200000")
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--write", help="also write the tables to this Markdown file")
    args = parser.parse_args()
    sizes = [int(s) for s in args.sizes.split(",")]
    lines = []

    def emit(text=""):
        print(text, flush=True)
        lines.append(text)

    emit(f"Machine: {machine()}")
    emit()
    emit("Ratio of median times per call, ours / peer (below 1: ours is faster).")
    emit()
    table = {}
    names = []
    for n in sizes:
        for name, ours, peer in single_rows(n):
            if name not in names:
                names.append(name)
            rounds = args.rounds if n < 200000 else max(3, args.rounds // 2)
            t_ours, t_peer = interleaved_medians([ours, peer], rounds=rounds)
            table[name, n] = (t_ours, t_peer)
    emit("| operation | " + " | ".join(f"n = {n:,}".replace(",", " ") for n in sizes) + " |")
    emit("|---|" + "---|" * len(sizes))
    for name in names:
        emit(f"| {name} | " + " | ".join(fmt_ratio(table[name, n][0] / table[name, n][1]) for n in sizes) + " |")
    emit()
    # Each table's geometries are made only when it is timed.
    for title, rows in (("collection operation", collection_rows), ("kept forms", kept_rows)):
        emit(f"| {title} | ours (ms) | peer (ms) | ratio |")
        emit("|---|---|---|---|")
        for name, ours, peer in rows():
            t_ours, t_peer = interleaved_medians([ours, peer], rounds=args.rounds)
            emit(f"| {name} | {t_ours * 1e3:.3f} | {t_peer * 1e3:.3f} | {fmt_ratio(t_ours / t_peer)} |")
        emit()
    emit("| first call in a fresh process | ours (ms) | peer (ms) | ratio |")
    emit("|---|---|---|---|")
    for name, t_ours, t_peer in first_call_rows(max(args.rounds, 9)):
        emit(f"| {name} | {t_ours:.1f} | {t_peer:.1f} | {fmt_ratio(t_ours / t_peer)} |")
    emit()
    emit("| ring nesting | ours (ms) | peer (ms) | ratio |")
    emit("|---|---|---|---|")
    for name, ours, peer in nesting_rows():
        if peer is None:
            (t_ours,) = interleaved_medians([ours], rounds=3, sample_seconds=0)
            emit(f"| {name} | {t_ours * 1e3:.0f} | - | - |")
        else:
            t_ours, t_peer = interleaved_medians([ours, peer], rounds=3, sample_seconds=0)
            emit(f"| {name} | {t_ours * 1e3:.0f} | {t_peer * 1e3:.0f} | {fmt_ratio(t_ours / t_peer)} |")
    emit()
    emit(f"Memory: {memory_line()}")
    emit()
    emit(f"Memory of small polygons: {small_polygon_memory_line()}")
    if args.write:
        # The hand-written notes at the end of an earlier file are kept.
        notes = ""
        if os.path.exists(args.write):
            with open(args.write) as f:
                text = f.read()
            if "\n## Notes" in text:
                notes = text[text.index("\n## Notes"):]
        with open(args.write, "w") as f:
            f.write("# Benchmark results\n\n")
            f.write("Made by `python bench/bench_table.py --write bench/RESULTS.md`; what the rows time is "
                    "described at the top of `bench/bench_table.py`.\n\n")
            f.write("\n".join(lines) + "\n" + notes)


if __name__ == "__main__":
    main()
