"""The spherical equal-area methods (EPSG 1027 and 9834) follow EPSG's
formulas on the authalic sphere, whichever PROJ the runtime runs on."""
import math

import pytest

import ostrel_geometry as og

CLARKE_1866 = (6378206.4, 1 - 6356583.8 / 6378206.4)
WGS84 = (6378137.0, 1 / 298.257223563)


def authalic_radius(a, f):
    e2 = f * (2 - f)
    e = math.sqrt(e2)
    qp = 1 - (1 - e2) / (2 * e) * math.log((1 - e) / (1 + e))
    return a * math.sqrt(qp / 2)


def laea_spherical(lon, lat, lon0, lat0, r):
    p, p0, dl = math.radians(lat), math.radians(lat0), math.radians(lon - lon0)
    k = math.sqrt(2 / (1 + math.sin(p0) * math.sin(p) + math.cos(p0) * math.cos(p) * math.cos(dl)))
    return r * k * math.cos(p) * math.sin(dl), r * k * (math.cos(p0) * math.sin(p) - math.sin(p0) * math.cos(p) * math.cos(dl))


def cea_spherical(lon, lat, lon0, lat_ts, r):
    c = math.cos(math.radians(lat_ts))
    return r * math.radians(lon - lon0) * c, r * math.sin(math.radians(lat)) / c


def xy(geometry):
    d = geometry.to_dict()
    return d["x"], d["y"]


def point(x, y, wkid):
    return og.Point({"x": x, "y": y, "spatialReference": {"wkid": wkid}})


def test_us_national_atlas_equal_area():
    # EPSG:9311 (method 1027 on Clarke 1866, centre 45N 100W).
    got = point(-80, 40, 4267).project({"wkid": 9311})
    assert xy(got) == pytest.approx((1684649.48, -350356.83), abs=0.005)
    r = authalic_radius(*CLARKE_1866)
    for lon, lat in ((-80, 40), (-120, 30), (-150, 65), (-70, 20)):
        want = laea_spherical(lon, lat, -100, 45, r)
        there = point(lon, lat, 4267).project({"wkid": 9311})
        assert xy(there) == pytest.approx(want, abs=1e-3)
        assert xy(there.project({"wkid": 4267})) == pytest.approx((lon, lat), abs=1e-9)


def test_ease_grid_global():
    # EPSG:3975 (method 9834 on WGS 84, standard parallel 30).
    r = authalic_radius(*WGS84)
    for lon, lat in ((-80, 40), (100, -30), (179, 80), (0, 0)):
        want = cea_spherical(lon, lat, 0, 30, r)
        there = point(lon, lat, 4326).project({"wkid": 3975})
        assert xy(there) == pytest.approx(want, abs=1e-3)
        assert xy(there.project({"wkid": 4326})) == pytest.approx((lon, lat), abs=1e-9)
    assert xy(point(100, -30, 4326).project({"wkid": 3975})) == pytest.approx((9629773.98, -3678302.71), abs=0.01)


def test_geodetic_measures_in_those_planes_use_the_same_sphere():
    # A ring drawn in the plane of EPSG:9311 where the formula puts four
    # corners measures as those corners do in NAD27.
    corners = [(-90, 35), (-90, 40), (-85, 40), (-85, 35), (-90, 35)]
    r = authalic_radius(*CLARKE_1866)
    plane = og.Polygon({"rings": [[list(laea_spherical(lon, lat, -100, 45, r)) for lon, lat in corners]],
                        "spatialReference": {"wkid": 9311}})
    angles = og.Polygon({"rings": [[list(c) for c in corners]], "spatialReference": {"wkid": 4267}})
    geodesic = og.GeodeticCurveType.Geodesic
    assert plane.calculate_area(geodesic) == pytest.approx(angles.calculate_area(geodesic), rel=1e-9)


def test_the_ellipsoidal_method_is_left_to_proj():
    # EPSG:3035 (ellipsoidal Lambert azimuthal equal-area): EPSG's own
    # worked example.
    assert xy(point(5, 50, 4258).project({"wkid": 3035})) == pytest.approx((3962799.45, 2999718.85), abs=0.005)
