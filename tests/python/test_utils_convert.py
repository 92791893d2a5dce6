"""WKT, WKB and EWKB into zorvjson and GeoJSON dictionaries (ostrel_geometry.utils)."""

import math
import struct

import pytest

from ostrel_geometry import utils

SR = {"wkid": 4326}


def geo_sr(srid=4326):
    return {"srid": srid}, {"type": "name", "properties": {"name": f"EPSG:{srid}"}}


def gj(type_, coords, srid=4326, key="coordinates"):
    meta, crs = geo_sr(srid)
    return {"type": type_, key: coords, "meta": meta, "crs": crs}


def assert_same(got, want, path="result"):
    """Equality that also checks container types (tuple vs list) and key order."""
    assert type(got) is type(want), f"{path}: {type(got).__name__} != {type(want).__name__}"
    if isinstance(want, dict):
        assert list(got) == list(want), f"{path}: keys {list(got)} != {list(want)}"
        for k in want:
            assert_same(got[k], want[k], f"{path}[{k!r}]")
    elif isinstance(want, (list, tuple)):
        assert len(got) == len(want), f"{path}: {got!r} != {want!r}"
        for i, (g, w) in enumerate(zip(got, want)):
            assert_same(g, w, f"{path}[{i}]")
    elif isinstance(want, float) and math.isnan(want):
        assert math.isnan(got), path
    else:
        assert got == want, f"{path}: {got!r} != {want!r}"


# ---- a small WKB writer for the tests ----

DIMS = {"xy": (False, False), "xyz": (True, False), "xym": (False, True), "xyzm": (True, True)}


class W:
    """Writes WKB: ISO type codes, or EWKB flags when `ewkb` is set."""

    def __init__(self, order=1, dims="xy", ewkb=False):
        self.order, self.dims, self.ewkb = order, dims, ewkb

    def pack(self, fmt, *values):
        return struct.pack(("<" if self.order == 1 else ">") + fmt, *values)

    def header(self, code, srid=None, dims=None):
        z, m = DIMS[dims or self.dims]
        if self.ewkb or srid is not None:
            word = code | (0x80000000 if z else 0) | (0x40000000 if m else 0)
            word |= 0x20000000 if srid is not None else 0
        else:
            word = code + (1000 if z else 0) + (2000 if m else 0)
        out = bytes([self.order]) + self.pack("I", word)
        return out + (self.pack("i", srid) if srid is not None else b"")

    def coords(self, pts):
        return b"".join(self.pack(f"{len(p)}d", *p) for p in pts)

    def point(self, p, **kw):
        return self.header(1, **kw) + self.coords([p])

    def line(self, pts, code=2, **kw):
        return self.header(code, **kw) + self.pack("I", len(pts)) + self.coords(pts)

    def polygon(self, rings, code=3, **kw):
        body = b"".join(self.pack("I", len(r)) + self.coords(r) for r in rings)
        return self.header(code, **kw) + self.pack("I", len(rings)) + body

    def multi(self, code, members, **kw):
        return self.header(code, **kw) + self.pack("I", len(members)) + b"".join(members)


CW = [(0.0, 0.0), (0.0, 1.0), (1.0, 1.0), (0.0, 0.0)]  # clockwise, y up
CCW = [(0.0, 0.0), (1.0, 0.0), (1.0, 1.0), (0.0, 0.0)]
HOLE_CW = [(0.2, 0.2), (0.2, 0.4), (0.4, 0.4), (0.2, 0.2)]


# ---- zorvjson from WKT ----

