"""Geodetic measurement, densification, buffers and projection, checked
against values a person can verify by hand or from published tables.

Reference values:
- one degree of longitude on the WGS 84 equator: a * pi / 180 = 111319.4908 m
  (every curve type follows the equator);
- one degree of meridian from the equator: 110574.3886 m;
- the 1 x 1 degree cell at the equator: 12308.778361 km^2 with geodesic edges
  (its top edge bulges north) and 12308.463894 km^2 bounded by the parallels,
  from dlon * b^2 / 2 * (q(1 deg) - q(0)), q(p) = sin p / (1 - e^2 sin^2 p) + atanh(e sin p) / e;
- Web Mercator: x = R lon, y = R ln tan(pi/4 + lat/2), R = 6378137;
- UTM 32N on its central meridian 9E: easting 500000, northing 0.9996 times
  the meridian arc (4984944.378 m to 45N).
"""

import json
import math

import pytest
from pyproj.database import get_units_map

import ostrel_geometry as og
from ostrel_geometry import projection

WGS84 = {"wkid": 4326}
WEB_MERCATOR = {"wkid": 3857}
CT = og.GeodeticCurveType
ALL_CURVES = [CT.Geodesic, CT.Loxodrome, CT.GreatElliptic, CT.NormalSection, CT.ShapePreserving]
A = 6378137.0
F = 1 / 298.257223563


def line(points, sr=WGS84):
    return og.Polyline({"paths": [points], "spatialReference": sr})


def polygon(rings, sr=WGS84):
    return og.Polygon({"rings": rings, "spatialReference": sr})


def point(x, y, sr=WGS84):
    return og.Point({"x": x, "y": y, "spatialReference": sr})


def as_dict(g):
    """The geometry's zorvjson text, read back."""
    return json.loads(str(g))


def mercator_y(lat):
    return A * math.log(math.tan(math.pi / 4 + math.radians(lat) / 2))


CELL = [[[0, 0], [0, 1], [1, 1], [1, 0], [0, 0]]]
CELL_GEODESIC = 12308.778361e6
CELL_PARALLELS = 12308.463894e6


# ---- length ----


@pytest.mark.parametrize("curve", ALL_CURVES)
def test_length_of_a_degree(curve):
    assert line([[0, 0], [1, 0]]).calculate_length(curve_type=curve) == pytest.approx(111319.490793, abs=1e-3)
    assert line([[0, 0], [0, 1]]).calculate_length(curve_type=curve) == pytest.approx(110574.3886, abs=1e-3)


def test_length_units_and_projected_references():
    deg = line([[0, 0], [1, 0]])
    assert deg.calculate_length(curve_type=CT.Geodesic, unit=og.LinearUnitId.Kilometers) == pytest.approx(
        111.319490793, abs=1e-9
    )
    # The Web Mercator image of the same degree is measured on the ellipsoid.
    merc = line([[0, 0], [A * math.pi / 180, 0]], WEB_MERCATOR)
    assert merc.calculate_length(curve_type=CT.Geodesic) == pytest.approx(111319.490793, abs=1e-3)
    # Planar length of the same line is in the reference's own units.
    assert merc.calculate_length() == pytest.approx(111319.490793, abs=1e-6)


def _linear_unit_meters():
    """Meters per unit of every LinearUnitId member, from PROJ's table of
    units (by EPSG code; inches by name, having none)."""
    units = get_units_map(category="linear")
    by_code = {int(u.code): u.conv_factor for u in units.values() if u.auth_name == "EPSG"}
    codes = {"Millimeters": 1025, "Centimeters": 1033, "Meters": 9001, "Feet": 9002, "NauticalMiles": 9030,
             "Kilometers": 9036, "Miles": 9093, "Yards": 9096}
    table = {name: by_code[code] for name, code in codes.items()}
    table["Inches"] = units["inch"].conv_factor
    return table


def _area_unit_square_meters(m):
    """Square meters per unit of every AreaUnitId member, by definition from
    the linear units: an acre is 4840 square yards, a hectare 100 m by 100 m."""
    return {"SquareMillimeters": m["Millimeters"] ** 2, "SquareCentimeters": m["Centimeters"] ** 2,
            "SquareDecimeters": (m["Centimeters"] * 10) ** 2, "SquareMeters": 1.0, "Hectares": 100.0**2,
            "SquareKilometers": m["Kilometers"] ** 2, "SquareFeet": m["Feet"] ** 2, "SquareYards": m["Yards"] ** 2,
            "Acres": 4840 * m["Yards"] ** 2, "SquareMiles": m["Miles"] ** 2}


