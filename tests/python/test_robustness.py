"""Hostile inputs: nothing a caller passes brings the process down, fails as
a broken invariant, or runs without bound."""

import math
import os

import pytest

import ostrel_geometry as og

# Each of these once killed the interpreter (or raised PanicException); each
# runs in a child process so that a crash fails its case instead of the run.
HULL_POINTS = [
    [1e308, -1e308], [-1e308, 1e308], [1.70525e202, 1.08851e202], [8.25622e200, 8.21545e201],
    [3.87515e201, -4.68162e201], [-1.97909e202, 9.22337e18], [-5.43535e201, 1.99185e202], [6.15277e201, 1e200],
    [1.42312e202, -1.4201e202], [5e-324, -8.19095e201], [1e201, 0.0], [-7.99659e201, -1.70343e202],
    [2.79968e201, 1e201], [-1.0, 0.0], [-1.0, 1.0], [1.16214e201, 1.9568e202], [1e201, 1e202], [5e-324, 0.0],
    [2e200, -3.87558e200], [180.0, 1e-300], [1e200, -1e308], [0.0, -1e308],
]
BROKEN_ELLIPSOID = 'GEOGCS["x",DATUM["y",SPHEROID["z",6378137,0.5]],PRIMEM["G",0],UNIT["d",0.0174532925199433]]'
TINY = "[[[0, 0], [0, 1e-170], [1e-170, 1e-170], [1e-170, 0], [0, 0]]]"
CRASHES = {
    "hull of extreme points": (
        f"og.MultiPoint({{'points': {HULL_POINTS!r}}}).convex_hull()",
        "too large for the geometry engine",
    ),
    "hull collection of extreme points": (
        f"og.Geometry.convex_hull_collection([og.MultiPoint({{'points': {HULL_POINTS!r}}})], True)",
        "too large for the geometry engine",
    ),
    "relation of an extreme point": (
        "og.Point({'x': 1e300, 'y': 1}).within(og.Polygon({'rings': [[[0, 0], [0, 1], [1, 1]]]}))",
        "too large for the geometry engine",
    ),
    "label point of a denormal curved ring": (
        "og.Polygon({'curveRings': [[[0, 0], {'a': [[0.0, 0], [5e-324, 0], 0, 1]},"
        " {'b': [[0, 0], [0.0, 5e-324], [5e-324, 0.0]]}, [0, 0]]]}).label_point()",
        None,
    ),
    "label point of an underflowing area": (f"og.Polygon({{'rings': {TINY}}}).label_point()", None),
    "label points of an underflowing area": (f"og.label_point_collection([og.Polygon({{'rings': {TINY}}})])", None),
    "transformations to another body": (
        "assert og.projection.get_transformations({'wkid': 4326}, {'wkid': 104971}) == []",
        None,
    ),
    "transformations within an area on the antimeridian": (
        "og.projection.get_transformations({'wkid': 4326, 'vcsWkid': 5773}, {'wkid': 4326},"
        " og.Envelope({'spatialReference': {'wkid': 4326}, 'xmin': 180, 'ymin': 0, 'xmax': 181, 'ymax': 1}))",
        None,
    ),
    # An ellipsoid whose polar semi-axis is negative (inverse flattening 0.5):
    # the area of interest cannot be placed, and so is not used.
    "transformations within an area in a reference of a broken ellipsoid": (
        f"assert og.projection.get_transformations({{'wkt': {BROKEN_ELLIPSOID!r}}}, {{'wkid': 4326}},"
        " og.Envelope({'xmin': 0, 'ymin': 0, 'xmax': 1, 'ymax': 1}), False) == []",
        None,
    ),
    "transformations within an area given in a reference of a broken ellipsoid": (
        "assert og.projection.get_transformations({'wkid': 4326}, {'wkid': 4269},"
        f" og.Envelope({{'xmin': 0, 'ymin': 0, 'xmax': 1, 'ymax': 1, 'spatialReference': {{'wkt': {BROKEN_ELLIPSOID!r}}}}}),"
        " True)",
        None,
    ),
}


def told(proc):
    """All a child left behind, for the message of a failed check: a child
    ended by a signal (the machine's OOM killer, a crash) says which."""
    end = f"signal {-proc.returncode}" if proc.returncode < 0 else f"exit status {proc.returncode}"
    return f"{end}\nstdout:\n{proc.stdout[-2000:]}\nstderr:\n{proc.stderr[-2000:]}"


