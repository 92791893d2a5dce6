"""Accuracy of the geodetic engine against references computed independently
(tests/python/geodetic_reference.py: Vincenty's formulas, quadrature of the
meridian arc and of the area integral, loxodromes from the isometric latitude,
plane sections of the ellipsoid in closed form), and of projections and
datum transformations against their closed formulas."""

import json
import math
import random

import pytest

import geodetic_reference as ref
import ostrel_geometry as og
from ostrel_geometry import projection

WGS84 = {"wkid": 4326}
CT = og.GeodeticCurveType
METERS = og.LinearUnitId.Meters


def line(points, sr=WGS84):
    return og.Polyline({"paths": [points], "spatialReference": sr})


def polygon(ring, sr=WGS84):
    return og.Polygon({"rings": [ring], "spatialReference": sr})


def point(x, y, sr=WGS84):
    return og.Point({"x": x, "y": y, "spatialReference": sr})


def as_dict(g):
    return json.loads(str(g))


def off_seams(rings):
    """Vertices of buffer rings, without those the antimeridian cut and the
    closing over a pole add (they lie on the cut, not on the offset)."""
    return [(x, y) for r in rings for x, y in r if abs(abs(x) - 180) > 1e-9 and abs(abs(y) - 90) > 1e-9]


# ---- lengths ----

LONG_LINES = [
    ((-74, 40.7), (139.7, 35.7)),  # New York - Tokyo, over the Arctic
    ((0, 0), (100, 60)),
    ((10, -80), (-170, -70)),  # close by the south pole
    ((-179, 10), (179, -20)),  # across the antimeridian
    ((30, 60), (60, 60)),  # along a parallel
    ((2, 48), (2.5, 48.2)),
]

REFERENCE_LENGTH = {
    CT.Geodesic: ref.geodesic_distance,
    CT.Loxodrome: ref.loxodrome_length,
    CT.GreatElliptic: lambda *p: ref.great_ellipse(*p).length(),
    CT.NormalSection: lambda *p: ref.normal_section(*p).length(),
}


@pytest.mark.parametrize("a, b", LONG_LINES)
@pytest.mark.parametrize("curve", list(REFERENCE_LENGTH))
def test_lengths_match_independent_references(curve, a, b):
    got = line([list(a), list(b)]).calculate_length(curve_type=curve)
    assert got == pytest.approx(REFERENCE_LENGTH[curve](*a, *b), abs=1e-3)


# Lines straight in longitude and latitude (shape preserving in 4326) near
# the poles spiral round them; measured by geodesic chords between a few
# dozen samples they came out short by up to 2.6e-6.
POLAR_PLATE_CARREE_LINES = [
    ((130.231309949, -89.661499796), (-155.653434535, -88.961605053)),
    ((-121.8525273158487, -88.85711080599683), (150.42679309052323, -89.90154164634014)),
    ((0, 89.9999), (36000, 90)),  # a hundred turns into the pole
    ((0, 89.99999999), (1e8, 90)),  # and nearly 300 000
    ((10, 90), (20, -90)),  # pole to pole
    ((0, -89), (720, -89)),  # twice round a parallel
    ((-170, 60), (170, 60)),  # the long way round, as the plane draws it
]


@pytest.mark.parametrize("a, b", POLAR_PLATE_CARREE_LINES)
def test_shape_preserving_lengths_near_the_poles(a, b):
    got = line([list(a), list(b)]).calculate_length(curve_type=CT.ShapePreserving)
    assert got == pytest.approx(ref.plate_carree_length(*a, *b), rel=1e-9)


def test_shape_preserving_lengths_of_random_polar_lines():
    rng = random.Random(22)
    for _ in range(300):
        pole = rng.choice([-1, 1])
        a = (rng.uniform(-180, 180), pole * rng.uniform(80, 90))
        b = (rng.uniform(-180, 180), pole * rng.uniform(80, 90))
        got = line([list(a), list(b)]).calculate_length(curve_type=CT.ShapePreserving)
        assert got == pytest.approx(ref.plate_carree_length(*a, *b), rel=1e-9), (a, b)


def test_polar_plate_carree_reference_agrees_with_geodesic_pieces():
    # The quadrature the tests above trust, against another way: Vincenty
    # geodesics between 20 000 and 40 000 points of the line, the two
    # chord sums extrapolated (their shortfall falls with the square of the
    # step).
    a, b = POLAR_PLATE_CARREE_LINES[0]

    def chords(n):
        pts = [(a[0] + (b[0] - a[0]) * k / n, a[1] + (b[1] - a[1]) * k / n) for k in range(n + 1)]
        return sum(ref.geodesic_distance(*p, *q) for p, q in zip(pts, pts[1:]))

    assert (4 * chords(40000) - chords(20000)) / 3 == pytest.approx(ref.plate_carree_length(*a, *b), rel=1e-9)


