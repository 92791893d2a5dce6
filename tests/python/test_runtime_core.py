"""The runtime library on its own, through ctypes: curve math, builders and
parts, JSON, spatial references, units, containers and error reporting."""

import ctypes
import json
import math

import pytest

from runtime_ctypes import CALLBACK, D, RuntimeError_, load


@pytest.fixture(scope="module")
def rt():
    return load()


@pytest.fixture
def owned(rt):
    """Collects (destroy name, handle) pairs and releases them after the test."""
    items = []

    def keep(destroy, handle):
        assert handle, "null handle"
        items.append((destroy, handle))
        return handle

    yield keep
    for destroy, handle in reversed(items):
        getattr(rt, destroy)(handle)


def pt(rt, owned, x, y):
    return owned("Geometry_destroy", rt.Point_createWithXY(x, y))


def xy(rt, point):
    return rt.Point_getX(point), rt.Point_getY(point)


def arc_facts(rt, owned, seg):
    c = owned("Geometry_destroy", rt.EllipticArcSegment_getCenterPoint(seg))
    return {
        "center": xy(rt, c),
        "start": rt.EllipticArcSegment_getStartAngle(seg),
        "end": rt.EllipticArcSegment_getEndAngle(seg),
        "central": rt.EllipticArcSegment_getCentralAngle(seg),
        "a": rt.EllipticArcSegment_getSemiMajorAxis(seg),
        "ratio": rt.EllipticArcSegment_getMinorMajorRatio(seg),
        "rotation": rt.EllipticArcSegment_getRotationAngle(seg),
        "ccw": rt.EllipticArcSegment_getIsCounterClockwise(seg),
        "circular": rt.EllipticArcSegment_getIsCircular(seg),
    }


def three_point_arc(rt, owned, s, e, i):
    return owned(
        "Segment_destroy",
        rt.EllipticArcSegment_createCircularEllipticArcWithStartEndAndInterior(
            pt(rt, owned, *s), pt(rt, owned, *e), pt(rt, owned, *i), None
        ),
    )


ARCS = [
    # start, end, interior
    ((1, 0), (0, 1), (math.sqrt(0.5), math.sqrt(0.5))),  # quarter, counter-clockwise
    ((0, 1), (1, 0), (math.sqrt(0.5), math.sqrt(0.5))),  # quarter, clockwise
    ((1, 0), (0, 1), (-1, 0)),  # three quarters, the long way round
    ((-3, 0), (3, 0), (0, -3)),  # half circle below
    ((500000.25, 4100000.5), (500010.0, 4100003.0), (500004.0, 4100006.5)),  # far from the origin
    ((0, 0), (1e-6, 0), (5e-7, 1e-7)),  # tiny and flat
]


@pytest.mark.parametrize("s,e,i", ARCS)
def test_three_point_arc_gives_back_its_interior(rt, owned, s, e, i):
    seg = three_point_arc(rt, owned, s, e, i)
    f = arc_facts(rt, owned, seg)
    cx, cy = f["center"]
    r = f["a"]
    size = max(r, math.dist(s, e))
    for p in (s, e, i):
        assert math.dist(p, (cx, cy)) == pytest.approx(r, abs=1e-9 * size)
    assert f["circular"] and f["ratio"] == 1
    assert f["end"] == pytest.approx(f["start"] + f["central"], abs=1e-12)
    # The start angle points at the start, the end angle at the end.
    for ang, p in ((f["start"], s), (f["end"], e)):
        assert cx + r * math.cos(ang) == pytest.approx(p[0], abs=1e-9 * size)
        assert cy + r * math.sin(ang) == pytest.approx(p[1], abs=1e-9 * size)
    # The mid angle gives a point on the same arc: the arc through it is the same.
    mid = (f["start"] + f["end"]) / 2
    back = (cx + r * math.cos(mid), cy + r * math.sin(mid))
    f2 = arc_facts(rt, owned, three_point_arc(rt, owned, s, e, back))
    assert math.dist(f2["center"], f["center"]) <= 1e-9 * size
    assert f2["central"] == pytest.approx(f["central"], abs=1e-9)
    # Direction: counter-clockwise exactly when start, interior, end turn left.
    turn = (i[0] - s[0]) * (e[1] - s[1]) - (i[1] - s[1]) * (e[0] - s[0])
    assert f["ccw"] == (turn > 0)
    assert (f["central"] > 0) == f["ccw"]