ZORV_WKT = [
    ("POINT (1 2)", {"x": 1.0, "y": 2.0, "spatialReference": SR}),
    ("POINT Z (1 2 3)", {"x": 1.0, "y": 2.0, "z": 3.0, "spatialReference": SR}),
    ("POINT M (1 2 4)", {"x": 1.0, "y": 2.0, "m": 4.0, "spatialReference": SR}),
    ("POINT ZM (1 2 3 4)", {"x": 1.0, "y": 2.0, "z": 3.0, "m": 4.0, "spatialReference": SR}),
    ("POINT EMPTY", {"x": None, "spatialReference": SR}),
    (
        "LINESTRING (0 0, 1 1)",
        {"paths": [[(0.0, 0.0), (1.0, 1.0)]], "hasM": False, "hasZ": False, "spatialReference": SR},
    ),
    (
        "LINESTRING ZM (0 0 5 6, 1 1 7 8)",
        {
            "paths": [[(0.0, 0.0, 5.0, 6.0), (1.0, 1.0, 7.0, 8.0)]],
            "hasM": True,
            "hasZ": True,
            "spatialReference": SR,
        },
    ),
    (
        "LINESTRING M (0 0 5, 1 1 7)",
        {"paths": [[(0.0, 0.0, 5.0), (1.0, 1.0, 7.0)]], "hasM": True, "hasZ": False, "spatialReference": SR},
    ),
    # counter-clockwise exterior: reversed in place, closing vertex kept at both ends
    (
        "POLYGON ((0 0, 1 0, 1 1, 0 0))",
        {"rings": [[(0.0, 0.0), (1.0, 1.0), (1.0, 0.0), (0.0, 0.0)]], "hasM": False, "hasZ": False,
         "spatialReference": SR},
    ),
    # clockwise exterior kept; clockwise hole reversed
    (
        "POLYGON ((0 0, 0 1, 1 1, 0 0), (0.2 0.2, 0.2 0.4, 0.4 0.4, 0.2 0.2))",
        {"rings": [CW, HOLE_CW[::-1]], "hasM": False, "hasZ": False, "spatialReference": SR},
    ),
    (
        "POLYGON Z ((0 0 1, 0 1 2, 1 1 3, 0 0 1))",
        {"rings": [[(0.0, 0.0, 1.0), (0.0, 1.0, 2.0), (1.0, 1.0, 3.0), (0.0, 0.0, 1.0)]], "hasM": False,
         "hasZ": True, "spatialReference": SR},
    ),
    (
        "MULTIPOINT (1 2, 3 4)",
        {"hasM": False, "hasZ": False, "points": [(1.0, 2.0), (3.0, 4.0)], "spatialReference": SR},
    ),
    (
        "MULTIPOINT Z ((1 2 3), EMPTY, (4 5 6))",
        {"hasM": False, "hasZ": True, "points": [(1.0, 2.0, 3.0), (4.0, 5.0, 6.0)], "spatialReference": SR},
    ),
    (
        "MULTILINESTRING ((0 0, 1 1), (2 2, 3 3))",
        {"paths": [[(0.0, 0.0), (1.0, 1.0)], [(2.0, 2.0), (3.0, 3.0)]], "hasM": False, "hasZ": False,
         "spatialReference": SR},
    ),
    # rings of every member in one flat list, each exterior clockwise
    (
        "MULTIPOLYGON (((0 0, 1 0, 1 1, 0 0)), ((5 5, 6 5, 6 6, 5 5)))",
        {"rings": [CCW[::-1], [(5.0, 5.0), (6.0, 6.0), (6.0, 5.0), (5.0, 5.0)]], "hasM": False, "hasZ": False,
         "spatialReference": SR},
    ),
]


@pytest.mark.parametrize("wkt,want", ZORV_WKT, ids=[w for w, _ in ZORV_WKT])
def test_wkt_to_zorvjson(wkt, want):
    assert_same(utils.wkt_to_zorvjson_dict(wkt), want)


def test_multipolygon_hole_orientation():
    d = utils.wkt_to_zorvjson_dict(
        "MULTIPOLYGON (((0 0, 0 1, 1 1, 0 0), (0.2 0.2, 0.2 0.4, 0.4 0.4, 0.2 0.2)), ((5 5, 6 5, 6 6, 5 5)))"
    )
    assert d["rings"] == [CW, HOLE_CW[::-1], [(5.0, 5.0), (6.0, 6.0), (6.0, 5.0), (5.0, 5.0)]]
    ring_ops = [utils.is_clockwise(r) for r in d["rings"]]
    assert ring_ops == [True, False, True]