def test_every_unit_measures_by_its_published_factor():
    # One table over every member (Other is refused): lengths and areas in
    # each unit are those in meters over the unit's size, and an area unit
    # converts by the same factor.
    linear = _linear_unit_meters()
    area = _area_unit_square_meters(linear)
    members = lambda enum: {n for n in dir(enum) if not n.startswith("_") and n != "Other"}
    assert members(og.LinearUnitId) == set(linear) and members(og.AreaUnitId) == set(area)
    path, cell = line([[0, 0], [1, 1]]), polygon(CELL)
    meters = path.calculate_length(curve_type=CT.Geodesic)
    square_meters = cell.calculate_area(curve_type=CT.Geodesic)
    for name, factor in linear.items():
        got = path.calculate_length(curve_type=CT.Geodesic, unit=getattr(og.LinearUnitId, name))
        assert got == pytest.approx(meters / factor, rel=1e-14), name
    for name, factor in area.items():
        unit = getattr(og.AreaUnitId, name)
        assert og.AreaUnit(unit).to_square_meters(1) == pytest.approx(factor, rel=1e-15), name
        got = cell.calculate_area(curve_type=CT.Geodesic, unit=unit)
        assert got == pytest.approx(square_meters / factor, rel=1e-14), name


def test_curve_types_differ_on_long_lines():
    ny_tokyo = line([[-74, 40.7], [139.7, 35.7]])
    lengths = {c: ny_tokyo.calculate_length(curve_type=c) for c in ALL_CURVES}
    geodesic = lengths[CT.Geodesic]
    # The geodesic is the shortest; the plane sections are longer by meters,
    # the loxodrome by hundreds of kilometers.
    assert geodesic == pytest.approx(10872922.6, abs=1)
    assert 0 < lengths[CT.GreatElliptic] - geodesic < 100
    assert 0 < lengths[CT.NormalSection] - geodesic < 100
    assert lengths[CT.Loxodrome] - geodesic > 500e3
    # Straight in longitude/latitude, this line is a loxodrome of the plate
    # carree, not of the Mercator: longer still than the geodesic.
    assert lengths[CT.ShapePreserving] > geodesic


def test_shape_preserving_follows_the_parallel_all_round():
    # From -180 to 180 along 80N is the whole parallel, 2 pi N cos(lat),
    # although both ends are the same point on the ground.
    lat = math.radians(80)
    e2 = F * (2 - F)
    n = A / math.sqrt(1 - e2 * math.sin(lat) ** 2)
    parallel = line([[-180, 80], [180, 80]])
    assert parallel.calculate_length(curve_type=CT.ShapePreserving) == pytest.approx(
        2 * math.pi * n * math.cos(lat), abs=1e-2
    )
    assert parallel.calculate_length(curve_type=CT.Geodesic) == 0


def test_length_of_a_polygon_is_its_perimeter():
    cell = polygon(CELL)
    assert cell.calculate_length(curve_type=CT.Loxodrome) == pytest.approx(
        2 * 110574.3886 + 111319.490793 + line([[0, 1], [1, 1]]).calculate_length(curve_type=CT.Loxodrome),
        abs=1e-3,
    )


def test_geodetic_measure_needs_a_spatial_reference():
    bare = og.Polyline({"paths": [[[0, 0], [1, 0]]]})
    with pytest.raises(Exception, match="spatial reference"):
        bare.calculate_length(curve_type=CT.Geodesic)


# ---- area ----


@pytest.mark.parametrize(
    "curve, expected",
    [
        (CT.Geodesic, CELL_GEODESIC),
        (CT.Loxodrome, CELL_PARALLELS),
        (CT.ShapePreserving, CELL_PARALLELS),
        (CT.GreatElliptic, CELL_GEODESIC),
        (CT.NormalSection, CELL_GEODESIC),
    ],
)
def test_area_of_the_equatorial_cell(curve, expected):
    # Great elliptic and normal-section edges lie within centimeters of the
    # geodesic ones over a degree.
    assert polygon(CELL).calculate_area(curve_type=curve) == pytest.approx(expected, abs=1e4)


def test_area_units_holes_and_other_kinds():
    cell = polygon(CELL)
    assert cell.calculate_area(curve_type=CT.Geodesic, unit=og.AreaUnitId.SquareKilometers) == pytest.approx(
        12308.778361, abs=1e-6
    )
    assert cell.calculate_area(curve_type=CT.Geodesic, unit=og.AreaUnitId.Hectares) == pytest.approx(
        1230877.8361, abs=1e-3
    )
    hole = [[0.25, 0.25], [0.75, 0.25], [0.75, 0.75], [0.25, 0.75], [0.25, 0.25]]
    holed = polygon(CELL + [hole])
    small = polygon([list(reversed(hole))])
    assert holed.calculate_area(curve_type=CT.Geodesic) == pytest.approx(
        CELL_GEODESIC - small.calculate_area(curve_type=CT.Geodesic), rel=1e-9
    )
    assert line([[0, 0], [1, 0]]).calculate_area(curve_type=CT.Geodesic) == 0.0
    env = og.Envelope({"xmin": 0, "ymin": 0, "xmax": 1, "ymax": 1, "spatialReference": WGS84})
    assert env.calculate_area(curve_type=CT.ShapePreserving) == pytest.approx(CELL_PARALLELS, abs=1e3)