# ---- areas ----

LARGE_RINGS = [
    [(-100, 20), (-100, 50), (-60, 50), (-60, 20), (-100, 20)],
    [(0, 0), (40, 60), (90, 10), (0, 0)],
    [(-170, -10), (170, -10), (170, 10), (-170, 10), (-170, -10)],  # across the antimeridian
    [(120, -75), (-150, -60), (160, -40), (120, -75)],
]

REFERENCE_KIND = {
    CT.Geodesic: "geodesic",
    CT.Loxodrome: "loxodrome",
    CT.GreatElliptic: "great_elliptic",
    CT.NormalSection: "normal_section",
    # Straight lines of longitude and latitude themselves in 4326.
    CT.ShapePreserving: "plate_carree",
}


@pytest.mark.parametrize("ring", LARGE_RINGS)
@pytest.mark.parametrize("curve", list(REFERENCE_KIND))
def test_areas_of_large_polygons_match_independent_references(curve, ring):
    got = polygon([list(p) for p in ring]).calculate_area(curve_type=curve)
    assert got == pytest.approx(abs(ref.ring_area(REFERENCE_KIND[curve], ring)), rel=1e-9)


def band(west, south, east, north):
    """A clockwise ring round a band of longitude and latitude, with a vertex
    every 10 degrees so that every curve type keeps close to its edges."""
    lons, lats = range(west, east + 1, 10), range(south, north + 1, 10)
    return (
        [(west, y) for y in lats]
        + [(x, north) for x in lons[1:]]
        + [(east, y) for y in reversed(lats[:-1])]
        + [(x, south) for x in reversed(lons[:-1])]
    )


WHOLE_ELLIPSOID = 4 * math.pi * ref.strip(90)


@pytest.mark.parametrize("curve", list(REFERENCE_KIND))
def test_large_rings_measure_by_the_way_round(curve):
    # One rule for every curve type: an exterior ring clockwise bounds the
    # side it runs round, larger than a hemisphere or not; the other way
    # round it bounds the smaller side (shape preserving measured the band
    # either way).
    ring = band(-170, -80, 170, 80)
    inside = abs(ref.ring_area(REFERENCE_KIND[curve], ring))
    assert inside > WHOLE_ELLIPSOID / 2
    clockwise = polygon([list(p) for p in ring]).calculate_area(curve_type=curve)
    counter = polygon([list(p) for p in reversed(ring)]).calculate_area(curve_type=curve)
    assert clockwise == pytest.approx(inside, rel=1e-9)
    assert counter == pytest.approx(WHOLE_ELLIPSOID - inside, abs=1e-9 * WHOLE_ELLIPSOID)


@pytest.mark.parametrize("hole_clockwise", [False, True])
def test_shape_preserving_holes_measure_by_the_way_round(hole_clockwise):
    # A hole counter-clockwise takes away the region it runs round; clockwise,
    # the smaller side, here the rest of the ellipsoid.
    outer, inner = band(-170, -80, 170, 80), band(-160, -70, 160, 70)
    hole = inner if hole_clockwise else inner[::-1]
    inner_area = abs(ref.ring_area("plate_carree", inner))
    taken = WHOLE_ELLIPSOID - inner_area if hole_clockwise else inner_area
    got = og.Polygon({"rings": [[list(p) for p in outer], [list(p) for p in hole]], "spatialReference": WGS84})
    assert got.calculate_area(curve_type=CT.ShapePreserving) == pytest.approx(
        abs(ref.ring_area("plate_carree", outer)) - taken, rel=1e-9
    )


# ---- densified vertices ----