@pytest.mark.parametrize("s,e,i", [ARCS[0], ARCS[1], ARCS[3], ((1e6, 1e6), (1e6 + 2, 1e6), (1e6 + 1, 1e6 + 1))])
def test_interior_at_the_middle_is_recomputed_exactly(rt, owned, s, e, i):
    f = arc_facts(rt, owned, three_point_arc(rt, owned, s, e, i))
    mid = (f["start"] + f["end"]) / 2
    back = (f["center"][0] + f["a"] * math.cos(mid), f["center"][1] + f["a"] * math.sin(mid))
    assert math.dist(back, i) <= 1e-9 * max(f["a"], math.dist(s, e))


def test_quarter_arc_values(rt, owned):
    f = arc_facts(rt, owned, three_point_arc(rt, owned, (1, 0), (0, 1), (math.sqrt(0.5), math.sqrt(0.5))))
    assert f["center"] == pytest.approx((0, 0), abs=1e-15)
    assert f["start"] == pytest.approx(0, abs=1e-15)
    assert f["central"] == pytest.approx(math.pi / 2)
    assert f["rotation"] == 0


@pytest.mark.parametrize(
    "s,e,i",
    [((0, 0), (2, 2), (1, 1)), ((0, 0), (0, 0), (0, 0)), ((0, 0), (1, 0), (1, 0)), ((0, 0), (1, math.nan), (0, 1))],
)
def test_degenerate_three_point_arcs_are_refused(rt, owned, s, e, i):
    points = [pt(rt, owned, *p) for p in (s, e, i)]
    before = rt.live()
    with pytest.raises(RuntimeError_) as err:
        rt.EllipticArcSegment_createCircularEllipticArcWithStartEndAndInterior(*points, None)
    assert err.value.code != 0 and err.value.msg
    assert rt.live() == before


def test_full_circle_through_start_and_opposite_point(rt, owned):
    f = arc_facts(rt, owned, three_point_arc(rt, owned, (2, 0), (2, 0), (0, 0)))
    assert f["center"] == pytest.approx((1, 0))
    assert abs(f["central"]) == pytest.approx(2 * math.pi)


@pytest.mark.parametrize("minor", [True, False])
@pytest.mark.parametrize("ccw", [True, False])
@pytest.mark.parametrize("rotation,a,ratio", [(0.0, 5.0, 0.5), (0.7, 4.0, 0.6), (-2.0, 10.0, 1.0)])
def test_elliptic_arc_from_end_points(rt, owned, minor, ccw, rotation, a, ratio):
    s, e = (1.0, 2.0), (3.5, 1.0)
    seg = owned(
        "Segment_destroy",
        rt.EllipticArcSegment_createWithStartAndEndpoints(
            pt(rt, owned, *s), pt(rt, owned, *e), minor, ccw, None, rotation, a, ratio
        ),
    )
    f = arc_facts(rt, owned, seg)
    cx, cy = f["center"]
    rot = f["rotation"]
    # Both end points lie on the ellipse.
    for p in (s, e):
        u = math.cos(rot) * (p[0] - cx) + math.sin(rot) * (p[1] - cy)
        v = -math.sin(rot) * (p[0] - cx) + math.cos(rot) * (p[1] - cy)
        assert (u / f["a"]) ** 2 + (v / (f["a"] * f["ratio"])) ** 2 == pytest.approx(1, abs=1e-9)
    assert f["ccw"] == ccw
    assert (abs(f["central"]) < math.pi) == minor
    assert (f["central"] > 0) == ccw
    assert f["circular"] == (ratio == 1)
    assert f["a"] == pytest.approx(a) and f["ratio"] == pytest.approx(ratio)
    # The polar start and end angles point at the end points.
    for ang, p in ((f["start"], s), (f["end"], e)):
        assert math.atan2(p[1] - cy, p[0] - cx) == pytest.approx(math.remainder(ang, 2 * math.pi), abs=1e-9)