def test_area_in_projected_references():
    # A Web Mercator rectangle is bounded by meridians and parallels.
    y1 = mercator_y(1)
    x1 = A * math.pi / 180
    merc = polygon([[[0, 0], [0, y1], [x1, y1], [x1, 0], [0, 0]]], WEB_MERCATOR)
    assert merc.calculate_area(curve_type=CT.ShapePreserving) == pytest.approx(CELL_PARALLELS, abs=1e3)
    # With geodesic edges, the same corners give the geodesic cell.
    assert merc.calculate_area(curve_type=CT.Geodesic) == pytest.approx(CELL_GEODESIC, abs=1e3)


def test_rings_are_told_apart_by_nesting():
    # A ring given counter-clockwise is still an exterior ring.
    ccw = polygon([[[0, 0], [1, 0], [1, 1], [0, 1], [0, 0]]])
    assert ccw.calculate_area(curve_type=CT.Geodesic) == pytest.approx(CELL_GEODESIC, abs=1e4)


@pytest.mark.parametrize("curve", ALL_CURVES[:4])
def test_rings_enclosing_nothing_measure_about_zero(curve):
    # Points along one curve, closed by that same curve, enclose nothing: the
    # sign of their area is rounding, and their picture turns one way or the
    # other.  Such a ring used to count as the rest of the ellipsoid
    # (5.1e14 m^2) about half the time, alone or as a hole.
    for lat, length in ((0.3, 1), (0.3, 100), (45, 1), (45, 1e4), (80, 10), (80, 1e4)):
        d = length / 111000
        path = line([[10, lat], [10 + 0.8 * d, lat + 0.6 * d]])
        ring = as_dict(path.densify(length / 7, og.LinearUnitId.Meters, curve))["paths"][0]
        assert len(ring) >= 3
        m = 0.01
        outer = [[10 - m, lat - m], [10 - m, lat + d + m], [10 + d + m, lat + d + m], [10 + d + m, lat - m]]
        outer = outer + outer[:1]
        box = polygon([outer]).calculate_area(curve_type=curve)
        for r in (ring, ring[::-1]):
            assert polygon([r + r[:1]]).calculate_area(curve_type=curve) == pytest.approx(0, abs=0.1)
            holed = polygon([outer, r + r[:1]]).calculate_area(curve_type=curve)
            assert holed == pytest.approx(box, abs=0.1)


def test_true_curves_are_measured_along_the_arc():
    # On the central meridian of UTM 32N the plane is scaled by k = 0.9996:
    # a half circle of 1000 m radius on the map is pi * 1000 / k on the ground.
    k = 0.9996
    utm = {"wkid": 32632}
    arc = og.Polyline({"curvePaths": [[[499000, 5000000], {"c": [[501000, 5000000], [500000, 5001000]]}]], "spatialReference": utm})
    assert arc.calculate_length(curve_type=CT.ShapePreserving) == pytest.approx(math.pi * 1000 / k, rel=1e-6)
    circle = og.Polygon({"curveRings": [[[500000, 5001000], {"c": [[500000, 5001000], [500000, 4999000]]}]], "spatialReference": utm})
    for curve in (CT.ShapePreserving, CT.Geodesic):
        assert circle.calculate_area(curve_type=curve) == pytest.approx(math.pi * 1e6 / k**2, rel=1e-6)


def test_area_collection_sums_geodetic_areas():
    unit = og.AreaUnit(og.AreaUnitId.SquareKilometers)
    total = og.area_collection([polygon(CELL), polygon(CELL)], curve_type=CT.Geodesic, unit=unit)
    assert total == pytest.approx(2 * 12308.778361, abs=1e-5)


# ---- densify ----


def test_densify_keeps_pieces_under_the_length():
    ten = line([[0, 0], [10, 0]])
    dense = ten.densify(100000, unit=og.LinearUnitId.Meters, curve_type=CT.Geodesic)
    path = as_dict(dense)["paths"][0]
    # 10 degrees of equator = 1113.19 km: 12 pieces of 92.77 km.
    assert len(path) == 13
    assert path[1][0] == pytest.approx(10 / 12, abs=1e-12)
    assert path[-1] == [10, 0]


@pytest.mark.parametrize("curve", ALL_CURVES)
def test_densified_ring_keeps_its_area(curve):
    cell = polygon(CELL)
    dense = cell.densify(10, unit=og.LinearUnitId.Kilometers, curve_type=curve)
    ring = as_dict(dense)["rings"][0]
    assert 44 <= len(ring) <= 50
    # The new vertices lie on the curves, so the area measured along the
    # same curve type hardly changes (geodesic pieces of 10 km hug any of them).
    assert dense.calculate_area(curve_type=CT.Geodesic) == pytest.approx(
        cell.calculate_area(curve_type=curve), rel=2e-6
    )