@pytest.mark.parametrize("name", list(CRASHES))
def test_hostile_inputs_end_in_an_answer_or_an_ordinary_error(name, python_run):
    call, error = CRASHES[name]
    proc = python_run(
        f"""
        import ostrel_geometry as og
        try:
            {call}
            print("answered")
        except Exception as e:
            print(f"error: {{type(e).__name__}}: {{e}}")
        """
    )
    assert proc.returncode == 0, told(proc)
    assert proc.stdout.startswith("error:" if error else "answered"), told(proc)
    if error:
        assert proc.stdout.startswith("error: Exception: ") and error in proc.stdout, told(proc)


def test_every_other_body_has_no_transformation_from_the_earth():
    for wkid in range(104872, 105000):
        for a, b in (({"wkid": 4326}, {"wkid": wkid}), ({"wkid": wkid}, {"wkid": 4326})):
            try:
                og.projection.get_transformations(a, b)
            except Exception:
                pass  # an unknown wkid: refused as a spatial reference, not a panic


def square(s, x0=0.0, y0=0.0):
    return og.Polygon({"rings": [[[x0, y0], [x0, y0 + s], [x0 + s, y0 + s], [x0 + s, y0], [x0, y0]]]})


@pytest.mark.parametrize("s", [1e-170, 1e-310, 1e200, 1e300])
def test_label_points_of_polygons_beyond_the_engine_range_scale_exactly(s):
    # Scaling by a power of two is exact, so the label point is the one of the
    # unit square scaled back.
    unit = square(1.0).label_point()
    p = square(s).label_point()
    assert (p.x, p.y) == pytest.approx((unit.x * s, unit.y * s), rel=1e-9)
    assert og.label_point_collection([square(s)])[0].x == p.x


LINE_4326 = {"paths": [[[(-40 if i % 2 else 40), 0] for i in range(51)]], "spatialReference": {"wkid": 4326}}


@pytest.mark.parametrize(
    "call, text",
    [
        # Each segment stays under the per-segment count, the whole line does not.
        (lambda: og.Polyline(LINE_4326).densify(1.0, og.LinearUnitId.Meters, og.GeodeticCurveType.Geodesic),
         "The maximum segment length is too small for the geometry"),
        (lambda: og.densify_collection([og.Polyline(LINE_4326)], 1.0, og.LinearUnitId.Meters,
                                       og.GeodeticCurveType.Loxodrome),
         "The maximum segment length is too small for the geometry"),
        # Edges straight in the plane are sampled eight times for every
        # point they get: counted from their lengths before any is sampled.
        (lambda: og.Polygon({"rings": [[[0, 0], [0, 1e6], [1e6, 1e6], [1e6, 0], [0, 0]]],
                             "spatialReference": {"wkid": 3857}})
         .densify(0.1, og.LinearUnitId.Meters, og.GeodeticCurveType.ShapePreserving),
         "The maximum segment length is too small for the geometry"),
        # The limit of the projected range is itself outside it.
        (lambda: og.Polygon({"rings": [[[0, 0], [0, 1e10], [1, 1e10], [1, 0]]], "spatialReference": {"wkid": 3857}})
         .buffer(10, og.LinearUnitId.Meters, 1.0, og.GeodeticCurveType.Geodesic),
         "The coordinates lie far outside the range of the coordinate system"),
        (lambda: og.Polyline({"paths": [[[0, 0], [2e9, 0]]], "spatialReference": {"wkid": 4326}})
         .calculate_length(og.GeodeticCurveType.Geodesic, og.LinearUnitId.Meters),
         "The coordinates lie far outside the range of the coordinate system"),
        # A buffer a few times thicker than rounding along 70 km of edges:
        # offset points beyond the budget (it ran for minutes).
        (lambda: og.Polyline({"paths": [[[-19.5955, -1.5735], [-20.2059, -1.6163], [-19.5955, -1.5735]]],
                              "spatialReference": {"wkid": 4269}})
         .buffer(1e-5, og.LinearUnitId.Inches, 1.0, og.GeodeticCurveType.GreatElliptic),
         "The maximum deviation is too small for the geometry"),
        # An edge straight in the plane winding round the globe 25 times.
        (lambda: og.Envelope({"spatialReference": {"wkid": 3857}, "xmin": 0, "ymin": 179.4, "xmax": 1e9, "ymax": 180})
         .buffer(1.0, og.LinearUnitId.Meters, 1e9, og.GeodeticCurveType.ShapePreserving),
         "The maximum deviation is too small for the geometry"),
        (lambda: og.Polyline({"paths": [[[0, 0], [0, 1e16]]], "spatialReference": {"wkid": 3857}})
         .densify(1e6, og.LinearUnitId.Meters, og.GeodeticCurveType.ShapePreserving),
         "The coordinates lie far outside the range of the coordinate system"),
    ],
)
def test_geodetic_work_is_bounded_by_a_stated_budget(call, text):
    with pytest.raises(Exception, match=text) as info:
        call()
    assert type(info.value) is Exception