@pytest.mark.parametrize(
    "args",
    [
        (0.0, 5.0, 1.5),  # ratio above 1
        (0.0, 0.0, 0.5),  # no axis
        (0.0, 0.5, 0.5),  # axis far too short for the chord
        (math.nan, 5.0, 0.5),
    ],
)
def test_unusable_elliptic_arcs_are_refused(rt, owned, args):
    s, e = pt(rt, owned, 0, 0), pt(rt, owned, 4, 0)
    before = rt.live()
    with pytest.raises(RuntimeError_):
        rt.EllipticArcSegment_createWithStartAndEndpoints(s, e, True, True, None, *args)
    assert rt.live() == before


def test_circular_arc_with_center(rt, owned):
    s, e, c = pt(rt, owned, 2, 1), pt(rt, owned, 1, 2), pt(rt, owned, 0, 0)
    ccw = arc_facts(rt, owned, owned("Segment_destroy", rt.EllipticArcSegment_createCircularEllipticArcWithCenter(s, e, c, True, True, None)))
    cw = arc_facts(rt, owned, owned("Segment_destroy", rt.EllipticArcSegment_createCircularEllipticArcWithCenter(s, e, c, False, False, None)))
    assert ccw["central"] == pytest.approx(math.atan2(2, 1) - math.atan2(1, 2))
    assert cw["central"] == pytest.approx(ccw["central"] - 2 * math.pi)
    assert ccw["a"] == pytest.approx(math.sqrt(5))
    far = pt(rt, owned, 3, 0)
    with pytest.raises(RuntimeError_):
        rt.EllipticArcSegment_createCircularEllipticArcWithCenter(s, far, c, True, True, None)


def build(rt, owned, kind, parts):
    """parts: lists of (x, y) or ("arc", end, interior) / ("bezier", end, c1, c2)."""
    coll = owned("MutablePartCollection_destroy", rt.MutablePartCollection_createWithSpatialReference(None))
    for items in parts:
        part = rt.MutablePart_createWithSpatialReference(None)
        last = None
        for item in items:
            if item[0] == "arc":
                seg = rt.EllipticArcSegment_createCircularEllipticArcWithStartEndAndInterior(
                    pt(rt, owned, *last), pt(rt, owned, *item[1]), pt(rt, owned, *item[2]), None)
                rt.MutablePart_addSegment(part, seg)
                rt.Segment_destroy(seg)
                last = item[1]
            elif item[0] == "bezier":
                seg = rt.CubicBezierSegment_create(pt(rt, owned, *last), pt(rt, owned, *item[2]),
                                                   pt(rt, owned, *item[3]), pt(rt, owned, *item[1]), None)
                rt.MutablePart_addSegment(part, seg)
                rt.Segment_destroy(seg)
                last = item[1]
            else:
                rt.MutablePart_addPointXY(part, *item)
                last = item
        rt.MutablePartCollection_addPart(coll, part)
        rt.MutablePart_destroy(part)
    create = {"polyline": rt.PolylineBuilder_createFromSpatialReference,
              "polygon": rt.PolygonBuilder_createFromSpatialReference}[kind]
    builder = create(None)
    rt.MultipartBuilder_setParts(builder, coll)
    geom = rt.GeometryBuilder_toGeometry(builder)
    rt.GeometryBuilder_destroy(builder)
    return owned("Geometry_destroy", geom)