@pytest.mark.parametrize(
    "start, end, inner",
    [
        # Ends given within [-180, 180]: the points between stay there too.
        ([179, 0], [-179, 0], [179.4, 179.8, -179.8, -179.4]),
        ([-179, 0], [179, 0], [-179.4, -179.8, 179.8, 179.4]),
        # Ends given past the antimeridian: the points follow them.
        ([179, 0], [181, 0], [179.4, 179.8, 180.2, 180.6]),
    ],
)
@pytest.mark.parametrize("curve", [CT.Geodesic, CT.Loxodrome, CT.GreatElliptic, CT.NormalSection])
def test_densify_across_the_antimeridian_keeps_the_longitude_range(curve, start, end, inner):
    dense = line([start, end]).densify(50, unit=og.LinearUnitId.Kilometers, curve_type=curve)
    path = as_dict(dense)["paths"][0]
    assert path[0] == start and path[-1] == end
    assert [p[0] for p in path[1:-1]] == pytest.approx(inner, abs=1e-9)


def test_densify_follows_the_loxodrome():
    dense = line([[0, 0], [10, 10]]).densify(100, unit=og.LinearUnitId.Kilometers, curve_type=CT.Loxodrome)
    pts = as_dict(dense)["paths"][0]
    # A loxodrome is straight in the (ellipsoidal) Mercator: the azimuth
    # between consecutive points is the same everywhere.
    from math import atan2, degrees, log, tan, radians, sin, sqrt

    e = sqrt(F * (2 - F))

    def y(lat):
        p = radians(lat)
        return log(tan(math.pi / 4 + p / 2) * ((1 - e * sin(p)) / (1 + e * sin(p))) ** (e / 2))

    azimuths = {round(degrees(atan2(radians(b[0] - a[0]), y(b[1]) - y(a[1]))), 9) for a, b in zip(pts, pts[1:])}
    assert len(azimuths) == 1


# ---- buffer ----


def geodesic_distance(lon1, lat1, lon2, lat2):
    """Vincenty's inverse formula on WGS 84 (converges for these inputs)."""
    b = A * (1 - F)
    L = math.radians(lon2 - lon1)
    U1 = math.atan((1 - F) * math.tan(math.radians(lat1)))
    U2 = math.atan((1 - F) * math.tan(math.radians(lat2)))
    sinU1, cosU1, sinU2, cosU2 = math.sin(U1), math.cos(U1), math.sin(U2), math.cos(U2)
    lam = L
    for _ in range(200):
        sl, cl = math.sin(lam), math.cos(lam)
        sin_sigma = math.hypot(cosU2 * sl, cosU1 * sinU2 - sinU1 * cosU2 * cl)
        if sin_sigma == 0:
            return 0.0
        cos_sigma = sinU1 * sinU2 + cosU1 * cosU2 * cl
        sigma = math.atan2(sin_sigma, cos_sigma)
        sin_alpha = cosU1 * cosU2 * sl / sin_sigma
        cos2a = 1 - sin_alpha**2
        cos2sm = cos_sigma - 2 * sinU1 * sinU2 / cos2a if cos2a else 0.0
        C = F / 16 * cos2a * (4 + F * (4 - 3 * cos2a))
        prev = lam
        lam = L + (1 - C) * F * sin_alpha * (sigma + C * sin_sigma * (cos2sm + C * cos_sigma * (-1 + 2 * cos2sm**2)))
        if abs(lam - prev) < 1e-13:
            break
    u2 = cos2a * (A * A - b * b) / (b * b)
    AA = 1 + u2 / 16384 * (4096 + u2 * (-768 + u2 * (320 - 175 * u2)))
    BB = u2 / 1024 * (256 + u2 * (-128 + u2 * (74 - 47 * u2)))
    ds = BB * sin_sigma * (cos2sm + BB / 4 * (cos_sigma * (-1 + 2 * cos2sm**2) - BB / 6 * cos2sm * (-3 + 4 * sin_sigma**2) * (-3 + 4 * cos2sm**2)))
    return b * AA * (sigma - ds)


def rings_of(poly):
    return as_dict(poly)["rings"]


@pytest.mark.parametrize(
    "lon, lat, distance, parts",
    [
        (0, 0, 1000, 1),
        (179.99, 0, 10000, 2),  # cut at the antimeridian
        (-179.995, 45, 5000, 2),
        (0, 89.95, 10000, 1),  # holds the north pole
        (120, -89.99, 3000, 1),  # holds the south pole
    ],
)
def test_point_buffer_is_a_geodesic_circle(lon, lat, distance, parts):
    dev = distance / 1000
    buf = point(lon, lat).buffer(distance, unit=og.LinearUnitId.Meters, max_deviation=dev, curve_type=CT.Geodesic)
    rings = rings_of(buf)
    assert len(rings) == parts
    for ring in rings:
        for x, y in ring:
            assert -180 <= x <= 180 and -90 <= y <= 90
            if abs(abs(x) - 180) < 1e-9 or abs(abs(y) - 90) < 1e-9:
                continue  # points added on the cut line and at the pole
            assert geodesic_distance(lon, lat, x, y) == pytest.approx(distance, abs=dev)
    # Area of the circle, less the slivers outside the chords.
    circle = math.pi * distance**2
    assert buf.calculate_area(curve_type=CT.Geodesic) == pytest.approx(circle, rel=2e-3)
    if abs(lat) > 89.9:
        assert max(abs(y) for ring in rings for _, y in ring) == 90