def test_geodetic_measures_of_edges_winding_round_the_globe_follow_a_budget():
    # The Bezier's far control point makes edges that wind round the globe
    # hundreds of times: areas and lengths follow them with a bounded number
    # of pieces (with the control point at 9e15 the area took 22 s).
    p = og.Polygon({"curveRings": [[[-52.57, -123.81], {"b": [[0, 1e-300], [1, 107.34], [9e9, 147.90]]}]],
                    "spatialReference": {"wkid": 102100}})
    CT = og.GeodeticCurveType
    for curve in (CT.NormalSection, CT.GreatElliptic, CT.ShapePreserving):
        assert math.isfinite(og.area_collection([p], curve))
        assert p.calculate_length(curve, og.LinearUnitId.Meters) > 4e9
    far = og.Polygon({"curveRings": [[[-52.57, -123.81], {"b": [[0, 1e-300], [1, 107.34], [9007199254740992, 147.90]]}]],
                      "spatialReference": {"wkid": 102100}})
    with pytest.raises(Exception, match="far outside the range of the coordinate system"):
        og.area_collection([far], CT.NormalSection)


# AddressSanitizer's own bookkeeping cannot run under a limit on the address
# space: it stops the process instead of letting an allocation fail.
needs_address_space_limit = pytest.mark.skipif(
    "libasan" in os.environ.get("LD_PRELOAD", ""), reason="AddressSanitizer does not run under an address-space limit"
)


@needs_address_space_limit
def test_running_out_of_memory_is_a_memory_error_that_leaves_the_geometry_usable(python_run):
    proc = python_run(
        """
        import resource
        import ostrel_geometry as og
        line = og.Polyline({"paths": [[[float(i), float(i % 7)] for i in range(4_000_000)]]})
        used = int(open("/proc/self/statm").read().split()[0]) * resource.getpagesize()
        soft, hard = resource.getrlimit(resource.RLIMIT_AS)
        resource.setrlimit(resource.RLIMIT_AS, (used + 50_000_000, hard))
        try:
            line.length
            print("no failure")
        except MemoryError:
            print("memory error")
        finally:
            resource.setrlimit(resource.RLIMIT_AS, (soft, hard))
        print(str(line).startswith('{"paths": [[[0, 0], [1, 1]'), line.length > 0)
        """
    )
    assert proc.returncode == 0, told(proc)
    assert proc.stdout.splitlines() == ["memory error", "True True"], told(proc)


@needs_address_space_limit
def test_ids_of_every_authority_resolve_once_memory_is_back(python_run):
    # A lookup of an id reads PROJ's database, which 100 kB of room does not
    # hold: the lookup fails as memory running out (not as an unknown id),
    # and must not leave the process knowing only EPSG's ids (104971 and
    # 102100 are another authority's of PROJ's database).
    proc = python_run(
        """
        import resource
        import ostrel_geometry as og
        calls = [
            lambda: og.projection.get_transformations({"wkid": 4326}, {"wkid": 104971}),
            lambda: og.Point({"x": 10, "y": 50, "spatialReference": {"wkid": 4326}}).project({"wkid": 3857}),
        ]
        for call in calls:
            used = int(open("/proc/self/statm").read().split()[0]) * resource.getpagesize()
            soft, hard = resource.getrlimit(resource.RLIMIT_AS)
            resource.setrlimit(resource.RLIMIT_AS, (used + 100_000, hard))
            try:
                call()
                print("no failure")
            except Exception as e:
                print(type(e).__name__)
            finally:
                resource.setrlimit(resource.RLIMIT_AS, (soft, hard))
        print(og.projection.get_transformations({"wkid": 4326}, {"wkid": 104971}))
        p = og.Point({"x": 10, "y": 50, "spatialReference": {"wkid": 4326}}).project({"wkid": 102100})
        print(round(p.x), round(p.y))
        """
    )
    assert proc.returncode == 0, told(proc)
    assert proc.stdout.splitlines() == ["MemoryError", "MemoryError", "[]", "1113195 6446276"], told(proc)