def _tricky_rings():
    import random

    rng = random.Random(11)
    rings = [
        [(0, 0), (1, 0), (2, 0), (0, 0)],  # collinear: zero area
        [(1, 1), (1, 2), (2, 2), (1.0000000000000002, 1)],  # closes within 2^-52
        [(1, 1), (1, 2), (2, 2), (1.0000000000000004, 1)],  # does not close
        [(0, 0), (math.nan, 1), (1, 1), (0, 0)],
        [(math.nan, 0), (0, 1), (1, 1), (math.nan, 0)],  # NaN first and last: not closing
        [(1e300, 1e300), (1e300, -1e300), (-1e300, 0), (1e300, 1e300)],
        [(0, 0), (0, 1), (1, 1)],  # open ring
    ]
    for _ in range(40):
        pts = [(rng.uniform(-10, 10), rng.uniform(-10, 10)) for _ in range(rng.randint(3, 12))]
        rings.append(pts + [pts[0]] if rng.random() < 0.7 else pts)
    return [[(float(x), float(y)) for x, y in r] for r in rings]


def test_ring_orientation_agrees_with_is_clockwise():
    """Exterior rings end clockwise and holes counter-clockwise by the is_clockwise test itself."""
    for ring in _tricky_rings():
        got = utils.wkb_to_zorvjson_dict(W().polygon([ring, ring]))["rings"]
        cw = utils.is_clockwise(ring)
        assert_same(got[0], ring if cw else ring[::-1])
        assert_same(got[1], ring[::-1] if cw else ring)


# ---- GeoJSON from WKT ----

GEO_WKT = [
    ("POINT (1 2)", gj("Point", (1.0, 2.0))),
    ("POINT EMPTY", gj("Point", [])),
    ("POINT M (1 2 3)", gj("Point", (1.0, 2.0, 3.0))),
    ("POINT Z (1 2 3)", gj("Point", (1.0, 2.0, 3.0))),
    ("POINT ZM (1 2 3 4)", gj("Point", (1.0, 2.0, 3.0, 4.0))),
    ("LINESTRING (0 0, 1 1)", gj("LineString", [(0.0, 0.0), (1.0, 1.0)])),
    ("LINESTRING EMPTY", gj("LineString", [])),
    # rings are kept as written
    ("POLYGON ((0 0, 1 0, 1 1, 0 0))", gj("Polygon", [CCW])),
    ("POLYGON ((0 0, 1 1, 0 0))", gj("Polygon", [[(0.0, 0.0), (1.0, 1.0), (0.0, 0.0)]])),
    ("POLYGON EMPTY", gj("Polygon", [])),
    ("MULTIPOINT ((1 2), (3 4))", gj("MultiPoint", [(1.0, 2.0), (3.0, 4.0)])),
    ("MULTIPOINT EMPTY", gj("MultiPoint", [])),
    ("MULTILINESTRING ((0 0, 1 1), EMPTY)", gj("MultiLineString", [[(0.0, 0.0), (1.0, 1.0)], []])),
    (
        "MULTIPOLYGON (((0 0, 1 0, 1 1, 0 0)), ((5 5, 6 5, 6 6, 5 5)))",
        gj("MultiPolygon", [[CCW], [[(5.0, 5.0), (6.0, 5.0), (6.0, 6.0), (5.0, 5.0)]]]),
    ),
    (
        "GEOMETRYCOLLECTION (POINT (1 2), LINESTRING (0 0, 1 1))",
        gj("GeometryCollection", [gj("Point", (1.0, 2.0)), gj("LineString", [(0.0, 0.0), (1.0, 1.0)])],
           key="geometries"),
    ),
    (
        "GEOMETRYCOLLECTION (POINT EMPTY, GEOMETRYCOLLECTION (POINT Z (1 2 3)), POINT EMPTY)",
        gj("GeometryCollection",
           [gj("Point", []), gj("GeometryCollection", [gj("Point", (1.0, 2.0, 3.0))], key="geometries"),
            gj("Point", [])], key="geometries"),
    ),
    ("GEOMETRYCOLLECTION EMPTY", gj("GeometryCollection", [], key="geometries")),
]


@pytest.mark.parametrize("wkt,want", GEO_WKT, ids=[w for w, _ in GEO_WKT])
def test_wkt_to_geojson(wkt, want):
    assert_same(utils.wkt_to_geojson_dict(wkt), want)