def part_of(rt, owned, geom, index):
    parts = owned("ImmutablePartCollection_destroy", rt.Multipart_getParts(geom))
    return owned("ImmutablePart_destroy", rt.ImmutablePartCollection_getPart(parts, index))


def test_polygon_builder_stores_rings_open_and_keeps_a_curved_closing_segment(rt, owned):
    square = [(0, 0), (0, 1), (1, 1), (1, 0), (0, 0)]
    curved = [(0, 0), (2, 0), ("arc", (0, 0), (1, 1))]
    poly = build(rt, owned, "polygon", [square, curved])
    assert rt.Geometry_getObjectType(poly) == 4
    p0, p1 = part_of(rt, owned, poly, 0), part_of(rt, owned, poly, 1)
    assert rt.ImmutablePart_getPointCount(p0) == 4
    assert rt.ImmutablePart_getSegmentIndexFromEndPointIndex(p0, 0) == 3
    assert rt.ImmutablePart_getSegmentIndexFromEndPointIndex(p0, 2) == 1
    assert rt.ImmutablePart_getPointCount(p1) == 2
    assert rt.ImmutablePart_getHasCurves(p1)
    closing = rt.ImmutablePart_getSegmentIndexFromEndPointIndex(p1, 0)
    assert closing == 1
    seg = owned("Segment_destroy", rt.ImmutablePart_getSegment(p1, closing))
    assert rt.Segment_getObjectType(seg) == 3
    line = owned("Segment_destroy", rt.ImmutablePart_getSegment(p1, 0))
    assert rt.Segment_getObjectType(line) == 1
    with pytest.raises(RuntimeError_):
        rt.ImmutablePart_getSegment(p1, 2)
    # A polyline keeps its vertices and no segment ends at vertex 0.
    line_geom = build(rt, owned, "polyline", [square])
    lp = part_of(rt, owned, line_geom, 0)
    assert rt.ImmutablePart_getPointCount(lp) == 5
    assert rt.ImmutablePart_getSegmentIndexFromEndPointIndex(lp, 0) == -1


def vertices_of(rt, owned, geom):
    """Every part's vertices as (x, y, z or None) and whether the geometry has z."""
    has_z = rt.Geometry_getHasZ(geom)
    parts = owned("ImmutablePartCollection_destroy", rt.Multipart_getParts(geom))
    out = []
    for i in range(rt.ImmutablePartCollection_getSize(parts)):
        part = owned("ImmutablePart_destroy", rt.ImmutablePartCollection_getPart(parts, i))
        vs = []
        for k in range(rt.ImmutablePart_getPointCount(part)):
            p = owned("Geometry_destroy", rt.ImmutablePart_getPoint(part, k))
            z = rt.Point_getZ(p) if has_z else None
            vs.append((rt.Point_getX(p), rt.Point_getY(p), None if z is None or math.isnan(z) else z))
        out.append(vs)
    return has_z, out