@pytest.mark.parametrize("declared", ["hasZ", "hasM"])
def test_values_declared_but_missing_cost_no_more_than_present_ones(declared, python_run):
    # Each result vertex looked for the nearest input segment carrying the
    # value through every segment that carries none: a 20 000-vertex line
    # took minutes.  The zigzag's vertices take the value of the line above
    # it, which runs from value 0 at x = 0 to n at x = n: their own x.
    proc = python_run(
        f"""
        import json
        import ostrel_geometry as og
        n = 20_000
        zigzag = og.Polyline({{"{declared}": True, "paths": [[[float(i), float(i % 2)] for i in range(n)]]}})
        across = og.Polyline({{"paths": [[[0, 0.5], [n, 0.5]]]}})
        alone = json.loads(zigzag.union(across).JSON)
        print(all(v[2] is None for p in alone["paths"] for v in p))
        above = og.Polyline({{"{declared}": True, "paths": [[[0, 100, 0], [n, 100, n]]]}})
        both = json.loads(og.Geometry.union_collection([zigzag, above, across]).JSON)
        print(max(abs(v[2] - v[0]) for p in both["paths"] for v in p))
        """
    )
    assert proc.returncode == 0, told(proc)
    missing, error = proc.stdout.split()
    assert missing == "True", told(proc)
    # Interpolating along the line: a few units of rounding of n.
    assert float(error) <= 8 * 20_000 * 2**-52, told(proc)


def test_wide_buffers_of_tiny_self_crossing_rings_follow_their_output(python_run):
    # GEOS repairs each ring into about 170 slivers and drew a full circle
    # about every one (k = 600 took over a minute, 3 minutes far from the
    # origin; two of them buffered and united, two minutes); 250 points a
    # rounding apart drew 250 circles.  The buffer is one circle: every vertex at the distance from
    # the ring, to the 1e-4 the chords of its arcs may fall short.
    proc = python_run(
        """
        import math
        import ostrel_geometry as og
        d = 147.0
        for k in (200, 478, 600):
            for x0, y0 in ((0.0, 0.0), (1e6, 1e6)):
                pts = [(x0 + i * 1e-9, y0 + (i % 7) * 1e-9) for i in range(k)]
                ring = og.Polygon({"rings": [[list(p) for p in pts + pts[:1]]]})
                crowd = og.MultiPoint({"points": [list(p) for p in pts[:250]]})
                for b in (ring.buffer(d), og.Geometry.buffer_collection([ring, ring], [d], True),
                          crowd.buffer(d)):
                    out = [(v.x, v.y) for r in b.rings for v in r]
                    far = [min(math.hypot(x - px, y - py) for px, py in pts) for x, y in out]
                    print(k, x0, min(far) / d - 1, max(far) / d - 1)
        """
    )
    assert proc.returncode == 0, told(proc)
    for line in proc.stdout.splitlines():
        k, x0, short, long = map(float, line.split())
        # Chords fall short by at most 1e-4 of the distance; the vertices
        # are computed from coordinates near 1e6 to a few units of rounding.
        assert -1e-4 <= short and long <= 1e-9, told(proc)


# AddressSanitizer keeps freed memory in quarantine and maps shadow memory
# besides: resident size then says nothing of what the program holds.
measures_resident_memory = pytest.mark.skipif(
    "libasan" in os.environ.get("LD_PRELOAD", ""), reason="resident size means nothing under AddressSanitizer"
)


@measures_resident_memory
def test_reference_stores_stay_bounded_over_many_distinct_references(python_run):
    # Each text names its own ellipsoid: every store a geodetic measure passes
    # through (references made from text, ellipsoids) meets 10^5 new keys.
    # Once the stores are full, resident memory stays where it was; each
    # measure is the one of its own ellipsoid, kept or made again.
    proc = python_run(
        """
        from geographiclib.geodesic import Geodesic
        import ostrel_geometry as og

        TEXT = ('GEOGCRS["g",DATUM["d",ELLIPSOID["e",{a!r},{rf!r},LENGTHUNIT["metre",1]]],'
                'PRIMEM["Greenwich",0,ANGLEUNIT["degree",0.0174532925199433]],CS[ellipsoidal,2],'
                'AXIS["longitude",east,ORDER[1],ANGLEUNIT["degree",0.0174532925199433]],'
                'AXIS["latitude",north,ORDER[2],ANGLEUNIT["degree",0.0174532925199433]]]')

        def resident():
            with open("/proc/self/statm") as f:
                return int(f.read().split()[1]) * 4096

        worst = 0.0
        for i in range(100_000):
            a, rf = 6_378_137.0 + i * 1e-3, 298.257223563 + (i % 7)
            line = og.Polyline({"paths": [[[0, 0], [1, 1]]], "spatialReference": {"wkt": TEXT.format(a=a, rf=rf)}})
            got = line.calculate_length(curve_type=og.GeodeticCurveType.Geodesic)
            if i % 997 == 0:
                want = Geodesic(a, 1 / rf).Inverse(0, 0, 1, 1)["s12"]
                worst = max(worst, abs(got - want) / want)
            if i == 20_000:
                full = resident()
        print(resident() - full, worst)
        """
    )
    assert proc.returncode == 0, told(proc)
    grown, worst = (float(v) for v in proc.stdout.split())
    # Kept without bound, 80 000 more ellipsoids alone take some 95 MB.
    assert grown < 8e6, told(proc)
    assert worst < 1e-12, told(proc)