# ---- WKB and EWKB ----

WKB_SHAPES = [
    # (name, writer -> bytes, zorvjson without spatialReference, geojson (type, coordinates))
    ("point", lambda w: w.point((1, 2)), {"x": 1.0, "y": 2.0}, ("Point", (1.0, 2.0))),
    ("line", lambda w: w.line([(0, 0), (1, 1)]),
     {"paths": [[(0.0, 0.0), (1.0, 1.0)]], "hasM": False, "hasZ": False},
     ("LineString", [(0.0, 0.0), (1.0, 1.0)])),
    ("polygon", lambda w: w.polygon([CCW]),
     {"rings": [CCW[::-1]], "hasM": False, "hasZ": False}, ("Polygon", [CCW])),
    ("multipoint", lambda w: w.multi(4, [w.point((1, 2)), w.point((3, 4))]),
     {"hasM": False, "hasZ": False, "points": [(1.0, 2.0), (3.0, 4.0)]},
     ("MultiPoint", [(1.0, 2.0), (3.0, 4.0)])),
    ("multiline", lambda w: w.multi(5, [w.line([(0, 0), (1, 1)]), w.line([(2, 2), (3, 3)])]),
     {"paths": [[(0.0, 0.0), (1.0, 1.0)], [(2.0, 2.0), (3.0, 3.0)]], "hasM": False, "hasZ": False},
     ("MultiLineString", [[(0.0, 0.0), (1.0, 1.0)], [(2.0, 2.0), (3.0, 3.0)]])),
    ("multipolygon", lambda w: w.multi(6, [w.polygon([CW]), w.polygon([CCW])]),
     {"rings": [CW, CCW[::-1]], "hasM": False, "hasZ": False},
     ("MultiPolygon", [[CW], [CCW]])),
]


@pytest.mark.parametrize("order", [0, 1], ids=["big", "little"])
@pytest.mark.parametrize("ewkb", [False, True], ids=["iso", "ewkb"])
@pytest.mark.parametrize("name,make,zorv,geo", WKB_SHAPES, ids=[s[0] for s in WKB_SHAPES])
def test_wkb_shapes(name, make, zorv, geo, order, ewkb):
    data = make(W(order=order, ewkb=ewkb))
    assert_same(utils.wkb_to_zorvjson_dict(data), {**zorv, "spatialReference": SR})
    assert_same(utils.wkb_to_geojson_dict(data), gj(*geo))


@pytest.mark.parametrize("ewkb", [False, True], ids=["iso", "ewkb"])
@pytest.mark.parametrize(
    "dims,pt,flags",
    [("xyz", (1, 2, 3), (True, False)), ("xym", (1, 2, 4), (False, True)), ("xyzm", (1, 2, 3, 4), (True, True))],
)
def test_wkb_dimensions(dims, pt, flags, ewkb):
    w = W(order=1, dims=dims, ewkb=ewkb)
    z, m = flags
    want_point = {"x": 1.0, "y": 2.0}
    if z:
        want_point["z"] = 3.0
    if m:
        want_point["m"] = 4.0
    want_point["spatialReference"] = SR
    assert_same(utils.wkb_to_zorvjson_dict(w.point(pt)), want_point)
    tup = tuple(float(v) for v in pt)
    line = utils.wkb_to_zorvjson_dict(w.line([pt, pt]))
    assert_same(line, {"paths": [[tup, tup]], "hasM": m, "hasZ": z, "spatialReference": SR})
    assert_same(utils.wkb_to_geojson_dict(w.point(pt)), gj("Point", tup))