def test_line_buffer_is_a_stadium():
    deg = line([[0, 0], [1, 0]])
    buf = deg.buffer(1000, unit=og.LinearUnitId.Meters, max_deviation=0.1, curve_type=CT.Geodesic)
    want = 2 * 1000 * 111319.490793 + math.pi * 1000**2
    assert buf.calculate_area(curve_type=CT.Geodesic) == pytest.approx(want, rel=1e-4)
    # Beside the equator the offset is the meridian arc of 1000 m.
    for x, y in rings_of(buf)[0]:
        if 0 < x < 1:
            assert geodesic_distance(x, 0, x, y) == pytest.approx(1000, abs=0.1)
    # Same buffer in kilometers.
    km = deg.buffer(1, unit=og.LinearUnitId.Kilometers, max_deviation=0.0001, curve_type=CT.Geodesic)
    assert km.calculate_area(curve_type=CT.Geodesic) == pytest.approx(want, rel=1e-4)


def test_buffer_in_a_projected_reference_measures_on_the_ellipsoid():
    # At 60N Web Mercator stretches lengths twofold; the buffer does not.
    p = point(10, 60).project(WEB_MERCATOR)
    buf = p.buffer(5000, unit=og.LinearUnitId.Meters, max_deviation=1, curve_type=CT.Geodesic)
    assert as_dict(buf)["spatialReference"]["wkid"] == 3857
    back = buf.project(WGS84)
    for x, y in rings_of(back)[0]:
        assert geodesic_distance(10, 60, x, y) == pytest.approx(5000, abs=1)


def test_polygon_buffers_grow_and_shrink():
    cell = polygon(CELL)
    area = cell.calculate_area(curve_type=CT.Geodesic)
    perimeter = cell.calculate_length(curve_type=CT.Geodesic)
    d = 10000
    grown = cell.buffer(d, unit=og.LinearUnitId.Meters, max_deviation=1, curve_type=CT.Geodesic)
    assert grown.calculate_area(curve_type=CT.Geodesic) == pytest.approx(area + perimeter * d + math.pi * d * d, rel=1e-4)
    shrunk = cell.buffer(-d, unit=og.LinearUnitId.Meters, max_deviation=1, curve_type=CT.Geodesic)
    assert shrunk.calculate_area(curve_type=CT.Geodesic) == pytest.approx(area - perimeter * d + 4 * d * d, rel=1e-3)
    gone = cell.buffer(-100000, unit=og.LinearUnitId.Meters, max_deviation=1, curve_type=CT.Geodesic)
    assert rings_of(gone) == []


@pytest.mark.parametrize(
    "geometry, distance, curve",
    [
        (line([[17.0, 31.6], [10.8, -43.4]], sr={"wkid": 102100}), 1e-300, CT.ShapePreserving),
        (line([[17.0, 31.6], [10.8, -43.4]], sr={"wkid": 102100}), 1e-300, CT.Loxodrome),
        (point(0.6727, 62.137, sr={"wkid": 4267}), 8.95e-10, CT.Geodesic),
    ],
)
def test_buffers_far_thinner_than_rounding(geometry, distance, curve):
    # Deviations clamped below the geodesic rounding used to be chased by
    # halving edges and chords (2^20 times per chord for a point).
    buf = geometry.buffer(distance, unit=og.LinearUnitId.Kilometers, max_deviation=1e-300, curve_type=curve)
    assert isinstance(buf, og.Polygon)


@pytest.mark.parametrize("distance", [1e-300, -1e-300, 5e-11])
@pytest.mark.parametrize("curve", [CT.Geodesic, CT.NormalSection, CT.Loxodrome])
def test_buffers_thinner_than_rounding_have_no_width(distance, curve):
    # Their outlines used to be rounding noise, chased for up to a minute and
    # returned as large polygons far from the input.
    lambert = {"wkid": 2154}
    for geometry in (point(1, -8, sr=lambert), line([[1, -8], [5000, 20]], sr=lambert)):
        assert rings_of(geometry.buffer(distance, unit=og.LinearUnitId.Feet, max_deviation=2.2e-308,
                                        curve_type=curve)) == []
    area = polygon([[[0, 0], [0, 1], [1, 1], [1, 0], [0, 0]]])
    kept = area.buffer(distance, unit=og.LinearUnitId.Meters, max_deviation=1e-300, curve_type=curve)
    assert kept.calculate_area(curve_type=CT.Geodesic) == area.calculate_area(curve_type=CT.Geodesic)