@pytest.mark.parametrize("a, b", [((-74, 40.7), (139.7, 35.7)), ((-150, -30), (160, 20))])
@pytest.mark.parametrize("curve", [CT.Geodesic, CT.Loxodrome, CT.GreatElliptic, CT.NormalSection])
def test_densified_vertices_lie_on_the_curve_at_equal_steps(curve, a, b):
    dense = line([list(a), list(b)]).densify(500000, METERS, curve)
    pts = as_dict(dense)["paths"][0]
    total = REFERENCE_LENGTH[curve](*a, *b)
    assert len(pts) == math.ceil(total / 500000) + 1
    assert pts[0] == list(a) and pts[-1] == list(b)
    step = total / (len(pts) - 1)
    inner = pts[1:-1]
    if curve == CT.Geodesic:
        for p in inner:
            assert ref.geodesic_distance(*a, *p) == pytest.approx(
                total - ref.geodesic_distance(*p, *b), abs=1e-3
            )
        pieces = [ref.geodesic_distance(*p, *q) for p, q in zip(pts, pts[1:])]
    elif curve == CT.Loxodrome:
        # Straight in the Mercator: longitude changes in proportion to the
        # isometric latitude.
        rate = math.remainder(b[0] - a[0], 360) / (ref.isometric(b[1]) - ref.isometric(a[1]))
        for p in inner:
            assert math.remainder(p[0] - a[0], 360) == pytest.approx(
                rate * (ref.isometric(p[1]) - ref.isometric(a[1])), abs=1e-9
            )
        pieces = [ref.loxodrome_length(*p, *q) for p, q in zip(pts, pts[1:])]
    else:
        section = (ref.great_ellipse if curve == CT.GreatElliptic else ref.normal_section)(*a, *b)
        for p in inner:
            assert section.distance_from_plane(*p) < 1e-3
        params = [0.0] + [section.param_of(*p) for p in inner] + [section.end]
        pieces = [section.arc(s, t) for s, t in zip(params, params[1:])]
    assert pieces == pytest.approx([step] * len(pieces), abs=1e-3)


MERCATOR = {"wkid": 3857}


def mercator_lonlat(x, y):
    r = 6378137.0
    return math.degrees(x / r), math.degrees(math.atan(math.sinh(y / r)))


def mercator_piece(p, q):
    # Geodesic chords of 5 km pieces of this line fall short of it by
    # under a millimeter.
    return ref.geodesic_distance(*mercator_lonlat(*p), *mercator_lonlat(*q))


@pytest.mark.parametrize(
    "sr, a, b, piece",
    [
        (WGS84, (2, 48), (12, 55), lambda p, q: ref.plate_carree_length(*p, *q)),
        # Round the south pole, where geodesic chords of 5 km fall short of
        # the line by meters.
        (WGS84, POLAR_PLATE_CARREE_LINES[0][0], POLAR_PLATE_CARREE_LINES[0][1], lambda p, q: ref.plate_carree_length(*p, *q)),
        (MERCATOR, (-8e6, 4e6), (-7.2e6, 4.6e6), mercator_piece),
    ],
)
def test_shape_preserving_densify_steps_equally_along_the_planes_line(sr, a, b, piece):
    # Each point lies on the straight line of the plane, at equal steps
    # along the ground.
    step = 5000
    dense = line([list(a), list(b)], sr).densify(step, METERS, CT.ShapePreserving)
    pts = as_dict(dense)["paths"][0]
    total = line([list(a), list(b)], sr).calculate_length(curve_type=CT.ShapePreserving)
    assert len(pts) == math.ceil(total / step) + 1
    assert pts[0] == list(a) and pts[-1] == list(b)
    dx, dy = b[0] - a[0], b[1] - a[1]
    for x, y in pts:
        assert abs((x - a[0]) * dy - (y - a[1]) * dx) / math.hypot(dx, dy) < 1e-9 * math.hypot(*a)
    pieces = [piece(p, q) for p, q in zip(pts, pts[1:])]
    # A projected plane's edge is sampled some 600 m apart to place its
    # points, which puts them to a few millimeters.
    assert pieces == pytest.approx([total / (len(pts) - 1)] * len(pieces), abs=1e-2)


# ---- buffers near the poles and the antimeridian ----


@pytest.mark.parametrize(
    "cap, parallel",
    [
        ([[-180, 80], [-180, 90], [180, 90], [180, 80], [-180, 80]], 80),
        ([[-180, -90], [-180, -75], [180, -75], [180, -90], [-180, -90]], -75),
    ],
)
@pytest.mark.parametrize("d", [50000, -50000])
def test_polar_cap_buffer_vertices_lie_at_the_distance(cap, parallel, d):
    # The distance to a parallel is the meridian arc between the latitudes:
    # no path to it is shorter than the change of latitude it makes.
    dev = 5.0
    buf = polygon(cap).buffer(d, METERS, dev, CT.ShapePreserving)
    vertices = off_seams(as_dict(buf)["rings"])
    assert len(vertices) > 100
    for _, lat in vertices:
        assert abs(ref.meridian_arc(lat) - ref.meridian_arc(parallel)) == pytest.approx(abs(d), abs=dev)


