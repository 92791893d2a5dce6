"""Areas and lengths of true curves: ellipses cut into arcs, and curves far
from the origin."""
import json
import math
import random
import sys
from decimal import Decimal, localcontext
from fractions import Fraction

import pyproj
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


# ---- Nearly straight circular arcs ----------------------------------------
#
# References are exact for the points as stored: rational arithmetic for the
# circle, 60 digits for the angles and square roots.

_DIGITS = 60


def _dec(q):
    return Decimal(q.numerator) / Decimal(q.denominator)


def _atan(x):
    """atan(x) for 0 <= x <= 1, to about _DIGITS digits."""
    halvings = 0
    while x > Decimal("0.05"):
        x = x / (1 + (1 + x * x).sqrt())
        halvings += 1
    term, total, n = x, x, 1
    while abs(term) > Decimal(10) ** -(_DIGITS + 5):
        term, n = -term * x * x, n + 2
        total += term / n
    return total * 2**halvings


def _angle(y, x):
    """The angle (0, pi) whose sine and cosine are in proportion y : x, y > 0."""
    half_pi = 2 * _atan(Decimal(1))
    if x > 0:
        return _atan(y / x) if y <= x else half_pi - _atan(x / y)
    return half_pi + _atan(-x / y)


def _exact_arc(start, end, interior):
    """Chord, length and signed area between chord and arc (positive when the
    arc bulges to the right of start -> end, where the interior point turns
    counter-clockwise) of the circular arc through the three stored points."""
    with localcontext() as ctx:
        ctx.prec = _DIGITS
        (sx, sy), (ex, ey), (ix, iy) = [(Fraction(x), Fraction(y)) for x, y in (start, end, interior)]
        ux, uy, vx, vy = sx - ix, sy - iy, ex - ix, ey - iy
        cross, dot = ux * vy - uy * vx, ux * vx + uy * vy
        nu, nv = _dec(ux * ux + uy * uy).sqrt(), _dec(vx * vx + vy * vy).sqrt()
        chord = _dec((ex - sx) ** 2 + (ey - sy) ** 2).sqrt()
        # The inscribed angle at the interior point is pi less half the sweep.
        half = _angle(_dec(abs(cross)), _dec(-dot))
        radius = chord * nu * nv / (2 * _dec(abs(cross)))
        sine, term, n = Decimal(0), 2 * half, 1
        while abs(term) > Decimal(10) ** -(_DIGITS + 5):
            sine, term, n = sine + term, -term * 4 * half * half / ((n + 1) * (n + 2)), n + 2
        bulge = radius * radius / 2 * (2 * half - sine)
        return float(chord), float(2 * radius * half), float(bulge if cross < 0 else -bulge)


def _exact_arc_about(start, end, center):
    """Chord and length of the circular arc from start to end whose sweep is
    the angle between the radii to them (below a half turn)."""
    with localcontext() as ctx:
        ctx.prec = _DIGITS
        (sx, sy), (ex, ey), (cx, cy) = [(Fraction(x), Fraction(y)) for x, y in (start, end, center)]
        ux, uy, vx, vy = sx - cx, sy - cy, ex - cx, ey - cy
        cosine = _dec(ux * vx + uy * vy) / (_dec(ux * ux + uy * uy) * _dec(vx * vx + vy * vy)).sqrt()
        half_sine = ((1 - cosine) / 2).sqrt()
        half = _angle(half_sine, ((1 + cosine) / 2).sqrt())
        chord = _dec((ex - sx) ** 2 + (ey - sy) ** 2).sqrt()
        return float(chord), float(chord * half / half_sine)


def _rounding_units(start, end, interior):
    """How far the interior point lies off the line through the ends, in
    units of epsilon times the largest coordinate: the height of the triangle
    over its longest side."""
    (sx, sy), (ex, ey), (ix, iy) = [(Fraction(x), Fraction(y)) for x, y in (start, end, interior)]
    cross = (ix - sx) * (ey - sy) - (iy - sy) * (ex - sx)
    longest = max(math.dist(p, q) for p, q in ((start, end), (start, interior), (end, interior)))
    largest = max(abs(v) for v in (*start, *end, *interior))
    return abs(float(cross)) / longest / (sys.float_info.epsilon * largest)