def test_ewkb_srid():
    w = W(order=1, ewkb=True)
    data = w.line([(0, 0), (1, 1)], srid=3857)
    assert utils.wkb_to_zorvjson_dict(data)["spatialReference"] == {"wkid": 3857}
    collection = w.multi(7, [w.point((1, 2)), w.line([(0, 0), (1, 1)])], srid=3857)
    d = utils.wkb_to_geojson_dict(collection)
    assert_same(d["meta"], {"srid": 3857})
    assert d["crs"]["properties"]["name"] == "EPSG:3857"
    for member in d["geometries"]:
        assert member["meta"] == {"srid": 3857}
        assert member["crs"]["properties"]["name"] == "EPSG:3857"
    # any value is taken, zero and negative ones too
    for srid in (0, -1, 2**31 - 1):
        assert utils.wkb_to_zorvjson_dict(W(ewkb=True).point((1, 2), srid=srid))["spatialReference"] == {
            "wkid": srid
        }
    assert utils.wkb_to_geojson_dict(W(ewkb=True).point((1, 2), srid=-7))["crs"]["properties"]["name"] == "EPSG:-7"
    # EWKB flags without the SRID flag keep the default
    assert utils.wkb_to_zorvjson_dict(W(ewkb=True, dims="xyz").point((1, 2, 3)))["spatialReference"] == SR


def test_wkb_nan_points():
    nan = float("nan")
    w = W()
    assert_same(utils.wkb_to_zorvjson_dict(w.point((nan, nan))), {"x": None, "spatialReference": SR})
    assert_same(utils.wkb_to_geojson_dict(w.point((nan, nan))), gj("Point", []))
    # only a point whose present values are all NaN is empty
    d = utils.wkb_to_zorvjson_dict(W(dims="xyz").point((nan, nan, 1)))
    assert math.isnan(d["x"]) and d["z"] == 1.0
    # members of a multipoint are passed as they are
    mp = utils.wkb_to_zorvjson_dict(w.multi(4, [w.point((nan, nan)), w.point((1, 2))]))
    assert math.isnan(mp["points"][0][0]) and mp["points"][1] == (1.0, 2.0)
    # an empty point inside a collection is a member of it
    gc = utils.wkb_to_geojson_dict(w.multi(7, [w.point((1, 2)), w.point((nan, nan))]))
    assert [g["coordinates"] for g in gc["geometries"]] == [(1.0, 2.0), []]


def test_wkb_members_may_differ_in_dimensions():
    xy, xyz = W(dims="xy"), W(dims="xyz")
    mp = xy.multi(4, [xy.point((1, 2)), xyz.point((3, 4, 5))])
    assert utils.wkb_to_geojson_dict(mp)["coordinates"] == [(1.0, 2.0), (3.0, 4.0, 5.0)]
    ml = xy.multi(5, [xy.line([(0, 0), (1, 1)]), xyz.line([(0, 0, 0), (1, 1, 1)])])
    with pytest.raises(RuntimeError) as e:
        utils.wkb_to_zorvjson_dict(ml)
    assert str(e.value) == (
        "processing geometry `Coordinate dimension mismatch: all coordinates in a geometry must either all have "
        "or all lack Z and M values. Previously coordinates: (has_z, has_m) = [false, false], current: "
        "(has_z, has_m) = [true, false]`"
    )


# ---- WKT spellings ----

SPELLINGS = [
    ("point(1 2)", "POINT (1 2)"),
    ("Point ( 1   2 )", "POINT (1 2)"),
    ("\tPOINT\n(1\t2)\r\n", "POINT (1 2)"),
    ("POINTZ (1 2 3)", "POINT Z (1 2 3)"),
    ("POINT Z(1 2 3)", "POINT Z (1 2 3)"),
    ("POINT (1 2 3)", "POINT Z (1 2 3)"),
    ("POINT (1 2 3 4)", "POINT ZM (1 2 3 4)"),
    ("pointm(1 2 3)", "POINT M (1 2 3)"),
    ("POINT zm (1 2 3 4)", "POINT ZM (1 2 3 4)"),
    ("POINT (+1.0e0 .2E1)", "POINT (1 2)"),
    ("POINT (1. 2.)", "POINT (1 2)"),
    ("MULTIPOINT ((1 2), (3 4))", "MULTIPOINT (1 2, 3 4)"),
    ("MULTIPOINT (1 2,3 4)", "MULTIPOINT (1 2, 3 4)"),
    ("linestringz(0 0 1,1 1 1)", "LINESTRING Z (0 0 1, 1 1 1)"),
]


@pytest.mark.parametrize("variant,canonical", SPELLINGS, ids=[s[0] for s in SPELLINGS])
def test_wkt_spellings(variant, canonical):
    assert_same(utils.wkt_to_zorvjson_dict(variant), utils.wkt_to_zorvjson_dict(canonical))