@pytest.mark.parametrize("curve", [CT.Geodesic, CT.Loxodrome, CT.GreatElliptic, CT.NormalSection])
def test_equator_segment_across_the_antimeridian_buffers_to_its_offsets(curve):
    # These curve types follow the equator the short way, across the
    # antimeridian (a shape-preserving line of 4326 would run the long way
    # round); beside the segment the distance is the meridian arc, beyond its
    # ends the distance to the end.
    d, dev = 20000, 2.0
    buf = line([[179.5, 0], [-179.5, 0]]).buffer(d, METERS, dev, curve)
    rings = as_dict(buf)["rings"]
    assert len(rings) == 2  # cut at the antimeridian
    vertices = off_seams(rings)
    assert len(vertices) > 50
    for lon, lat in vertices:
        along = math.remainder(lon - 179.5, 360)
        if 0 <= along <= 1:
            got = abs(ref.meridian_arc(lat))
        else:
            got = min(ref.geodesic_distance(179.5, 0, lon, lat), ref.geodesic_distance(-179.5, 0, lon, lat))
        assert got == pytest.approx(d, abs=dev)


@pytest.mark.parametrize("lon, lat", [(0, 90), (123, 90), (0, -90), (180, 0), (-180, 45)])
def test_buffers_of_points_on_the_poles_and_the_antimeridian(lon, lat):
    d, dev = 10000, 5.0
    buf = point(lon, lat).buffer(d, METERS, dev, CT.Geodesic)
    rings = as_dict(buf)["rings"]
    assert len(rings) == (1 if abs(lat) == 90 else 2)
    for x, y in off_seams(rings):
        assert ref.geodesic_distance(lon, lat, x, y) == pytest.approx(d, abs=dev)
    assert buf.calculate_area(curve_type=CT.Geodesic) == pytest.approx(math.pi * d * d, rel=1e-3)


# Loxodrome buffers measure the distance along loxodromes (taken the short
# way round in longitude, as lengths are); near a pole they once were
# geodesic circles, 4 % off the loxodromic distance.
LOXODROME_POINT_BUFFERS = [
    ((-0.2431331837140931, 80.73346447184718), 863843.59, 863.8),
    ((10, 50), 100000, 10),
    ((10, 85), 1000000, 100),  # past the pole
    ((10, 90), 100000, 10),  # on it: the loxodromes leaving it are meridians
    ((170, -70), 2000000, 100),  # past the pole and across the antimeridian
]


@pytest.mark.parametrize("center, d, dev", LOXODROME_POINT_BUFFERS)
def test_loxodrome_point_buffers_lie_at_the_loxodromic_distance(center, d, dev):
    buf = point(*center).buffer(d, METERS, dev, CT.Loxodrome)
    vertices = off_seams(as_dict(buf)["rings"])
    assert len(vertices) > 50
    for lon, lat in vertices:
        assert ref.loxodrome_length(*center, lon, lat) == pytest.approx(d, abs=dev)


@pytest.mark.parametrize("center, d, dev", [LOXODROME_POINT_BUFFERS[2], LOXODROME_POINT_BUFFERS[4]])
def test_loxodrome_buffer_past_a_pole_holds_what_loxodromes_reach(center, d, dev):
    # Where the distance passes the pole, the loxodromes that would wind
    # more than half a turn round it reach nothing: every point is reached
    # the short way round, the pole and the cap round it included.
    buf = point(*center).buffer(d, METERS, dev, CT.Loxodrome)
    south = center[1] < 0
    for lat in range(60, 90, 2):
        for lon in range(-178, 180, 8):
            p = (lon, -lat if south else lat)
            reach = ref.loxodrome_length(*center, *p)
            if abs(reach - d) > dev:
                assert buf.contains(point(*p)) == (reach < d), (p, reach)


def test_loxodrome_buffer_in_a_polar_plane():
    # The same circle drawn in a polar stereographic plane: its vertices,
    # carried back to longitude and latitude, lie at the distance too.
    center, d, dev = LOXODROME_POINT_BUFFERS[0]
    polar = {"wkid": 3413}
    buf = point(*center).project(polar).buffer(d, METERS, dev, CT.Loxodrome)
    vertices = [v for r in as_dict(buf)["rings"] for v in r]
    assert len(vertices) > 50
    for x, y in vertices:
        back = as_dict(point(x, y, polar).project(WGS84))
        assert ref.loxodrome_length(*center, back["x"], back["y"]) == pytest.approx(d, abs=dev)