N = math.nan
# kind, parts given as (x, y) or (x, y, z) vertices (a part of z vertices has
# z; an empty part is () with z or [] without), and what the geometry holds.
COLUMN_CASES = {
    "closed ring given open": ("polygon", [[(0, 0), (0, 1), (1, 1), (0, 0)]],
                               (False, [[(0, 0, None), (0, 1, None), (1, 1, None)]])),
    "ring left open": ("polygon", [[(0, 0), (0, 1), (1, 1)]], (False, [[(0, 0, None), (0, 1, None), (1, 1, None)]])),
    "closing vertex of another z still closes": (
        "polygon", [[(0, 0, 1), (0, 1, 2), (1, 1, 3), (0, 0, 9)]], (True, [[(0, 0, 1), (0, 1, 2), (1, 1, 3)]])),
    "z only on the closing vertex": (
        "polygon", [[(0, 0, N), (0, 1, N), (1, 1, N), (0, 0, 4)]], (True, [[(0, 0, None), (0, 1, None), (1, 1, None)]])),
    "z on some vertices": ("polygon", [[(0, 0, N), (0, 1, 7), (1, 1, N)]],
                           (True, [[(0, 0, None), (0, 1, 7), (1, 1, None)]])),
    "two vertices at one place": ("polygon", [[(2, 3), (2, 3)]], (False, [[(2, 3, None)]])),
    "one vertex": ("polygon", [[(2, 3)]], (False, [[(2, 3, None)]])),
    "an empty part with z gives no z": ("polygon", [(), [(0, 0), (1, 0), (1, 1)]],
                                        (False, [[], [(0, 0, None), (1, 0, None), (1, 1, None)]])),
    "a polyline keeps its ends": ("polyline", [[(0, 0, 1), (1, 0, 2), (0, 0, 3)], ()],
                                  (True, [[(0, 0, 1), (1, 0, 2), (0, 0, 3)], []])),
}


@pytest.mark.parametrize("case", COLUMN_CASES, ids=list(COLUMN_CASES))
def test_a_builder_filled_from_columns_makes_what_parts_and_set_parts_make(rt, owned, case):
    kind, parts, expected = COLUMN_CASES[case]
    create = {"polyline": rt.PolylineBuilder_createFromSpatialReference,
              "polygon": rt.PolygonBuilder_createFromSpatialReference}[kind]
    # Vertex by vertex into mutable parts, then set on a builder.
    coll = owned("MutablePartCollection_destroy", rt.MutablePartCollection_createWithSpatialReference(None))
    for vs in parts:
        part = rt.MutablePart_createWithSpatialReference(None)
        for v in vs:
            if len(v) == 3:
                rt.MutablePart_addPointXYZ(part, *v)
            else:
                rt.MutablePart_addPointXY(part, *v)
        rt.MutablePartCollection_addPart(coll, part)
        rt.MutablePart_destroy(part)
    builder = owned("GeometryBuilder_destroy", create(None))
    rt.MultipartBuilder_setParts(builder, coll)
    by_parts = owned("Geometry_destroy", rt.GeometryBuilder_toGeometry(builder))
    # Part by part from columns.
    builder = owned("GeometryBuilder_destroy", create(None))
    for vs in parts:
        n = len(vs)
        column = lambda k: (D * max(n, 1))(*[v[k] for v in vs])  # noqa: E731
        zs = column(2) if isinstance(vs, tuple) or (vs and len(vs[0]) == 3) else None
        rt.vaskelith_builder_add_part(builder, column(0), column(1), zs, n)
    by_columns = owned("Geometry_destroy", rt.vaskelith_builder_take_geometry(builder))
    assert vertices_of(rt, owned, by_parts) == expected
    assert vertices_of(rt, owned, by_columns) == expected
    assert to_json(rt, by_columns) == to_json(rt, by_parts)
    # The builder is left empty.
    assert vertices_of(rt, owned, owned("Geometry_destroy", rt.vaskelith_builder_take_geometry(builder))) == (False, [])


def test_extent_covers_curves(rt, owned):
    # A half circle bulging up to y = 1 and a Bezier dipping below y = 0.
    g = build(rt, owned, "polyline", [[(-1, 0), ("arc", (1, 0), (0, 1)), ("bezier", (3, 0), (1, -2), (3, -2))]])
    env = owned("Geometry_destroy", rt.Geometry_getExtent(g))
    assert rt.Envelope_getYMax(env) == pytest.approx(1)
    assert rt.Envelope_getYMin(env) == pytest.approx(-1.5)
    assert (rt.Envelope_getXMin(env), rt.Envelope_getXMax(env)) == pytest.approx((-1, 3))


def to_json(rt, g):
    return json.loads(rt.string(rt.Geometry_toJSON(g)))