def test_numbers_round_trip():
    values = [0.1, -1e-300, 1.7976931348623157e308, 5e-324, 123456789.12345679, -0.0]
    for v in values:
        d = utils.wkt_to_zorvjson_dict(f"POINT ({v!r} {v!r})")
        assert d["x"] == v and math.copysign(1, d["x"]) == math.copysign(1, v)
    # underflow reads as zero, like float()
    assert utils.wkt_to_zorvjson_dict("POINT (1e-400 -1e-400)")["x"] == 0.0


# ---- failures ----

def raises(fn, arg, exc=RuntimeError):
    with pytest.raises(exc) as e:
        fn(arg)
    assert type(e.value) is exc
    return str(e.value)


ZORV_FAILURES = [
    ("LINESTRING EMPTY", "processing geometry `has_m not initialized`"),
    ("POLYGON EMPTY", "processing geometry `has_m not initialized`"),
    ("MULTIPOINT EMPTY", "processing geometry `has_m not initialized`"),
    ("MULTIPOLYGON EMPTY", "processing geometry `has_m not initialized`"),
    ("POLYGON ((0 0, 1 1, 0 0))", "processing geometry `RuntimeError: ring must have at least 3 vertices`"),
    ("POLYGON ((0 0, 1 1))", "processing geometry `RuntimeError: ring must have at least 3 vertices`"),
    ("POLYGON (EMPTY)", "processing geometry `IndexError: list index out of range`"),
    ("GEOMETRYCOLLECTION (POINT (1 2))", "processing geometry `geometry collections have no zorvjson layout`"),
    ("GEOMETRYCOLLECTION EMPTY", "processing geometry `geometry collections have no zorvjson layout`"),
]


@pytest.mark.parametrize("wkt,text", ZORV_FAILURES, ids=[f[0] for f in ZORV_FAILURES])
def test_zorvjson_failures(wkt, text):
    assert raises(utils.wkt_to_zorvjson_dict, wkt) == text


def test_wkb_curve_and_surface_types():
    """Their own events are ignored, so their members find no parent to go into."""
    w = W()
    arc = w.line([(0, 0), (1, 1), (2, 0)], code=8)
    curve_polygon = w.multi(10, [w.line(CCW)])
    triangle = w.polygon([CCW], code=17)
    for data in (arc, curve_polygon, triangle, w.multi(16, [triangle]), w.multi(11, [w.line(CCW)])):
        assert raises(utils.wkb_to_zorvjson_dict, data) == "processing geometry `empty stack`"
        assert raises(utils.wkb_to_geojson_dict, data) == "processing geometry `IndexError: empty stack`"
    # a ring of a multisurface's polygon is oriented before it finds no parent
    surface = w.multi(12, [w.polygon([[(0, 0), (1, 1), (0, 0)]])])
    assert raises(utils.wkb_to_zorvjson_dict, surface) == (
        "processing geometry `RuntimeError: ring must have at least 3 vertices`"
    )
    # no coordinate at all: the read succeeds and leaves nothing to return
    for fn in (utils.wkb_to_zorvjson_dict, utils.wkb_to_geojson_dict):
        assert raises(fn, w.line([], code=8), IndexError) == "empty stack"
        assert raises(fn, w.multi(12, []), IndexError) == "empty stack"


def _deep_wkb(depth):
    data = W().point((1, 2))
    for _ in range(depth):
        data = W().multi(7, [data])
    return data