@pytest.mark.parametrize("curve", [CT.GreatElliptic, CT.NormalSection])
def test_section_buffers_lie_at_the_distance_along_their_curve(curve):
    # Their buffers are measured along geodesics, which these curves follow
    # to within a few tenths of a millimeter per kilometer: measured along
    # the curve itself, every vertex lies within the deviation too.
    center, d, dev = (10, 60), 2e6, 2.0
    section = ref.great_ellipse if curve == CT.GreatElliptic else ref.normal_section
    vertices = off_seams(as_dict(point(*center).buffer(d, METERS, dev, curve))["rings"])
    assert len(vertices) > 1000
    for lon, lat in vertices[::10]:
        assert section(*center, lon, lat).length() == pytest.approx(d, abs=dev)


def rhumb_at(a, b, t):
    """The point a fraction t of the way along the loxodrome from a to b."""
    dlon = math.remainder(b[0] - a[0], 360)
    p1, p2 = ref.isometric(a[1]), ref.isometric(b[1])
    lat = a[1] if p1 == p2 else ref.from_isometric(p1 + t * (p2 - p1))
    return a[0] + t * dlon, lat


def point_along(curve, a, b):
    """The point a fraction t of the way along the edge from a to b, as the
    curve type runs it (t proportional to length or not); shape-preserving
    edges are straight in longitude and latitude (4326)."""
    if curve == CT.Loxodrome:
        return lambda t: rhumb_at(a, b, t)
    if curve == CT.ShapePreserving:
        return lambda t: (a[0] + t * (b[0] - a[0]), a[1] + t * (b[1] - a[1]))
    if curve == CT.Geodesic:
        s, azi = ref.geodesic_inverse(*a, *b)
        return lambda t: ref.geodesic_direct(*a, azi, t * s)[:2]
    section = (ref.great_ellipse if curve == CT.GreatElliptic else ref.normal_section)(*a, *b)
    return lambda t: ref.surface_lonlat(*section.at(t * section.end))


def distance_to(curve, path, p):
    """The distance from p to the nearest point of a path whose edges are of
    this curve type, along loxodromes for the loxodrome and along geodesics
    otherwise: a scan of each edge, then a golden-section search about the
    nearest sample."""
    measure = ref.loxodrome_length if curve == CT.Loxodrome else ref.geodesic_distance
    if len(path) == 1:
        if curve in (CT.GreatElliptic, CT.NormalSection) and measure(*path[0], *p) > 1:
            section = ref.great_ellipse if curve == CT.GreatElliptic else ref.normal_section
            return section(*path[0], *p).length()
        return measure(*path[0], *p)
    best = math.inf
    for a, b in zip(path, path[1:]):
        at = point_along(curve, a, b)
        f = lambda t: measure(*at(t), *p)  # noqa: E731
        n = 32
        k = min(range(n + 1), key=lambda i: f(i / n))
        lo, hi = max(0.0, (k - 1) / n), min(1.0, (k + 1) / n)
        g = (math.sqrt(5) - 1) / 2
        for _ in range(40):
            x1, x2 = hi - g * (hi - lo), lo + g * (hi - lo)
            if f(x1) < f(x2):
                hi = x2
            else:
                lo = x1
        best = min(best, f(k / n), f((lo + hi) / 2))
    return best