def from_json(rt, owned, obj):
    text = obj if isinstance(obj, str) else json.dumps(obj)
    return owned("Geometry_destroy", rt.Geometry_fromJSON(text.encode()))


JSON_CASES = [
    {"x": 1.5, "y": -2, "spatialReference": {"wkid": 4326}},
    {"x": 1, "y": 2, "z": 3, "m": 4},
    {"hasZ": True, "points": [[1, 2, 3], [4, 5, 6]]},
    {"paths": [[[0, 0], [1, 1], [2, 0]]], "spatialReference": {"wkid": 3857}},
    {"hasM": True, "rings": [[[0, 0, 7], [0, 1, 7], [1, 1, 7], [0, 0, 7]]]},
    {"curvePaths": [[[0, 0], {"c": [[2, 0], [1, 1]]}, {"b": [[4, 0], [2.5, 1], [3.5, -1]]}]]},
    {"curveRings": [[[0, 0], [4, 0], {"a": [[0, 0], [2, 0], 0, 1, 0, 2.5, 0.5]}]]},
    {"curveRings": [[[0, 0], {"c": [[0, 0], [2, 0]]}]]},  # a full circle keeps its opposite point exactly
    {"xmin": 0, "ymin": 20, "xmax": 10, "ymax": 30, "zmin": 1, "zmax": 2},
]


@pytest.mark.parametrize("obj", JSON_CASES)
def test_json_round_trip(rt, owned, obj):
    first = to_json(rt, from_json(rt, owned, obj))
    second = to_json(rt, from_json(rt, owned, first))
    assert first == second
    for key in ("x", "y", "z", "m", "points", "paths", "rings", "xmin", "ymax", "zmin", "spatialReference"):
        if key in obj:
            assert first[key] == obj[key]


def test_json_of_curves(rt, owned):
    g = from_json(rt, owned, {"curveRings": [[[0, 0], [4, 0], {"c": [[0, 0], [2, 2]]}]]})
    assert rt.Geometry_getHasCurves(g)
    ring = to_json(rt, g)["curveRings"][0]
    assert ring[0] == [0, 0] and ring[1] == [4, 0]
    end, interior = ring[2]["c"]
    assert end == [0, 0]
    assert math.dist(interior, (2, 0)) == pytest.approx(2)  # on the circle about (2, 0)
    assert interior[1] > 0  # and on the upper half, like the given interior point


@pytest.mark.parametrize("text", ["", "{", "[1,2]", '{"x": 1}', '{"paths": [[[0]]]}', '{"foo": 1}',
                                  '{"curvePaths": [[{"c": [[1, 1], [2, 2]]}]]}'])
def test_unreadable_json_is_an_error(rt, text):
    before = rt.live()
    with pytest.raises(RuntimeError_):
        rt.Geometry_fromJSON(text.encode())
    assert rt.live() == before


def test_spatial_references(rt, owned):
    for wkid, geographic in ((4326, True), (3857, False), (102100, False)):
        sr = owned("SpatialReference_destroy", rt.SpatialReference_create(wkid))
        assert rt.SpatialReference_getWKID(sr) == wkid
        assert rt.SpatialReference_getVerticalWKID(sr) == 0
        assert ("GEOGCS" in rt.string(rt.SpatialReference_getWKText(sr))) is True
    sr = owned("SpatialReference_destroy", rt.SpatialReference_createVerticalWKID(4326, 5773))
    assert rt.SpatialReference_getVerticalWKID(sr) == 5773
    wkt = rt.string(rt.SpatialReference_getWKText(owned("SpatialReference_destroy", rt.SpatialReference_create(4326))))
    from_text = owned("SpatialReference_destroy", rt.SpatialReference_createFromWKText(wkt.encode()))
    assert rt.SpatialReference_getWKID(from_text) == 0
    assert rt.string(rt.SpatialReference_getWKText(from_text)) == wkt
    for bad in (lambda: rt.SpatialReference_create(12345678), lambda: rt.SpatialReference_create(0),
                lambda: rt.SpatialReference_createVerticalWKID(4326, 4326),
                lambda: rt.SpatialReference_createFromWKText(b"not a wkt")):
        with pytest.raises(RuntimeError_):
            bad()