BAD_WKB = [
    (b"", "I/O error `failed to fill whole buffer`"),
    (b"\x01\x01\x00\x00", "I/O error `failed to fill whole buffer`"),
    (b"\x01\x01\x00\x00\x00", "I/O error `failed to fill whole buffer`"),
    (W().point((1, 2))[:-3], "I/O error `failed to fill whole buffer`"),
    (W().header(2) + b"\xff\xff\xff\xff", "I/O error `failed to fill whole buffer`"),
    (W(order=0).header(6) + b"\xff\xff\xff\xff" + W(order=0).polygon([CW]), "I/O error `failed to fill whole buffer`"),
    (W(order=0).header(6) + b"\xff\xff\xff\xff" + b"\x00" * 64, "geometry format"),
    (W().header(3) + struct.pack("<II", 1, 0xFFFFFFFF), "I/O error `failed to fill whole buffer`"),
    (W().header(99), "geometry format"),
    (W().header(13), "geometry format"),
    (bytes([1]) + struct.pack("<I", 5001), "geometry format"),
    (b"\x07" + W().point((1, 2))[1:], "geometry format"),
    (W().multi(4, [W().line([(0, 0), (1, 1)])]), "geometry format"),
    (W().point((1, 2)) + b"\x00", "geometry format `1 byte after the end of the geometry`"),
    (W().point((1, 2)) + W().point((1, 2)), "geometry format `21 bytes after the end of the geometry`"),
]


@pytest.mark.parametrize("data,text", BAD_WKB, ids=[f"bad{i}" for i in range(len(BAD_WKB))])
def test_bad_wkb(data, text):
    assert raises(utils.wkb_to_zorvjson_dict, data) == text
    assert raises(utils.wkb_to_geojson_dict, data) == text


def test_truncated_wkb_every_prefix():
    w = W(order=0, dims="xyzm", ewkb=True)
    data = w.multi(6, [w.polygon([[(0, 0, 0, 0), (0, 1, 0, 0), (1, 1, 0, 0), (0, 0, 0, 0)]])], srid=3857)
    for n in range(len(data)):
        for fn in (utils.wkb_to_zorvjson_dict, utils.wkb_to_geojson_dict):
            with pytest.raises(RuntimeError, match="failed to fill whole buffer"):
                fn(data[:n])
    assert utils.wkb_to_geojson_dict(data)["type"] == "MultiPolygon"


def test_wkb_is_read_as_it_goes():
    """A count larger than the input holds is found out at the end of the input, after the items before it."""
    w = W()
    short_ring = struct.pack("<I", 3) + w.coords([(0, 0), (1, 1), (0, 0)])
    data = w.header(3) + struct.pack("<I", 2) + short_ring
    assert raises(utils.wkb_to_zorvjson_dict, data) == (
        "processing geometry `RuntimeError: ring must have at least 3 vertices`"
    )
    assert raises(utils.wkb_to_geojson_dict, data) == "I/O error `failed to fill whole buffer`"


def test_nesting_limit_is_not_hit_by_reasonable_depth():
    assert utils.wkb_to_geojson_dict(_deep_wkb(50))["type"] == "GeometryCollection"
    text = "GEOMETRYCOLLECTION (" * 50 + "POINT (1 2)" + ")" * 50
    assert utils.wkt_to_geojson_dict(text)["type"] == "GeometryCollection"
    assert raises(utils.wkb_to_geojson_dict, _deep_wkb(150)) == (
        "geometry format `geometry collections nested deeper than 100 levels`"
    )
    too_deep = "GEOMETRYCOLLECTION (" * 1000 + "POINT (1 2)" + ")" * 1000
    assert "nested deeper than 100 levels" in raises(utils.wkt_to_geojson_dict, too_deep)