@pytest.mark.parametrize(
    "path, distance, unit, deviation, meters",
    [
        # Out and back along one line: the union of the pieces used to keep
        # rounding-sized cracks where the chords there and back cross, as
        # up to 55 holes of 4 or 5 vertices, or cut the buffer across into
        # polygons that touch (four here, for the great ellipse).
        ([[-19.5955, -1.5735], [-20.2059, -1.6163], [-19.5955, -1.5735]], 10.0, og.LinearUnitId.Inches, 1.0, 0.254),
        ([[167.1101435, 67.5511369], [165.4512906, 69.4757137], [167.1101435, 67.5511369]], 1, og.LinearUnitId.Meters, 0.01, 1),
        ([[-104.294257, -19.2490329], [-103.8984575, -19.8006575], [-104.294257, -19.2490329]], 3, og.LinearUnitId.Feet, 0, 0.9144),
        ([[103.5984368, -14.0997645], [104.2099563, -15.6376733], [103.5984368, -14.0997645]], 1, og.LinearUnitId.Meters, 0, 1),
    ],
)
@pytest.mark.parametrize("curve", ALL_CURVES[:4])
def test_buffers_keep_no_rounding_slivers(path, distance, unit, deviation, meters, curve):
    g = line(path, sr={"wkid": 4269})
    buf = g.buffer(distance, unit, deviation, curve)
    assert len(rings_of(buf)) == 1
    areas = {c: buf.calculate_area(curve_type=c) for c in ALL_CURVES[:4]}
    # The outline's long sides run straight between a few vertices: curve
    # types other than the loxodrome follow nearly the same line there.
    expected = areas[CT.Geodesic]
    for c in (CT.GreatElliptic, CT.NormalSection):
        assert areas[c] == pytest.approx(expected, rel=1e-4)
    assert areas[CT.Loxodrome] == pytest.approx(expected, rel=1e-2)
    # A stadium round the path, within the deviation.
    length = g.calculate_length(curve_type=curve) / 2
    assert expected == pytest.approx(2 * meters * length, rel=0.11)


@pytest.mark.parametrize(
    "geometry, distance, deviation, message",
    [
        (og.Envelope({"spatialReference": WEB_MERCATOR, "xmin": -9, "ymin": -49.1, "xmax": 9e9, "ymax": -32.58}),
         -1.0, 9.9e-7, "maximum deviation is too small"),
        (og.Envelope({"spatialReference": {"wkid": 32633}, "xmin": 180, "ymin": -15.3, "xmax": 1e7, "ymax": 1.79e308}),
         -31060.0, 3.2e-4, "far outside the range of the coordinate system"),
        (polygon([[[1e300, -3.35], [-66.2, 17.6], [1e300, -3.35]]], sr={"wkid": 4267}),
         0.45, 0.0, "far outside the range of the coordinate system"),
    ],
)
def test_hopeless_buffers_give_up(geometry, distance, deviation, message):
    # These ran for minutes (offset points without end, outlines of wrapped noise).
    with pytest.raises(Exception, match=message):
        geometry.buffer(distance, unit=og.LinearUnitId.Meters, max_deviation=deviation, curve_type=CT.Loxodrome)


def test_transformations_with_an_area_of_interest_outside_the_projection():
    # Outline points outside the projection's domain used to fail the search,
    # and its failures are fatal.
    aoi = og.Envelope({"xmin": -46.2, "ymin": 22.3, "xmax": 1.2e21, "ymax": 0.0})
    assert isinstance(projection.get_transformations({"wkid": 27700}, WGS84, area_of_interest=aoi), list)


@pytest.mark.parametrize("d", [10000, -10000, -100000])
def test_polygon_cut_at_the_antimeridian_buffers_as_one(d):
    # The edges along the antimeridian only cut the polygon: they do not
    # bound it, so the two halves buffer exactly as the whole does.
    sp = CT.ShapePreserving
    halves = polygon(
        [[[170, 0], [170, 10], [180, 10], [180, 0], [170, 0]], [[-180, 0], [-180, 10], [-170, 10], [-170, 0], [-180, 0]]]
    )
    whole = polygon([[[170, 0], [170, 10], [190, 10], [190, 0], [170, 0]]])
    a = halves.buffer(d, unit=og.LinearUnitId.Meters, max_deviation=1, curve_type=sp)
    b = whole.buffer(d, unit=og.LinearUnitId.Meters, max_deviation=1, curve_type=sp)
    assert a.calculate_area(curve_type=sp) == pytest.approx(b.calculate_area(curve_type=sp), rel=1e-6)
    assert len(rings_of(a)) == len(rings_of(b)) == 2


@pytest.mark.parametrize("d", [10000, -10000])
def test_polar_cap_buffers_along_its_parallel(d):
    # The cap north of 80N, drawn as a longitude/latitude rectangle: only the
    # parallel bounds it.  Growing or shrinking it by d changes its area by
    # the parallel's length times d, plus the second-order term of a circle
    # (pi d^2 times the cosine of its 10 degree radius).
    sp = CT.ShapePreserving
    cap = polygon([[[-180, 80], [-180, 90], [180, 90], [180, 80], [-180, 80]]])
    area = cap.calculate_area(curve_type=sp)
    parallel = line([[-180, 80], [180, 80]]).calculate_length(curve_type=sp)
    out = cap.buffer(d, unit=og.LinearUnitId.Meters, max_deviation=1, curve_type=sp)
    expected = area + parallel * d + math.pi * d * d * math.cos(math.radians(10))
    # Chords within the 1 m deviation may cut up to 1 m times the perimeter.
    assert out.calculate_area(curve_type=sp) == pytest.approx(expected, abs=parallel * 1.0)
    assert max(y for r in rings_of(out) for _, y in r) == 90