@pytest.mark.parametrize("wkid, name, geographic", [
    (54030, "World_Robinson", False),
    (102003, "USA_Contiguous_Albers_Equal_Area_Conic", False),
    (102008, "North_America_Albers_Equal_Area_Conic", False),
    (30100, "Moon", True),
])
def test_ids_outside_epsg_resolve(rt, owned, wkid, name, geographic):
    # None of these ids is an EPSG code: each is found in a later authority of
    # PROJ's database, and keeps the id it was asked for.
    sr = owned("SpatialReference_destroy", rt.SpatialReference_create(wkid))
    assert rt.SpatialReference_getWKID(sr) == wkid
    wkt = rt.string(rt.SpatialReference_getWKText(sr))
    assert name in wkt
    assert wkt.startswith("GEOGCS") is geographic


def test_an_epsg_id_wins_over_the_same_id_elsewhere(rt, owned):
    # 4812 is a projected system in EPSG and a geographic one in a later
    # authority: the EPSG meaning is the one kept.
    sr = owned("SpatialReference_destroy", rt.SpatialReference_create(4812))
    wkt = rt.string(rt.SpatialReference_getWKText(sr))
    assert wkt.startswith("PROJCS") and "Beijing" in wkt and "Voirol" not in wkt


def test_point_keeps_its_spatial_reference(rt, owned):
    g = from_json(rt, owned, {"x": 1, "y": 2, "spatialReference": {"wkid": 4326}})
    sr = owned("SpatialReference_destroy", rt.Geometry_getSpatialReference(g))
    assert rt.SpatialReference_getWKID(sr) == 4326
    bare = pt(rt, owned, 1, 2)
    assert rt.Geometry_getSpatialReference(bare) is None


AREA_UNITS = [(109401, 1e4), (109402, 4046.8564224), (109404, 1), (109405, 0.09290304), (109414, 1e6),
              (109439, 2589988.110336), (109442, 0.83612736), (109450, 1e-2), (109451, 1e-4), (109452, 1e-6)]


def test_area_units(rt, owned):
    m2 = owned("Unit_destroy", rt.AreaUnit_create(109404))
    for code, factor in AREA_UNITS:
        u = owned("Unit_destroy", rt.AreaUnit_create(code))
        assert rt.AreaUnit_getAreaUnitId(u) == code
        assert rt.AreaUnit_toSquareMeters(u, 2.0) == pytest.approx(2 * factor)
        assert rt.AreaUnit_fromSquareMeters(u, 2 * factor) == pytest.approx(2.0)
        assert rt.AreaUnit_convertTo(u, m2, 3.0) == pytest.approx(3 * factor)
        assert rt.AreaUnit_convertFrom(m2, u, 3.0) == pytest.approx(3 * factor)
    acres, ha = owned("Unit_destroy", rt.AreaUnit_create(109402)), owned("Unit_destroy", rt.AreaUnit_create(109401))
    assert rt.AreaUnit_convertTo(ha, acres, 1.0) == pytest.approx(2.4710538146717)
    for code in (0, 9001, 42):
        with pytest.raises(RuntimeError_):
            rt.AreaUnit_create(code)
    for code in (1025, 1033, 9001, 9002, 9030, 9036, 9093, 9096, 109008):
        owned("Unit_destroy", rt.LinearUnit_create(code))
    with pytest.raises(RuntimeError_):
        rt.LinearUnit_create(109402)