def _nearly_straight_arcs(count, seed, reaches=(1.0, 1e3, 1e6, 1e7, 1e8), around=(0.0, 0.0)):
    """Arcs whose interior point lies 1e-14 to 1e-6 of the chord off it, with
    chords of 1e-3 to 1e3 starting up to one of the reaches from a point."""
    rng = random.Random(seed)
    for _ in range(count):
        reach = rng.choice(reaches)
        chord, off = 10 ** rng.uniform(-3, 3), 10 ** rng.uniform(-14, -6) * rng.choice([-1, 1])
        a, t = rng.uniform(0, 2 * math.pi), rng.uniform(0.1, 0.9)
        sx, sy = around[0] + rng.uniform(-reach, reach), around[1] + rng.uniform(-reach, reach)
        dx, dy = chord * math.cos(a), chord * math.sin(a)
        yield (sx, sy), (sx + dx, sy + dy), (sx + t * dx - off * dy, sy + t * dy + off * dx)


def _length_slack(chord, sagitta, rounding, length):
    """How far an arc's length may move when the point it keeps moves by
    `rounding`: the length exceeds the chord by about 8/3 s^2 / c for a
    sagitta s, which moves by 16/3 s / c of the point's move."""
    return 16 / 3 * sagitta / chord * rounding + 1e-15 * length


def _off_circle(x, y, ux, uy, r2):
    """How far (x, y) lies off the circle about (ux, uy) of squared radius r2:
    (|p - u|^2 - r^2) / 2r, exact but for the square root."""
    return ((Fraction(x) - ux) ** 2 + (Fraction(y) - uy) ** 2 - r2) / (2 * Fraction(math.sqrt(r2)))


def _arc_path(start, end, interior):
    return {"curvePaths": [[list(start), {"c": [list(end), list(interior)]}]]}


# Points this many units of rounding off their chord (or more) make an arc;
# this few (or fewer) are collinear.  Between the two, either may hold.
_CLEARLY_BENT = 3
_CLEARLY_FLAT = 1
# The chord as measured from the rounded differences of its ends may fall
# short of the exact one by an ulp: an arc is never shorter than that.
_CHORD_ROUNDING = 1 - sys.float_info.epsilon


def _clearly_bent(arcs):
    return (arc for arc in arcs if _rounding_units(*arc) >= _CLEARLY_BENT)


def test_nearly_straight_arcs_measure_against_their_exact_circle():
    # Points a few units of rounding off their chord and more make arcs that
    # measure as the exact ones; points within rounding of one line are
    # refused.
    measured = refused = 0
    for start, end, interior in _nearly_straight_arcs(300, 21):
        units = _rounding_units(start, end, interior)
        if _CLEARLY_FLAT < units < _CLEARLY_BENT:
            continue
        shape = _arc_path(start, end, interior)
        if units <= _CLEARLY_FLAT:
            # A dictionary's curves reach the runtime when first measured.
            for measure in (lambda: og.Polyline(shape).length, lambda: og.Geometry(json.dumps(shape))):
                with pytest.raises(Exception, match="collinear"):
                    measure()
            refused += 1
            continue
        chord, length, bulge = _exact_arc(start, end, interior)
        ux, uy, r2 = _circumcircle(start, end, interior)
        rounding = 2 * sys.float_info.epsilon * max(abs(v) for v in (*start, *end))
        g = og.Polyline(shape)
        assert g.length >= chord * _CHORD_ROUNDING
        # Nor shorter than the straight edge between its ends as measured.
        assert g.length >= og.Polyline({"paths": [[list(start), list(end)]]}).length
        assert g.length == pytest.approx(length, rel=1e-15, abs=0)
        # Read back from the runtime (from text, or after a move by nothing),
        # the arc keeps a point of its circle, to rounding, and its length.
        for h in (og.Geometry(json.dumps(shape)), g.move_relative(0, 0)):
            x, y = h.to_dict()["curvePaths"][0][1]["c"][1]
            off = _off_circle(x, y, ux, uy, r2)
            assert abs(float(off)) <= rounding
            assert h.length >= chord * _CHORD_ROUNDING
            assert abs(h.length - length) <= _length_slack(chord, 1.5 * abs(bulge) / chord, rounding, length)
        measured += 1
    assert measured > 100 and refused > 50


def test_nearly_straight_arcs_densify_onto_their_circle():
    # Points placed along the arc lie on the exact circle through the stored
    # points to the rounding of their coordinates, wherever its center is.
    for start, end, interior in _clearly_bent(_nearly_straight_arcs(120, 22)):
        ux, uy, r2 = _circumcircle(start, end, interior)
        dense = og.Polyline(_arc_path(start, end, interior)).densify(math.dist(start, end) / 7)
        points = dense.to_dict()["paths"][0]
        assert len(points) >= 8
        largest = max(abs(v) for v in (*start, *end))
        for x, y in points:
            off = _off_circle(x, y, ux, uy, r2)
            assert abs(float(off)) <= 4 * sys.float_info.epsilon * largest