@pytest.mark.parametrize("lon", [-179.3, -97.123456789, -2.793185941222703, 0.1, 33.3333333, 179.9])
def test_buffers_holding_a_pole_are_one_polygon(lon):
    # The copies of a ring around a pole, shifted by whole turns, must meet
    # exactly along the meridian that closes it over the pole.
    triangle = polygon([[[lon, 80], [lon + 120, 80], [lon - 120, 80], [lon, 80]]])
    grown = triangle.buffer(50000, unit=og.LinearUnitId.Meters, max_deviation=10, curve_type=CT.Geodesic)
    assert len(rings_of(grown)) == 1
    for lat, d in [(89.9, 20000), (-89.5, 80000), (85, 600000)]:
        circle = point(lon, lat).buffer(d, unit=og.LinearUnitId.Meters, max_deviation=d / 1000, curve_type=CT.Geodesic)
        assert len(rings_of(circle)) == 1


def test_buffer_of_a_line_around_the_globe():
    around = line([[-179, 0], [-90, 0], [0, 0], [90, 0], [179, 0]])
    buf = around.buffer(100, unit=og.LinearUnitId.Kilometers, max_deviation=0.01, curve_type=CT.Geodesic)
    length = around.calculate_length(curve_type=CT.Geodesic)
    assert buf.calculate_area(curve_type=CT.Geodesic) == pytest.approx(2 * 1e5 * length + math.pi * 1e10, rel=1e-3)


def test_buffer_collection_geodetic_and_merged():
    pts = [point(0, 0), point(0.01, 0)]
    apart = og.buffer_collection(pts, [1000.0], distance_unit=og.LinearUnitId.Meters, max_deviation=1.0)
    assert len(apart) == 2  # the last distance serves the rest
    merged = og.buffer_collection(
        pts, [1000.0], union_result=True, distance_unit=og.LinearUnitId.Meters, max_deviation=1.0
    )
    assert len(merged) == 1
    assert len(rings_of(merged[0])) == 1
    # A buffer made in another reference joins the first's in its place on
    # the ground, not at its coordinates read in the first's units.
    mixed = og.buffer_collection(
        [pts[0], pts[0].project(WEB_MERCATOR)], [1000.0], union_result=True, distance_unit=og.LinearUnitId.Meters
    )
    assert as_dict(mixed[0])["spatialReference"] == {"wkid": 4326}
    assert mixed[0].calculate_area(curve_type=CT.Geodesic) == pytest.approx(
        apart[0].calculate_area(curve_type=CT.Geodesic), rel=1e-6
    )


# ---- projection ----


@pytest.mark.parametrize(
    "lon, lat, sr, x, y, tol",
    [
        (0, 0, 3857, 0, 0, 1e-9),
        (10, 50, 3857, A * math.radians(10), mercator_y(50), 1e-6),
        (-120, -30, 3857, A * math.radians(-120), mercator_y(-30), 1e-6),
        (9, 45, 32632, 500000, 0.9996 * 4984944.378, 1e-2),
        (9, 0, 32632, 500000, 0, 1e-6),
    ],
)
def test_project_known_points(lon, lat, sr, x, y, tol):
    out = as_dict(point(lon, lat).project({"wkid": sr}))
    assert out["x"] == pytest.approx(x, abs=tol)
    assert out["y"] == pytest.approx(y, abs=tol)
    back = as_dict(point(out["x"], out["y"], {"wkid": sr}).project(WGS84))
    assert (back["x"], back["y"]) == (pytest.approx(lon, abs=1e-9), pytest.approx(lat, abs=1e-9))


def test_project_envelopes_curves_and_bare_geometries():
    env = og.Envelope({"xmin": 0, "ymin": 40, "xmax": 10, "ymax": 50, "spatialReference": WGS84})
    merc = env.project(WEB_MERCATOR)
    assert isinstance(merc, og.Envelope)
    assert as_dict(merc)["ymax"] == pytest.approx(mercator_y(50), abs=1e-6)
    # A projected arc becomes chords through its projected points.
    arc = og.Polyline({"curvePaths": [[[0, 0], {"c": [[10, 0], [5, 5]]}]], "spatialReference": WGS84})
    projected = as_dict(arc.project(WEB_MERCATOR))
    assert "paths" in projected and len(projected["paths"][0]) > 10
    # No spatial reference: the coordinates are taken as the target's.
    bare = as_dict(og.Point({"x": 3, "y": 4}).project(WEB_MERCATOR))
    assert (bare["x"], bare["y"], bare["spatialReference"]["wkid"]) == (3, 4, 3857)