@pytest.mark.parametrize(
    "path, d, dev",
    [
        ([[0, 80], [60, 82]], 300000, 300),
        ([[-0.24, 80.73], [30, 70], [100, 75]], 863843.59, 863.8),
        ([[10, 60], [10, 70]], 500000, 50),  # offsets of a meridian lean poleward
        ([[0, 85], [90, 85]], 1000000, 100),  # past the pole: circles along the edge
        ([[0, 70], [0, 75], [40, 75], [40, 70], [0, 70]], -100000, 100),  # inside a polygon
    ],
)
def test_loxodrome_buffers_of_lines_lie_at_the_loxodromic_distance(path, d, dev):
    g = polygon(path) if d < 0 else line(path)
    vertices = off_seams(as_dict(g.buffer(d, METERS, dev, CT.Loxodrome))["rings"])
    assert len(vertices) > 20
    for lon, lat in vertices[:: max(1, len(vertices) // 30)]:
        assert distance_to(CT.Loxodrome, path, (lon, lat)) == pytest.approx(abs(d), abs=dev)


@pytest.mark.parametrize("curve", [CT.Geodesic, CT.GreatElliptic])
def test_outline_far_smaller_than_the_distance_buffers_to_a_circle(curve):
    # Every piece of such a buffer overlaps every other; the vertices still
    # lie at the distance from the outline, here a geodesic circle of 1 km
    # (united all at once, a smooth outline of 1000 vertices came out up to
    # 2 km short of the distance, after 2 s; of 3000 vertices after 24 s).
    lon0, lat0, r, d, dev = 10.0, 50.0, 1000.0, 100000.0, 100.0
    ring = [list(ref.geodesic_direct(lon0, lat0, -360.0 * k / 1000, r)[:2]) for k in range(1000)]
    buf = polygon(ring + [ring[0]]).buffer(d, METERS, dev, curve)
    rings = as_dict(buf)["rings"]
    assert len(rings) == 1 and len(rings[0]) > 100
    for lon, lat in rings[0]:
        assert ref.geodesic_distance(lon0, lat0, lon, lat) == pytest.approx(r + d, abs=dev)
    assert as_dict(polygon(ring + [ring[0]]).buffer(-d, METERS, dev, curve))["rings"] == []


def test_buffer_of_a_street_grid_keeps_every_block():
    # 81 blocks: more holes than are cut from the region one at a time.  Each
    # block is the square between its streets, narrowed by the distance.
    n, step, d, dev = 10, 0.001, 5.0, 0.5
    paths = [[[10, 50 + k * step], [10 + n * step, 50 + k * step]] for k in range(n + 1)]
    paths += [[[10 + k * step, 50], [10 + k * step, 50 + n * step]] for k in range(n + 1)]
    grid = og.Polyline({"paths": paths, "spatialReference": WGS84})
    rings = as_dict(grid.buffer(d, METERS, dev, CT.Geodesic))["rings"]
    holes = [r for r in rings if not og.utils.is_clockwise(r)]
    assert len(rings) == 1 + n * n and len(holes) == n * n
    for hole in holes:
        lons = [p[0] for p in hole]
        lats = [p[1] for p in hole]
        west, south = min(lons), min(lats)
        street_w = 10 + round((west - 10) / step) * step
        street_s = 50 + round((south - 50) / step) * step
        assert ref.geodesic_distance(street_w, south, west, south) == pytest.approx(d, abs=dev)
        assert ref.meridian_arc(south) - ref.meridian_arc(street_s) == pytest.approx(d, abs=dev)


# Buffers within 0 - 500 km of a pole, with distances that pass it and that
# do not: every vertex off the pole lies at the distance from the input,
# measured as the curve type measures it (near a pole the loxodromic
# distance changes up to thousands of times faster than the ground under
# it).  Where the buffer holds the pole, its rings are closed over it along
# the antimeridian: those vertices at the pole are not on the outline.
POLAR_BUFFERS = [
    # curve, path, distance, deviation
    (CT.Loxodrome, [(30.0, 89.7935)], 24000, 8),  # 23 km from the pole: the outline passes within a meter of it
    (CT.Loxodrome, [(-53.63347158653343, 86.97461228531556)], 413877.653, 50.11),
    (CT.Loxodrome, [(-163.6541805405807, -89.95982516693215)], 5924.978, 10.25),
    (CT.Loxodrome, [(12.0, -86.0)], 150000, 15),  # does not reach the pole
    # Lines whose circles notched each other by 22 km on the far side.
    (CT.Loxodrome, [(66.93520929717505, 89.95822955854001), (-82.85533698325492, 89.41108912563126)], 781031.165, 2327),
    (CT.Loxodrome, [(-20.0, -88.5), (40.0, -88.0), (100.0, -88.7)], 60000, 60),
    (CT.Geodesic, [(10.0, 89.9)], 30000, 3),
    (CT.Geodesic, [(-45.0, -88.0), (135.0, -89.5)], 120000, 20),
    (CT.GreatElliptic, [(100.0, -89.95)], 8000, 1),
    (CT.GreatElliptic, [(0.0, 88.0), (60.0, 87.0), (170.0, 88.5)], 200000, 50),
    (CT.NormalSection, [(-120.0, 87.5)], 400000, 40),
    (CT.NormalSection, [(10.0, -89.0), (-100.0, -88.0)], 90000, 9),
    # Straight in longitude and latitude: near the pole an edge a step long
    # winds round it, far from the geodesic between its ends.
    (CT.ShapePreserving, [(-113.29325152176477, -89.9950077709848), (-66.00590729641797, -89.97303585147012)], 2585.179, 10.1),
    (CT.ShapePreserving, [(88.30386639424484, -89.9829667210938), (-40.35935795579016, -89.96640709649937)], 10902.825, 17.88),
    (CT.ShapePreserving, [(-150.0, 89.5), (30.0, 89.8)], 50000, 10),
]


@pytest.mark.parametrize("curve, path, d, dev", POLAR_BUFFERS)
def test_polar_buffer_vertices_lie_at_the_distance(curve, path, d, dev):
    g = point(*path[0]) if len(path) == 1 else line([list(p) for p in path])
    vertices = [(x, y) for r in as_dict(g.buffer(d, METERS, dev, curve))["rings"] for x, y in r if abs(abs(y) - 90) > 1e-9]
    assert len(vertices) > 20
    # A point's every vertex; a line's vertices near the pole, where the
    # distance runs fastest, and a spread of the others.
    if len(path) > 1:
        near = [v for v in vertices if abs(v[1]) > 89.9]
        vertices = near[:: max(1, len(near) // 60)] + vertices[:: max(1, len(vertices) // 40)]
    for lon, lat in vertices:
        assert distance_to(curve, path, (lon, lat)) == pytest.approx(d, abs=dev), (lon, lat)


# ---- projections ----


def _snyder_t(phi, e):
    s = math.sin(phi)
    return math.tan(math.pi / 4 - phi / 2) / ((1 - e * s) / (1 + e * s)) ** (e / 2)


def _snyder_m(phi, e):
    return math.cos(phi) / math.sqrt(1 - (e * math.sin(phi)) ** 2)


def _snyder_q(phi, e):
    s = math.sin(phi)
    return (1 - e * e) * (s / (1 - (e * s) ** 2) - math.log((1 - e * s) / (1 + e * s)) / (2 * e))


GRS80 = (6378137.0, 1 / 298.257222101)
WGS84_ELLIPSOID = (6378137.0, 1 / 298.257223563)


def polar_stereographic(lon, lat, lat_ts, lon0, ellipsoid):
    """Polar stereographic with a standard parallel (variant B), either pole."""
    a, f = ellipsoid
    e = math.sqrt(f * (2 - f))
    south = lat_ts < 0
    if south:
        lon, lat, lat_ts, lon0 = -lon, -lat, -lat_ts, -lon0
    pc = math.radians(lat_ts)
    rho = a * _snyder_m(pc, e) * _snyder_t(math.radians(lat), e) / _snyder_t(pc, e)
    lam = math.radians(lon - lon0)
    x, y = rho * math.sin(lam), -rho * math.cos(lam)
    return (-x, -y) if south else (x, y)


def lambert_azimuthal_equal_area(lon, lat, lat0, lon0, x0, y0, ellipsoid):
    a, f = ellipsoid
    e = math.sqrt(f * (2 - f))
    qp = _snyder_q(math.pi / 2, e)
    beta = math.asin(_snyder_q(math.radians(lat), e) / qp)
    beta0 = math.asin(_snyder_q(math.radians(lat0), e) / qp)
    rq = a * math.sqrt(qp / 2)
    dd = a * _snyder_m(math.radians(lat0), e) / (rq * math.cos(beta0))
    lam = math.radians(lon - lon0)
    bb = rq * math.sqrt(2 / (1 + math.sin(beta0) * math.sin(beta) + math.cos(beta0) * math.cos(beta) * math.cos(lam)))
    x = x0 + bb * dd * math.cos(beta) * math.sin(lam)
    y = y0 + bb / dd * (math.cos(beta0) * math.sin(beta) - math.sin(beta0) * math.cos(beta) * math.cos(lam))
    return x, y


def lambert_conformal_conic(lon, lat, lat1, lat2, lat0, lon0, x0, y0, ellipsoid):
    a, f = ellipsoid
    e = math.sqrt(f * (2 - f))
    p1, p2, p0, p = map(math.radians, (lat1, lat2, lat0, lat))
    n = (math.log(_snyder_m(p1, e)) - math.log(_snyder_m(p2, e))) / (
        math.log(_snyder_t(p1, e)) - math.log(_snyder_t(p2, e))
    )
    big_f = _snyder_m(p1, e) / (n * _snyder_t(p1, e) ** n)
    rho, rho0 = a * big_f * _snyder_t(p, e) ** n, a * big_f * _snyder_t(p0, e) ** n
    theta = n * math.radians(lon - lon0)
    return x0 + rho * math.sin(theta), y0 + rho0 - rho * math.cos(theta)


PROJECTIONS = [
    # NSIDC sea-ice polar stereographic north and Antarctic polar stereographic.
    (3413, lambda lon, lat: polar_stereographic(lon, lat, 70, -45, WGS84_ELLIPSOID), [(-45, 75), (100, 60), (10, 89)]),
    (3031, lambda lon, lat: polar_stereographic(lon, lat, -71, 0, WGS84_ELLIPSOID), [(30, -75), (-150, -60)]),
    # ETRS89-extended / LAEA Europe (GRS 80; ETRS89 and WGS 84 are one datum to PROJ).
    (3035, lambda lon, lat: lambert_azimuthal_equal_area(lon, lat, 52, 10, 4321000, 3210000, GRS80), [(2, 48), (25, 65)]),
    # RGF93 / Lambert-93.
    (2154, lambda lon, lat: lambert_conformal_conic(lon, lat, 49, 44, 46.5, 3, 700000, 6600000, GRS80), [(2, 48), (7, 43)]),
]


@pytest.mark.parametrize("wkid, formula, places", PROJECTIONS)
def test_projections_match_their_closed_formulas(wkid, formula, places):
    for lon, lat in places:
        got = as_dict(point(lon, lat).project({"wkid": wkid}))
        x, y = formula(lon, lat)
        assert (got["x"], got["y"]) == (pytest.approx(x, abs=1e-6), pytest.approx(y, abs=1e-6))
        back = as_dict(point(got["x"], got["y"], {"wkid": wkid}).project(WGS84))
        assert (back["x"], back["y"]) == (pytest.approx(lon, abs=1e-8), pytest.approx(lat, abs=1e-8))


# ---- datum transformations ----

CLARKE_1866 = (6378206.4, 1 / 294.978698213898)


def geocentric(lon, lat, ellipsoid):
    a, f = ellipsoid
    e2 = f * (2 - f)
    p, lam = math.radians(lat), math.radians(lon)
    n = a / math.sqrt(1 - e2 * math.sin(p) ** 2)
    return n * math.cos(p) * math.cos(lam), n * math.cos(p) * math.sin(lam), n * (1 - e2) * math.sin(p)


def geodetic(x, y, z, ellipsoid):
    a, f = ellipsoid
    e2 = f * (2 - f)
    p = math.hypot(x, y)
    lat = math.atan2(z, p * (1 - e2))
    for _ in range(30):
        n = a / math.sqrt(1 - e2 * math.sin(lat) ** 2)
        h = p / math.cos(lat) - n
        lat = math.atan2(z, p * (1 - e2 * n / (n + h)))
    return math.degrees(math.atan2(y, x)), math.degrees(lat)


@pytest.mark.parametrize(
    "name, shift",
    [
        ("NAD27 to WGS 84 (3)", (-10, 158, 187)),
        ("NAD27 to WGS 84 (4)", (-8, 160, 176)),
        ("NAD27 to WGS 84 (6)", (-8, 159, 175)),
    ],
)
def test_nad27_transformations_apply_their_geocentric_shifts(name, shift):
    # NAD27 positions on Clarke 1866, moved by the published geocentric
    # translation, are WGS 84 positions (heights are not carried).
    found = {t.name: t for t in projection.get_transformations(WGS84, {"wkid": 4267})}
    to_nad27 = found["Inverse of " + name]
    to_wgs84 = to_nad27.get_inverse()
    assert to_wgs84.name == name
    tx, ty, tz = shift
    for lon, lat in [(-98, 38), (-120, 35), (-75, 42), (-110, 55)]:
        x, y, z = geocentric(lon, lat, CLARKE_1866)
        want = geodetic(x + tx, y + ty, z + tz, WGS84_ELLIPSOID)
        got = as_dict(point(lon, lat, {"wkid": 4267}).project_with_transformation(WGS84, to_wgs84))
        assert (got["x"], got["y"]) == (pytest.approx(want[0], abs=1e-10), pytest.approx(want[1], abs=1e-10))
        # The datum shift moves points by tens of meters, up to about 100 m in the west.
        assert 10 < ref.geodesic_distance(lon, lat, got["x"], got["y"]) < 130
        x, y, z = geocentric(lon, lat, WGS84_ELLIPSOID)
        want = geodetic(x - tx, y - ty, z - tz, CLARKE_1866)
        got = as_dict(point(lon, lat).project_with_transformation({"wkid": 4267}, to_nad27))
        assert (got["x"], got["y"]) == (pytest.approx(want[0], abs=1e-10), pytest.approx(want[1], abs=1e-10))