def test_vectors_take_only_their_element_type(rt, owned):
    vec = owned("Vector_destroy", rt.Vector_create(43))
    el = owned("Element_destroy", rt.Element_create())
    rt.Element_setValueFromFloat64(el, 2.5)
    rt.Vector_add(vec, el)
    rt.Element_setValueFromGeometry(el, pt(rt, owned, 1, 2))
    with pytest.raises(RuntimeError_):
        rt.Vector_add(vec, el)
    got = owned("Geometry_destroy", rt.Element_getValueAsGeometry(el))
    assert xy(rt, got) == (1, 2)
    rt.Element_clear(el)
    with pytest.raises(RuntimeError_):
        rt.Element_getValueAsGeometry(el)


def test_unsupported_names_report_through_the_library_wide_callback(rt):
    seen = []

    @CALLBACK
    def on_error(_user, err):
        seen.append(rt._read_error(err))

    rt.OstrelRuntimeEnvironment_setErrorCallback(on_error, None)
    try:
        stub = rt.lib.QX_Segment_getHash
        stub.restype = None
        stub.argtypes = []
        stub()
    finally:
        rt.OstrelRuntimeEnvironment_setErrorCallback(CALLBACK(), None)
    assert seen and "QX_Segment_getHash is not supported" in seen[0][1]


def test_install_directory_is_the_library_folder(rt):
    import os

    from runtime_ctypes import LIB_PATH

    assert rt.string(rt.OstrelRuntimeEnvironment_getInstallDirectory()) == os.path.dirname(os.path.realpath(LIB_PATH))


def test_errors_through_null_handles_leave_no_handles(rt, owned):
    before = rt.live()
    with pytest.raises(RuntimeError_) as err:
        rt.Point_getX(None)
    assert err.value.code == 3
    point = pt(rt, owned, 0, 0)
    before = rt.live()
    with pytest.raises(RuntimeError_):
        rt.Multipart_getParts(point)
    assert rt.live() == before


# Texts in the module's own zorvjson form (blanks after separators, bare NaN
# and inf) are read too, since the geometry factory hands them to the runtime.
ZORVJSON_TEXTS = [
    ('{"x": 1, "y": NaN}', 1, lambda j: j["x"] == 1 and j["y"] is None),
    ('{"spatialReference": {}, "x": null, "y": null, "m": null}', 1, lambda j: j["x"] is None and "m" in j),
    ('{"hasM": true, "points": [[1, 2, 5]]}', 5, lambda j: j["points"] == [[1, 2, 5]] and j["hasM"]),
    ('{"paths": [[[0, inf], [1, -inf]]]}', 3, lambda j: j["paths"] == [[[0, None], [1, None]]]),
    ('{"curveRings": [[[0, 0], [2, 0], {"a": [[0, 0], [1, 0], 1, 0]}]], "rings": [[[5, 5], [5, 6], [6, 6]]]}', 4,
     lambda j: len(j["curveRings"]) == 2),
    ('{"spatialReference": {"wkid":102100,"latestWkid":3857}, "xmin": 1, "ymin": 2, "xmax": 3, "ymax": 4, "zmin": 0}',
     2, lambda j: j["spatialReference"] == {"wkid": 3857} and "zmin" not in j),
]


@pytest.mark.parametrize("text,kind,check", ZORVJSON_TEXTS)
def test_zorvjson_text_is_read(rt, owned, text, kind, check):
    g = from_json(rt, owned, text)
    assert rt.Geometry_getObjectType(g) == kind
    assert check(to_json(rt, g))


def test_center_arc_item_reads_as_half_circle(rt, owned):
    g = from_json(rt, owned, {"curvePaths": [[[0, 0], {"a": [[2, 0], [1, 0], 1, 0]}]]})
    seg = owned("Segment_destroy", rt.ImmutablePart_getSegment(part_of(rt, owned, g, 0), 0))
    f = arc_facts(rt, owned, seg)
    assert f["center"] == pytest.approx((1, 0))
    assert f["central"] == pytest.approx(math.pi)  # counter-clockwise: from (0, 0) below the center to (2, 0)
