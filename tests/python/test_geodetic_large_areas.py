"""Geodetic areas of rings larger than a hemisphere: the ring's orientation
tells which side it bounds."""
import math
import random

import pytest

import ostrel_geometry as og

GEODESIC = og.GeodeticCurveType.Geodesic
SPHERE_WKID, SPHERE_RADIUS = 4035, 6371000.0  # the EPSG sphere of radius 6371 km
WGS84_A, WGS84_F = 6378137.0, 1 / 298.257223563


def polygon(rings, wkid=4326):
    return og.Polygon({"rings": [r + [r[0]] for r in rings], "spatialReference": {"wkid": wkid}})


def band(lon0, lat0, lon1, lat1):
    """The clockwise box of 1 degree steps: up the west side, east along the
    top, down the east side and west along the bottom."""
    return (
        [[lon0, y] for y in range(lat0, lat1)]
        + [[x, lat1] for x in range(lon0, lon1)]
        + [[lon1, y] for y in range(lat1, lat0, -1)]
        + [[x, lat0] for x in range(lon1, lon0, -1)]
    )


def ellipsoid_box_area(lon0, lat0, lon1, lat1, a=WGS84_A, f=WGS84_F):
    """Area between two parallels and two meridians on the ellipsoid."""
    b, e2 = a * (1 - f), f * (2 - f)
    e = math.sqrt(e2)

    def q(lat):
        s = math.sin(math.radians(lat))
        return b * b / 2 * (s / (1 - e2 * s * s) + math.atanh(e * s) / e)

    return math.radians(lon1 - lon0) * (q(lat1) - q(lat0))


def sphere_right_area(ring, radius=SPHERE_RADIUS):
    """Area on the right of a ring of great-circle edges on a sphere, in
    [0, 4 pi r^2): the signed areas of the quadrilaterals between each edge
    and the equator (south of an edge running east counts positive), summed."""
    total = 0.0
    for (l1, p1), (l2, p2) in zip(ring, ring[1:] + ring[:1]):
        dl = math.remainder(math.radians(l2 - l1), 2 * math.pi)
        t1, t2 = math.tan(math.radians(p1) / 2), math.tan(math.radians(p2) / 2)
        total += 2 * math.atan2(math.tan(dl / 2) * (t1 + t2), 1 + t1 * t2)
    return (total % (4 * math.pi)) * radius * radius


def test_the_reported_ring_and_its_hole():
    ring = band(-170, -80, 170, 80)
    expected = ellipsoid_box_area(-170, -80, 170, 80)  # 4.74e14; geodesic edges bulge by ~1e-6 of it
    area = polygon([ring]).calculate_area(GEODESIC)
    assert area == pytest.approx(expected, rel=2e-6) and area > 4.7e14
    hole = [[0, 0], [1, 0], [1, 1], [0, 1]]
    with_hole = polygon([ring, hole]).calculate_area(GEODESIC)
    assert with_hole == pytest.approx(area - polygon([hole]).calculate_area(GEODESIC), rel=1e-12)
    # Loxodromes run along the parallels: the box exactly.
    assert polygon([ring]).calculate_area(og.GeodeticCurveType.Loxodrome) == pytest.approx(expected, rel=1e-9)
    # The same ring run counter-clockwise bounds the other side.
    assert polygon([ring[::-1]]).calculate_area(GEODESIC) == pytest.approx(
        ellipsoid_box_area(0, -90, 360, 90) - area, rel=1e-9
    )


def test_small_rings_and_rings_round_a_pole_stay_as_they_were():
    square = [[0, 0], [0, 1], [1, 1], [1, 0]]
    cw = polygon([square]).calculate_area(GEODESIC)
    assert cw == pytest.approx(12308778361.469, rel=1e-9)
    assert polygon([square[::-1]]).calculate_area(GEODESIC) == cw
    cap = ellipsoid_box_area(-180, 80, 180, 90)
    parallel = [[x, 80] for x in range(-180, 180)]
    with_pole = [[x, 80] for x in range(-180, 181)] + [[180, 90], [-180, 90]]
    for ring in (parallel, parallel[::-1], with_pole, with_pole[::-1]):
        # (geodesics between points a degree apart bulge towards the pole)
        assert polygon([ring]).calculate_area(GEODESIC) == pytest.approx(cap, rel=1e-4)
    # Wrapped longitudes across the antimeridian, either way round: the
    # small box the edges enclose.
    wrapped = [[179, 0], [179, 1], [-179, 1], [-179, 0]]
    for ring in (wrapped, wrapped[::-1]):
        assert polygon([ring]).calculate_area(GEODESIC) == pytest.approx(2 * cw, rel=1e-3)


def _blob(rng):
    """A star-shaped ring in longitude and latitude, nearly a box (a
    superellipse with its corners moved at random), clockwise, its edges cut
    into steps of at most a degree so that its geodesics follow it."""
    lon0, lat0 = rng.uniform(-10, 10), rng.uniform(-10, 10)
    rx, ry = rng.uniform(90, 170), rng.uniform(50, 110)
    n = rng.randint(8, 16)
    corners = []
    for i in range(n):
        t = -2 * math.pi * (i + rng.uniform(0, 0.8)) / n
        k = rng.uniform(0.8, 1) / (abs(math.cos(t)) ** 6 + abs(math.sin(t)) ** 6) ** (1 / 6)
        corners.append([lon0 + k * rx * math.cos(t), max(-85.0, min(85.0, lat0 + k * ry * math.sin(t)))])
    ring = []
    for (x0, y0), (x1, y1) in zip(corners, corners[1:] + corners[:1]):
        steps = max(1, math.ceil(max(abs(x1 - x0), abs(y1 - y0))))
        ring += [[x0 + (x1 - x0) * i / steps, y0 + (y1 - y0) * i / steps] for i in range(steps)]
    return ring


def test_random_rings_on_a_sphere_match_the_spherical_excess():
    rng = random.Random(2024)
    whole = 4 * math.pi * SPHERE_RADIUS**2
    larger = 0
    for _ in range(16):
        ring = _blob(rng)
        right = sphere_right_area(ring)
        larger += right > whole / 2
        # Clockwise: the side on the right, however large; counter-clockwise
        # (against the model's order): the smaller side.
        assert polygon([ring], SPHERE_WKID).calculate_area(GEODESIC) == pytest.approx(right, rel=1e-9)
        assert polygon([ring[::-1]], SPHERE_WKID).calculate_area(GEODESIC) == pytest.approx(
            min(right, whole - right), rel=1e-9
        )
    assert larger >= 4  # the table holds rings larger than a hemisphere