def test_projected_rings_keep_their_orientation():
    # Lo29 (2053) counts westing and southing: the plane is mirrored, yet the
    # exterior ring of the result still runs clockwise.
    cell = og.Polygon({"rings": [[[29, -26], [29, -25], [30, -25], [30, -26], [29, -26]]], "spatialReference": {"wkid": 4148}})
    for wkid in (2053, 32735):
        ring = rings_of(cell.project({"wkid": wkid}))[0]
        if ring[0] != ring[-1]:
            ring.append(ring[0])
        shoelace = sum(a[0] * b[1] - b[0] * a[1] for a, b in zip(ring, ring[1:])) / 2
        assert shoelace < 0


# ---- datum transformations ----

KANSAS = {"xmin": -102, "ymin": 37, "xmax": -95, "ymax": 40, "spatialReference": WGS84}


def test_no_transformation_within_one_datum():
    assert projection.get_transformations(WGS84, WEB_MERCATOR) == []
    assert projection.get_transformations(WGS84, WGS84) == []


def test_transformations_ranked_with_missing_grids_last():
    ts = projection.get_transformations(WGS84, {"wkid": 4267}, area_of_interest=KANSAS)
    assert ts
    missing = [t.is_missing_projection_engine_files() for t in ts]
    # Operations whose grid files are missing stay listed, after the others.
    assert missing == sorted(missing)
    first = ts[0]
    assert first.object_type == "Geographic"
    assert str(first) == first.name == repr(first)
    assert "NAD27" in first.name
    assert first.input_spatial_reference.wkid == 4326
    assert first.output_spatial_reference.wkid == 4267
    inverse = first.get_inverse()
    assert inverse.input_spatial_reference.wkid == 4267
    assert inverse.output_spatial_reference.wkid == 4326
    assert inverse.get_inverse().name == first.name
    # A listed transformation whose grids are missing cannot be applied, and says why.
    lacking = [t for t in ts if t.is_missing_projection_engine_files()]
    if lacking:
        with pytest.raises(Exception, match="grid files"):
            point(-98, 38).project_with_transformation({"wkid": 4267}, lacking[0])


def test_vertical_systems_and_ignore_vertical():
    # EGM96 heights to NAVD88 heights over WGS 84: only vertical steps differ.
    a = {"wkid": 4326, "vcsWkid": 5773}
    b = {"wkid": 4326, "vcsWkid": 5703}
    both = projection.get_transformations(a, b)
    assert both and {t.object_type for t in both} == {"HorizontalVertical"}
    assert projection.get_transformations(a, b, ignore_vertical=True) == []
    # A datum change with a vertical system on both sides, vertical steps ignored.
    flat = projection.get_transformations({"wkid": 4326, "vcsWkid": 5703}, {"wkid": 4269, "vcsWkid": 5703}, ignore_vertical=True)
    assert flat and {t.object_type for t in flat} == {"Geographic"}


def test_project_with_transformation_round_trip():
    ts = [
        t
        for t in projection.get_transformations(WGS84, {"wkid": 4267}, area_of_interest=KANSAS)
        if not t.is_missing_projection_engine_files()
    ]
    t = ts[0]
    p = point(-98, 38)
    nad27 = as_dict(p.project_with_transformation({"wkid": 4267}, t))
    # NAD27 differs from WGS 84 by tens of meters in Kansas.
    shift = geodesic_distance(-98, 38, nad27["x"], nad27["y"])
    assert 5 < shift < 200
    # Back through the inverse, or through the same transformation run backwards.
    sr27 = {"wkid": 4267}
    for back_with in (t.get_inverse(), t):
        back = as_dict(point(nad27["x"], nad27["y"], sr27).project_with_transformation(WGS84, back_with))
        assert (back["x"], back["y"]) == (pytest.approx(-98, abs=1e-8), pytest.approx(38, abs=1e-8))
    # A transformation that touches neither side's datum is refused.
    etrs = projection.get_transformations(WGS84, {"wkid": 4258})
    if etrs:
        with pytest.raises(Exception, match="Vaskelith library error"):
            point(-98, 38, sr27).project_with_transformation(WEB_MERCATOR, etrs[0])
    # Into a projected system through the transformation: UTM 14N on NAD27.
    utm = as_dict(p.project_with_transformation({"wkid": 26714}, t))
    assert utm["x"] == pytest.approx(500000 + (-98 + 99) * 87800, rel=0.02)
    collected = projection.project_collection_with_transformation([p, p], sr27, t)
    assert [as_dict(c)["x"] for c in collected] == [nad27["x"], nad27["x"]]


def test_projection_engine_directory_reads_back_and_keeps_data(tmp_path):
    assert projection.get_projection_engine_dir() is None
    try:
        projection.set_projection_engine_dir(str(tmp_path))
        assert projection.get_projection_engine_dir() == str(tmp_path)
        # The engine's own database is still found.
        assert as_dict(point(9, 45).project({"wkid": 32632}))["x"] == pytest.approx(500000)
        assert projection.get_transformations(WGS84, {"wkid": 4267})
    finally:
        projection.set_projection_engine_dir(None)
    assert projection.get_projection_engine_dir() is None