BAD_WKT = [
    ("", "processing geometry `expected a geometry type at position 0, found end of text`"),
    ("POINT (1 2", "processing geometry `expected ')' at position 10, found end of text`"),
    ("POINT (nan nan)", "processing geometry `expected a number at position 7, found 'n'`"),
    ("POINT (inf 1)", "processing geometry `expected a number at position 7, found 'i'`"),
    ("POINT (1e999 1)", "processing geometry `number out of range at position 7`"),
    ("POINT (1 2) trailing", "processing geometry `expected the end of the text at position 12, found 't'`"),
    ("POINT (1 2)(", "processing geometry `expected the end of the text at position 11, found '('`"),
    ("CIRCLE (1 2)", "processing geometry `unknown geometry type 'CIRCLE' at position 0`"),
    ("POINT Z (1 2)", "processing geometry `coordinate with 2 values where 3 were expected at position 9`"),
    ("LINESTRING (0 0, 1 1 1)",
     "processing geometry `coordinate with 3 values where 2 were expected at position 17`"),
    ("POINT (1 2 3 4 5)", "processing geometry `more than 4 coordinate values at position 15`"),
    ("POINT (1)", "processing geometry `coordinate with only 1 value at position 7`"),
    ("POINT (1 2\x00)", "processing geometry `expected ')' at position 10, found byte 0x00`"),
    ("POINT (1 2\u00e9)", "processing geometry `expected ')' at position 10, found byte 0xc3`"),
    # the seven simple-feature types only: no EWKT prefix, no curves or surfaces
    ("SRID=3857;POINT (1 2)", "processing geometry `unknown geometry type 'SRID' at position 0`"),
    ("CIRCULARSTRING (0 0, 1 1, 2 0)",
     "processing geometry `unknown geometry type 'CIRCULARSTRING' at position 0`"),
    ("TIN EMPTY", "processing geometry `unknown geometry type 'TIN' at position 0`"),
    ("GEOMETRYCOLLECTION (CURVEPOLYGON EMPTY)",
     "processing geometry `unknown geometry type 'CURVEPOLYGON' at position 20`"),
]


@pytest.mark.parametrize("text,message", BAD_WKT, ids=[f"bad{i}" for i in range(len(BAD_WKT))])
def test_bad_wkt(text, message):
    assert raises(utils.wkt_to_zorvjson_dict, text) == message
    assert raises(utils.wkt_to_geojson_dict, text) == message


def test_syntax_errors_come_before_builder_errors():
    # the collection would be refused at its first event, but the text is checked first
    assert raises(utils.wkt_to_zorvjson_dict, "GEOMETRYCOLLECTION (POINT (1 2), POINT (x))") == (
        "processing geometry `expected a number at position 40, found 'x'`"
    )


def test_text_that_is_not_utf8():
    # reading the str as text is the argument's conversion: its error is raised as it is
    for fn in (utils.wkt_to_zorvjson_dict, utils.wkt_to_geojson_dict):
        msg = raises(fn, "POINT (1 \udc80)", UnicodeEncodeError)
        assert "surrogates not allowed" in msg


# ---- arguments ----

FUNCS = [
    (utils.wkt_to_zorvjson_dict, "wkt", "str", "POINT (1 2)"),
    (utils.wkt_to_geojson_dict, "wkt", "str", "POINT (1 2)"),
    (utils.wkb_to_zorvjson_dict, "wkb", "bytes", W().point((1, 2))),
    (utils.wkb_to_geojson_dict, "wkb", "bytes", W().point((1, 2))),
]


@pytest.mark.parametrize("fn,param,typename,good", FUNCS, ids=[f[0].__name__ for f in FUNCS])
def test_arguments(fn, param, typename, good):
    name = fn.__name__
    assert fn.__text_signature__ == f"({param})"
    assert fn(**{param: good}) == fn(good)

    class Sub(type(good)):
        pass

    assert fn(Sub(good)) == fn(good)
    wrong = [b"POINT (1 2)"] if typename == "str" else [bytearray(good), memoryview(good), good.hex()]
    for value in wrong + [None, 5]:
        with pytest.raises(TypeError) as e:
            fn(value)
        assert str(e.value) == (
            f"argument '{param}': '{type(value).__name__}' object cannot be cast as '{typename}'"
        )
    with pytest.raises(TypeError, match=rf"^{name}\(\) missing 1 required positional argument: '{param}'$"):
        fn()
    with pytest.raises(TypeError, match=rf"^{name}\(\) takes 1 positional arguments but 2 were given$"):
        fn(good, good)
    with pytest.raises(TypeError, match=rf"^{name}\(\) got an unexpected keyword argument 'text'$"):
        fn(text=good)


def test_results_are_fresh_objects():
    a = utils.wkt_to_zorvjson_dict("POINT (1 2)")
    b = utils.wkt_to_zorvjson_dict("POINT (1 2)")
    assert a is not b and a["spatialReference"] is not b["spatialReference"]
    g = utils.wkt_to_geojson_dict("GEOMETRYCOLLECTION (POINT (1 2), POINT (3 4))")
    assert g["geometries"][0]["meta"] is not g["geometries"][1]["meta"]
