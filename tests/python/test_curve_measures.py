"""Areas and lengths of true curves: ellipses cut into arcs, and curves far
from the origin."""
import json
import math
import random
from fractions import Fraction

import pytest

import ostrel_geometry as og


def complete_e(m):
    """The complete elliptic integral of the second kind E(m), by the
    arithmetic-geometric mean."""
    a, b, total, power = 1.0, math.sqrt(1 - m), m / 2, 0.5
    for _ in range(40):
        c = (a - b) / 2
        a, b = (a + b) / 2, math.sqrt(a * b)
        power *= 2
        total += power * c * c
    return math.pi / (2 * a) * (1 - total)


def ellipse_ring(cx, cy, a, ratio, rotation, pieces, t0):
    """A clockwise ellipse of `pieces` elliptic arcs, each given by its end
    points, the center and the ellipse's shape."""
    b = a * ratio
    cr, sr = math.cos(rotation), math.sin(rotation)

    def at(t):
        x, y = a * math.cos(t), b * math.sin(t)
        return [cx + cr * x - sr * y, cy + sr * x + cr * y]

    pts = [at(t0 - 2 * math.pi * k / pieces) for k in range(pieces)]
    minor = 1 if pieces > 2 else 0
    arcs = [{"a": [pts[(k + 1) % pieces], [cx, cy], minor, 1, rotation, a, ratio]} for k in range(pieces)]
    return {"curveRings": [[pts[0]] + arcs]}


@pytest.mark.parametrize("pieces", [2, 3, 4])
def test_ellipses_cut_into_arcs_measure_pi_ab_and_4aE(pieces):
    # Halves are the ill-conditioned case: end points a diameter apart fix
    # the center only to the square root of their rounding.
    rng = random.Random(pieces)
    for _ in range(12):
        a, ratio = rng.uniform(0.5, 5), rng.uniform(0.2, 1)
        shape = ellipse_ring(rng.uniform(-100, 100), rng.uniform(-100, 100), a, ratio, rng.uniform(-3, 3), pieces,
                             rng.uniform(0, 2 * math.pi))
        area, perimeter = math.pi * a * a * ratio, 4 * a * complete_e(1 - ratio * ratio)
        # From dictionaries the arcs reach the runtime by their end points;
        # from text, with their centers.
        for g in (og.Polygon(shape), og.Geometry(json.dumps(shape))):
            assert g.area == pytest.approx(area, rel=1e-12)
            assert g.length == pytest.approx(perimeter, rel=1e-12)


def _circumcircle(p, q, m):
    (ax, ay), (bx, by), (cx, cy) = [(Fraction(x), Fraction(y)) for x, y in (p, q, m)]
    d = 2 * (ax * (by - cy) + bx * (cy - ay) + cx * (ay - by))
    ux = ((ax * ax + ay * ay) * (by - cy) + (bx * bx + by * by) * (cy - ay) + (cx * cx + cy * cy) * (ay - by)) / d
    uy = ((ax * ax + ay * ay) * (cx - bx) + (bx * bx + by * by) * (ax - cx) + (cx * cx + cy * cy) * (bx - ax)) / d
    return ux, uy, (ax - ux) ** 2 + (ay - uy) ** 2


def _arc_area_term(p, q, m, origin):
    """The area term (1/2 of x dy - y dx) of the circular arc from p through m
    to q, relative to `origin`, from the points exactly as stored."""
    ux, uy, r2 = _circumcircle(p, q, m)
    angle = lambda pt: math.atan2(float(Fraction(pt[1]) - uy), float(Fraction(pt[0]) - ux))
    d = lambda pt, i: Fraction(pt[i]) - Fraction(p[i])
    ccw = d(m, 0) * d(q, 1) - d(m, 1) * d(q, 0) > 0
    sweep = (angle(q) - angle(p)) % (2 * math.pi)
    if not ccw:
        sweep -= 2 * math.pi
    o = [Fraction(v) for v in origin]
    px, py, qx, qy = Fraction(p[0]) - o[0], Fraction(p[1]) - o[1], Fraction(q[0]) - o[0], Fraction(q[1]) - o[1]
    return float((px * qy - qx * py) / 2) + float(r2) / 2 * (sweep - math.sin(sweep))


def test_small_circle_far_from_the_origin():
    # Radius 0.01 at (5e6, 3.5e6): a coordinate there is rounded by about
    # 5e-10, so the circle through the stored points is not quite of radius
    # 0.01; its area is measured against the stored points themselves.
    cx, cy, r = 5e6, 3.5e6, 0.01
    rng = random.Random(6)
    for _ in range(20):
        th = rng.uniform(0, 2 * math.pi)
        at = lambda t: [cx + r * math.cos(th + t), cy + r * math.sin(th + t)]
        p0, p1, low, high = at(0), at(math.pi), at(-math.pi / 2), at(math.pi / 2)
        disc = og.Polygon({"curveRings": [[p0, {"c": [p1, low]}, {"c": [p0, high]}]]})
        exact = abs(_arc_area_term(p0, p1, low, p0) + _arc_area_term(p1, p0, high, p0))
        assert disc.area == pytest.approx(exact, rel=1e-12)
        assert exact == pytest.approx(math.pi * r * r, rel=2e-7)


def test_curves_measure_alike_wherever_they_lie():
    # The same curved ring near the origin and moved (exactly: offsets on a
    # grid of 2^-30) to (5e6, 3.5e6): arcs, elliptic arcs by end points and
    # Beziers alike.
    grid = 2.0**-30
    snap = lambda v: round(v / grid) * grid
    rng = random.Random(7)
    for _ in range(10):
        r, ratio, rot = rng.uniform(0.005, 0.02), rng.uniform(0.3, 1), rng.uniform(-3, 3)
        t0 = rng.uniform(0, 2 * math.pi)
        on = lambda t: [snap(r * (math.cos(rot) * math.cos(t) - ratio * math.sin(rot) * math.sin(t))),
                        snap(r * (math.sin(rot) * math.cos(t) + ratio * math.cos(rot) * math.sin(t)))]
        q = [on(t0 - k * math.pi / 2) for k in range(4)]
        ring = lambda ox, oy: [
            [q[0][0] + ox, q[0][1] + oy],
            {"a": [[q[1][0] + ox, q[1][1] + oy], [ox, oy], 1, 1, rot, r, ratio]},
            {"c": [[q[2][0] + ox, q[2][1] + oy], [snap(q[1][0] * 0.3 + q[2][0] * 0.8) + ox,
                                                  snap(q[1][1] * 0.3 + q[2][1] * 0.8) + oy]]},
            {"b": [[q[3][0] + ox, q[3][1] + oy], [snap(q[2][0] * 1.2) + ox, snap(q[2][1] * 0.9) + oy],
                   [snap(q[3][0] * 0.9) + ox, snap(q[3][1] * 1.2) + oy]]},
            {"a": [[q[0][0] + ox, q[0][1] + oy], [ox, oy], 1, 1, rot, r, ratio]},
        ]
        near = og.Polygon({"curveRings": [ring(0.0, 0.0)]})
        far = og.Polygon({"curveRings": [ring(5e6, 3.5e6)]})
        assert far.area == pytest.approx(near.area, rel=1e-12)
        assert far.length == pytest.approx(near.length, rel=1e-9)