def test_nearly_straight_arcs_project_onto_their_circle():
    # Projected, curves become chords first: their vertices lie on the exact
    # circle to rounding.  The target is the reference the text describes, so
    # that the projection itself moves nothing.
    utm = {"wkt": pyproj.CRS(32632).to_wkt("WKT1_GDAL")}
    for start, end, interior in _clearly_bent(_nearly_straight_arcs(40, 26, (1e3, 1e5), (500000.0, 5000000.0))):
        ux, uy, r2 = _circumcircle(start, end, interior)
        shape = {"curvePaths": [[list(start), {"c": [list(end), list(interior)]}]], "spatialReference": utm}
        points = og.Polyline(shape).project({"wkid": 32632}).to_dict()["paths"][0]
        assert len(points) > 2
        largest = max(abs(v) for v in (*start, *end))
        for x, y in points:
            off = _off_circle(x, y, ux, uy, r2)
            assert abs(float(off)) <= 4 * sys.float_info.epsilon * largest


def test_arcs_about_a_center_with_small_sweeps():
    # Radii 1e-2 to 1e4 about centers out to 1e7, sweeps 1e-12 to 1e-3.  The
    # arc keeps an interior point: where the arc bulges by more than rounding
    # that point lies on the circle about the center to rounding, and the
    # arc measures as the exact one through it; where it does not, the points
    # are collinear.  From text or a dictionary alike.
    rng = random.Random(23)
    measured = refused = 0
    for _ in range(200):
        reach, radius = rng.choice([1.0, 1e4, 1e7]), 10 ** rng.uniform(-2, 4)
        sweep, t0 = 10 ** rng.uniform(-12, -3) * rng.choice([-1, 1]), rng.uniform(0, 2 * math.pi)
        cx, cy = rng.uniform(-reach, reach), rng.uniform(-reach, reach)
        start = (cx + radius * math.cos(t0), cy + radius * math.sin(t0))
        end = (cx + radius * math.cos(t0 + sweep), cy + radius * math.sin(t0 + sweep))
        if start == end:
            continue
        # Clockwise flag 0 runs counter-clockwise: a positive sweep.
        shape = {"curvePaths": [[list(start), {"a": [list(end), [cx, cy], 1, int(sweep < 0)]}]]}
        largest = max(abs(v) for v in (*start, *end))
        bulge = radius * sweep * sweep / 8 / (sys.float_info.epsilon * largest)
        if _CLEARLY_FLAT < bulge < 2 * _CLEARLY_BENT:
            continue
        if bulge <= _CLEARLY_FLAT:
            with pytest.raises(Exception, match="collinear"):
                og.Polyline(shape).length
            refused += 1
            continue
        chord, length = _exact_arc_about(start, end, (cx, cy))
        rounding = 4 * sys.float_info.epsilon * max(largest, abs(cx), abs(cy))
        for g in (og.Polyline(shape), og.Geometry(json.dumps(shape))):
            interior = tuple(g.to_dict()["curvePaths"][0][1]["c"][1])
            assert abs(math.dist(interior, (cx, cy)) - math.dist(start, (cx, cy))) <= rounding
            assert g.length >= chord * _CHORD_ROUNDING
            assert abs(g.length - length) <= _length_slack(chord, radius * sweep * sweep / 8, rounding, length)
        measured += 1
    assert measured > 50 and refused > 20


def test_nearly_straight_arc_bounds_an_area_exactly():
    # A triangle one of whose sides bulges by a few units of rounding: the
    # sliver between that side and its chord counts, exactly, however far
    # away the circle's center lies.
    for start, end, interior in _clearly_bent(_nearly_straight_arcs(80, 25)):
        apex = (start[0] - (end[1] - start[1]), start[1] + (end[0] - start[0]))
        ring = {"curveRings": [[list(start), {"c": [list(end), list(interior)]}, list(apex), list(start)]]}
        _, _, bulge = _exact_arc(start, end, interior)
        (sx, sy), (ex, ey), (ax, ay) = [(Fraction(x), Fraction(y)) for x, y in (start, end, apex)]
        # Counter-clockwise triangle: the arc bulging right adds to it.
        triangle = ((ex - sx) * (ay - sy) - (ey - sy) * (ax - sx)) / 2
        exact = float(triangle + Fraction(bulge))
        assert og.Polygon(ring).area == pytest.approx(abs(exact), rel=1e-13)