@needs_address_space_limit
def test_running_out_of_memory_in_the_engine_or_a_reader_is_a_memory_error(python_run):
    # A coordinate sequence GEOS could not allocate was reported as the
    # engine's failure, and a Python object a reader could not make as the
    # reader's RuntimeError.  Each call is tried under a ladder of caps: it
    # answers or raises MemoryError, whichever allocation fails.  Large
    # blocks always come straight from the system, so that the caps bite
    # whatever the heap holds free.
    proc = python_run(
        """
        import resource
        import ostrel_geometry as og
        line = og.Polyline({"paths": [[[float(i), float(i % 7)] for i in range(2_000_000)]]})
        wkt = "MULTILINESTRING (" + ", ".join(
            "(" + ", ".join(f"{i} {j}" for j in range(50)) + ")" for i in range(20_000)) + ")"
        calls = {
            "buffer": (lambda: line.buffer(1.0), range(20, 120, 40)),
            "convex hull": (lambda: line.convex_hull(), range(20, 120, 40)),
            "buffer collection": (lambda: og.Geometry.buffer_collection([line], [1.0], True), range(20, 120, 40)),
            "wkt": (lambda: og.utils.wkt_to_zorvjson_dict(wkt), range(0, 200, 8)),
            "wkt as geojson": (lambda: og.utils.wkt_to_geojson_dict(wkt), range(0, 200, 8)),
        }
        used = int(open("/proc/self/statm").read().split()[0]) * resource.getpagesize()
        soft, hard = resource.getrlimit(resource.RLIMIT_AS)
        for name, (call, megabytes) in calls.items():
            for mb in megabytes:
                resource.setrlimit(resource.RLIMIT_AS, (used + mb * 1_000_000, hard))
                try:
                    call()
                    end = "answered"
                except MemoryError:
                    end = "memory error"
                except Exception as e:
                    end = f"{type(e).__name__}: {e}"
                finally:
                    resource.setrlimit(resource.RLIMIT_AS, (soft, hard))
                if end not in ("answered", "memory error"):
                    print(name, mb, end)
                if end == "answered":
                    break
        print(line.convex_hull().area > 0, og.utils.wkt_to_zorvjson_dict(wkt)["paths"][-1][-1])
        """,
        env={"MALLOC_MMAP_THRESHOLD_": "65536"},
    )
    assert proc.returncode == 0, told(proc)
    assert proc.stdout.splitlines() == ["True (19999.0, 49.0)"], told(proc)


def test_stacked_copies_of_a_ring_cost_what_one_does(python_run):
    # Each copy of a ring was nested against every other, vertex by vertex,
    # and the engine repaired the stack as a whole: 187 copies of one curved
    # ring took seconds for an area, 2 000 minutes.  A half disc of radius
    # 1: the area counts every copy, the overlays see one.
    proc = python_run(
        """
        import math
        import ostrel_geometry as og
        half = [[-1, 0], {"a": [[1, 0], [0, 0], 0, 1]}, [-1, 0]]
        n = 2_000
        stack = og.Polygon({"curveRings": [half] * n})
        triangle = og.Polygon({"rings": [[[5, 5], [5, 6], [6, 6], [5, 5]]]})
        print(stack.area / (n * math.pi / 2) - 1)
        print(stack.difference(og.Point({"x": 0, "y": 0.5})).area / (math.pi / 2) - 1)
        print(stack.union(triangle).area / (math.pi / 2 + 0.5) - 1)
        """
    )
    assert proc.returncode == 0, told(proc)
    # Sums of n areas, each to rounding.
    assert all(abs(float(e)) <= 1e-12 for e in proc.stdout.split()), told(proc)
