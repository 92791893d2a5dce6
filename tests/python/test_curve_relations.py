"""Relations of true curves, checked against dense polygons and tangencies."""
import math
import random

import pytest
import shapely

import ostrel_geometry as og


def _on(cx, cy, r, t):
    return [cx + r * math.cos(t), cy + r * math.sin(t)]


def disc(cx, cy, r, start=0.0):
    """A clockwise circle of two half arcs, starting at angle `start`."""
    p = lambda t: _on(cx, cy, r, start + t)
    return og.Polygon({"curveRings": [[p(0), {"c": [p(math.pi), p(-math.pi / 2)]}, {"c": [p(0), p(math.pi / 2)]}]]})


def arc_path(cx, cy, r, t0, t1):
    """A curved polyline along a circle from angle t0 to t1."""
    return og.Polyline({"curvePaths": [[_on(cx, cy, r, t0), {"c": [_on(cx, cy, r, t1), _on(cx, cy, r, (t0 + t1) / 2)]}]]})


def dense_disc(cx, cy, r, n=20000):
    pts = [_on(cx, cy, r, -2 * math.pi * i / n) for i in range(n)]
    return og.Polygon({"rings": [pts + [pts[0]]]})


def dense_arc(cx, cy, r, t0, t1, n=4000):
    return og.Polyline({"paths": [[_on(cx, cy, r, t0 + (t1 - t0) * i / n) for i in range(n + 1)]]})


PREDICATES = ("touches", "overlaps", "intersects", "disjoint", "contains", "within", "crosses")
PATTERNS = ("2********", "FF*F0****", "T*F**F***")


def answers(a, b):
    return [getattr(a, name)(b) for name in PREDICATES] + [a.relate(b, p) for p in PATTERNS]


def test_the_reported_cases():
    # Overlapping discs, nested discs and a disc crossed by a line meet, but
    # none of them merely touches.
    a = disc(0, 0, 1)
    assert (a.touches(disc(1, 0, 1)), a.overlaps(disc(1, 0, 1))) == (False, True)
    assert (disc(0, 0, 2).touches(a), disc(0, 0, 2).contains(a)) == (False, True)
    crossing = og.Polyline({"paths": [[[-3, 0], [3, 0]]]})
    assert (a.touches(crossing), a.crosses(crossing), crossing.touches(a)) == (False, True, False)
    # Apart on the chords, together on the curves: the curves decide.
    assert disc(0, 0, 1).touches(disc(2 ** 0.5, 2 ** 0.5, 1, 1.0))


def _random_pairs(seed, count):
    """Pairs of curved shapes that are clearly apart, overlapping or nested
    (the gaps are far above the chords' tolerance and the reference's)."""
    rng = random.Random(seed)
    pairs = []
    for i in range(count):
        r1, r2 = rng.uniform(0.5, 3), rng.uniform(0.5, 3)
        cx, cy, th = rng.uniform(-50, 50), rng.uniform(-50, 50), rng.uniform(0, 2 * math.pi)
        margin = 0.01 * min(r1, r2)
        kind = i % 4
        if kind == 0:
            d = r1 + r2 + rng.uniform(margin, 1)
        elif kind == 1:
            d = rng.uniform(abs(r1 - r2) + margin, r1 + r2 - margin)
        else:
            d = rng.uniform(0, max(0.0, abs(r1 - r2) - margin))
        ox, oy = cx + d * math.cos(th), cy + d * math.sin(th)
        start1, start2 = rng.uniform(0, 2 * math.pi), rng.uniform(0, 2 * math.pi)
        if kind == 3:
            # A curved path against a disc.
            t0 = rng.uniform(0, 2 * math.pi)
            pairs.append(((disc, (cx, cy, r1, start1)), (arc_path, (ox, oy, r2, t0, t0 + rng.uniform(0.5, 5)))))
        else:
            pairs.append(((disc, (cx, cy, r1, start1)), (disc, (ox, oy, r2, start2))))
    return pairs


def _dense(maker, args):
    if maker is disc:
        return dense_disc(*args[:3])
    return dense_arc(*args)


@pytest.mark.parametrize("seed", [1, 2])
def test_random_curved_pairs_agree_with_dense_polygons(seed):
    mismatches = []
    for (ma, aa), (mb, ab) in _random_pairs(seed, 24):
        a, b = ma(*aa), mb(*ab)
        got, want = answers(a, b), answers(_dense(ma, aa), _dense(mb, ab))
        if got != want:
            mismatches.append((aa, ab, got, want))
        if answers(b, a) != answers(_dense(mb, ab), _dense(ma, aa)):
            mismatches.append((ab, aa, "reversed"))
    assert mismatches == []


@pytest.mark.parametrize("offset", [0.0, 1e3, 1e6])
def test_tangent_discs_touch_and_never_overlap(offset):
    # Discs that touch at a vertex of both (each rounded from its own
    # centre, so that their chords cross by an ulp) and discs that touch
    # where neither has a vertex (chords apart).
    rng = random.Random(13)
    for i in range(40):
        r1, r2 = rng.uniform(0.5, 3), rng.uniform(0.5, 3)
        th = rng.uniform(0, 2 * math.pi)
        cx, cy = offset + rng.uniform(-10, 10), offset + rng.uniform(-10, 10)
        ox, oy = cx + (r1 + r2) * math.cos(th), cy + (r1 + r2) * math.sin(th)
        at_vertex = i % 2 == 0
        a = disc(cx, cy, r1, th if at_vertex else th + 0.3)
        b = disc(ox, oy, r2, th + math.pi if at_vertex else th + 2.0)
        for x, y in ((a, b), (b, a)):
            assert (x.touches(y), x.overlaps(y), x.intersects(y), x.disjoint(y)) == (True, False, True, False), (i, th)
            assert (x.relate(y, "2********"), x.relate(y, "FF*F0****")) == (False, True), (i, th)


def test_thin_true_overlap_is_still_an_overlap():
    # A lens far thinner than the chords' tolerance but far above rounding,
    # where both discs carry a vertex, is an overlap.
    a, b = disc(0, 0, 1), disc(2 - 1e-9, 0, 1, math.pi)
    assert (a.overlaps(b), a.touches(b), a.relate(b, "2********")) == (True, False, True)


def exact_disc(cx, cy, r):
    """A circle through the four points cx +- r, cy +- r, which are exact
    for integer or dyadic centres and radii."""
    return og.Polygon({"curveRings": [[[cx + r, cy], {"c": [[cx - r, cy], [cx, cy - r]]}, {"c": [[cx + r, cy], [cx, cy + r]]}]]})


def circle_gap(a, b):
    """The exact gap between two circles given as (cx, cy, r) of doubles:
    the distance of the centres less both radii."""
    from fractions import Fraction

    (ax, ay, ar), (bx, by, br) = [tuple(map(Fraction, c)) for c in (a, b)]
    d2 = (ax - bx) ** 2 + (ay - by) ** 2
    return math.sqrt(d2) - float(ar + br) if d2 else -float(ar + br)


# Discs a few centimetres across far from the origin: the tolerance comes
# from the rounding of the coordinates, not from their magnitude.
FAR_CASES = [
    # a, b, equals, touches, disjoint, within
    ((8e7, 8e7, 0.01), (8e7, 8e7, 0.02), False, False, False, True),
    ((8e7, 8e7, 0.015625), (8e7 + 0.03125, 8e7, 0.015625), False, True, False, False),
    ((1e8, 1e8, 1.0), (1e8 + 2.0 + 5e-5, 1e8, 1.0), False, False, True, False),
    ((1e6, -1e6, 0.5), (1e6 + 1.0 + 1e-6, -1e6, 0.5), False, False, True, False),
    ((1e6, -1e6, 0.5), (1e6 + 1.0, -1e6, 0.5), False, True, False, False),
    # 3-4-5: tangent where neither has a vertex
    ((3e7, 4e7, 2.0), (3e7 + 6.0, 4e7 + 8.0, 8.0), False, True, False, False),
    ((5e7, 5e7, 0.25), (5e7, 5e7, 0.25), True, False, False, True),
]


@pytest.mark.parametrize("a, b, equal, touching, apart, inside", FAR_CASES)
def test_far_from_the_origin_shapes_apart_by_more_than_rounding_are_apart(a, b, equal, touching, apart, inside):
    x, y = exact_disc(*a), exact_disc(*b)
    assert (x.equals(y), x.touches(y), x.disjoint(y), x.within(y)) == (equal, touching, apart, inside)
    assert (y.equals(x), y.touches(x), y.disjoint(x)) == (equal, touching, apart)
    assert x.relate(y, "FF2F01212") == touching
    gap = circle_gap(a, b)
    if gap >= 0:
        assert x.distance_to(y) == pytest.approx(gap, rel=1e-9, abs=1e-9 * max(a[2], b[2]))


# ---- tangency and near tangency against the closed form ----

TRIPLES = [(3, 4, 5), (5, 12, 13), (8, 15, 17), (7, 24, 25), (20, 21, 29), (12, 35, 37)]


def circle_matrix(c1, c2):
    """The DE-9IM matrix of two discs (cx, cy, r), decided exactly on the
    doubles given."""
    from fractions import Fraction

    (x1, y1, r1), (x2, y2, r2) = [tuple(map(Fraction, c)) for c in (c1, c2)]
    d2 = (x1 - x2) ** 2 + (y1 - y2) ** 2
    if d2 == 0 and r1 == r2:
        return "2FFF1FFF2"
    if d2 > (r1 + r2) ** 2:
        return "FF2FF1212"
    if d2 == (r1 + r2) ** 2:
        return "FF2F01212"
    if d2 > (r1 - r2) ** 2:
        return "212101212"
    inner = "2FF10F212" if d2 == (r1 - r2) ** 2 else "2FF1FF212"
    return inner if r1 < r2 else "".join(inner[i] for i in (0, 3, 6, 1, 4, 7, 2, 5, 8))


def predicates_of(m):
    """The named predicates of two areas with the matrix m."""
    meet = lambda *cells: any(m[i] != "F" for i in cells)
    return {
        "equals": m == "2FFF1FFF2",
        "disjoint": not meet(0, 1, 3, 4),
        "touches": not meet(0) and meet(1, 3, 4),
        "within": meet(0) and not meet(2, 5),
        "contains": meet(0) and not meet(6, 7),
        "overlaps": meet(0, 2, 6) and all(m[i] != "F" for i in (0, 2, 6)),
        "intersects": meet(0, 1, 3, 4),
    }


def disagreements(a, b, m):
    """What a against b answers other than the matrix m says."""
    out = [name for name, want in predicates_of(m).items() if getattr(a, name)(b) != want]
    if not a.relate(b, m):
        out.append("relate " + m)
    return out


@pytest.mark.parametrize("offset", [0.0, 1e6, 1e8])
def test_exact_tangencies_inner_and_outer(offset):
    # Pythagorean placements, so that the tangency is exact; the nested
    # disc touches the rim where neither has a vertex.
    cases = [
        ((0, 0, 1), (3, 4, 6)),      # inside, touching
        ((0, 0, 2), (5, 12, 15)),
        ((0, 0, 6), (3, 4, 1)),      # containing, touching
        ((0, 0, 2), (3, 4, 3)),      # outside, touching
        ((0, 0, 1), (8, 15, 16)),
        ((0, 0, 1), (3, 4, 6.5)),    # nested half a unit off the rim
        ((0, 0, 1), (3, 4, 3.5)),    # overlapping
        ((0, 0, 2), (2, 0, 2)),      # overlapping, each through the other's vertices
        ((0, 0, 1), (0, 0, 1)),      # equal
    ]
    for c1, c2 in cases:
        c1, c2 = (offset + c1[0], offset + c1[1], c1[2]), (offset + c2[0], offset + c2[1], c2[2])
        a, b = exact_disc(*c1), exact_disc(*c2)
        assert disagreements(a, b, circle_matrix(c1, c2)) == [], (c1, c2)
        assert disagreements(b, a, circle_matrix(c2, c1)) == [], (c2, c1)


def _circle_pairs(rng, count):
    """Pairs of discs (cx, cy, r) exact in doubles: tangent inside and out,
    a few units of rounding-free gap from tangent either way, thin lenses,
    and anything, near the origin and far from it."""
    pairs = []
    for i in range(count):
        offset = rng.choice([0.0, 1e3, 1e6, 1e8])
        # A unit the coordinates hold exactly at that offset.
        unit = 2.0 ** rng.randint(-16 if offset >= 1e8 else -24, 2)
        tx, ty, tc = rng.choice(TRIPLES)
        k = rng.randint(1, 4)
        sx, sy = rng.choice([-1, 1]), rng.choice([-1, 1])
        if rng.random() < 0.5:
            tx, ty = ty, tx
        x1, y1 = offset + rng.randint(-1000, 1000) * unit, offset + rng.randint(-1000, 1000) * unit
        x2, y2 = x1 + sx * k * tx * unit, y1 + sy * k * ty * unit
        d = k * tc  # in units, exactly
        kind = i % 5
        if kind == 0:  # touching from outside, or a few units apart or into each other
            r1 = rng.randint(1, d - 1)
            r2 = max(1, d - r1 + rng.choice([0, 0, -1, 1, -3, 3]))
        elif kind == 1:  # touching from inside, or nearly
            r1 = rng.randint(1, 3 * d)
            r2 = r1 + d + rng.choice([0, 0, -1, 1, 2])
        elif kind == 2:  # a lens a unit thick, the radii far larger
            r1 = rng.randint(d // 2 + 1, d)
            r2 = d - r1 + 1
        else:
            r1, r2 = rng.randint(1, 3 * d), rng.randint(1, 3 * d)
        c1, c2 = (x1, y1, r1 * unit), (x2, y2, r2 * unit)
        pairs.append((c2, c1) if rng.random() < 0.5 else (c1, c2))
    return pairs


def test_random_circle_pairs_against_the_closed_form():
    rng = random.Random(2026)
    wrong = []
    for c1, c2 in _circle_pairs(rng, 300):
        m = circle_matrix(c1, c2)
        for a, b, want in ((exact_disc(*c1), exact_disc(*c2), m), (exact_disc(*c2), exact_disc(*c1), circle_matrix(c2, c1))):
            bad = disagreements(a, b, want)
            if bad:
                wrong.append((c1, c2, bad))
    assert wrong == []


def test_tangent_discs_with_vertices_anywhere():
    # The same tangencies with the rings starting at any angle: vertices
    # rounded from their centres, so the circles touch within rounding.
    rng = random.Random(7)
    wrong = []
    for i in range(120):
        offset = (0.0, 1e6, 1e8)[i % 3]
        tx, ty, tc = rng.choice(TRIPLES)
        if i % 2 == 0:  # inside
            r1 = rng.randint(1, 20)
            r2 = r1 + tc
        else:  # outside
            r1 = rng.randint(1, tc - 1)
            r2 = tc - r1
        c1, c2 = (offset, offset, float(r1)), (offset + tx, offset + ty, float(r2))
        m = circle_matrix(c1, c2)
        a, b = disc(*c1, rng.uniform(0, 2 * math.pi)), disc(*c2, rng.uniform(0, 2 * math.pi))
        for x, y, want in ((a, b, m), (b, a, circle_matrix(c2, c1))):
            bad = disagreements(x, y, want)
            if bad:
                wrong.append((c1, c2, bad))
    assert wrong == []


# ---- discs, half discs, rings and arcs against dense Shapely polygons ----

DENSE = 8192  # vertices of a whole circle in the references


def _circle_points(cx, cy, r, t0, t1, grow):
    """Points along a circle from angle t0 to t1, DENSE to the turn: on the
    circle, or (grow) on the polygon whose edges touch it from outside."""
    n = max(2, math.ceil(DENSE * abs(t1 - t0) / (2 * math.pi)))
    rr = r / math.cos(abs(t1 - t0) / n / 2) if grow else r
    return [_on(cx, cy, rr, t0 + (t1 - t0) * i / n) for i in range(n + 1)]


def shape(kind, cx, cy, r, t0, dense=None):
    """A disc, a half disc (an arc and its diameter), a ring (a disc with a
    concentric hole) or an arc (a polyline of a quarter to three quarters of
    a turn) with true curves, or (dense = "in" or "out") a Shapely polygon
    or line string just inside or just outside it."""
    p = lambda t, rr=r: _on(cx, cy, rr, t0 + t)
    sweep = math.pi / 2 + r % 1 * math.pi  # any, but fixed by the shape
    if dense:
        grow = dense == "out"
        if kind == "arc":
            return shapely.LineString(_circle_points(cx, cy, r, t0, t0 + sweep, grow))
        if kind == "half":
            return shapely.Polygon(_circle_points(cx, cy, r, t0, t0 + math.pi, grow))
        hole = [_circle_points(cx, cy, r / 2, t0, t0 + 2 * math.pi, not grow)] if kind == "ring" else []
        return shapely.Polygon(_circle_points(cx, cy, r, t0, t0 - 2 * math.pi, grow), hole)
    if kind == "arc":
        return arc_path(cx, cy, r, t0, t0 + sweep)
    if kind == "half":
        return og.Polygon({"curveRings": [[p(0), {"c": [p(math.pi), p(math.pi / 2)]}, p(0)]]})
    rings = [[p(0), {"c": [p(math.pi), p(-math.pi / 2)]}, {"c": [p(0), p(math.pi / 2)]}]]
    if kind == "ring":
        h = lambda t: p(t, r / 2)
        rings.append([h(0), {"c": [h(math.pi), h(math.pi / 2)]}, {"c": [h(0), h(-math.pi / 2)]}])
    return og.Polygon({"curveRings": rings})


def peer_answers(a, b):
    """What `answers` asks, asked of Shapely."""
    return [bool(getattr(shapely, name)(a, b)) for name in PREDICATES] + [
        bool(shapely.relate_pattern(a, b, p)) for p in PATTERNS
    ]


def matrix_of(a, b):
    """The DE-9IM matrix, asked cell by cell."""
    m = ""
    for i in range(9):
        m += next(c for c in "F210" if a.relate(b, "*" * i + c + "*" * (8 - i)))
    return m


def test_random_curved_shapes_against_dense_polygons():
    # Where Shapely's polygons just inside and just outside the curves
    # agree, the curves must agree with them: the case is then not nearer
    # to a touch than the references can tell.
    rng = random.Random(21)
    wrong, decided = [], 0
    for i in range(64):
        offset = (0.0, 1e6, 1e7)[i % 3]
        specs = []
        for _ in range(2):
            specs.append((rng.choice(["disc", "half", "ring", "arc"]), offset + rng.uniform(-2, 2), offset + rng.uniform(-2, 2),
                          rng.uniform(0.3, 3), rng.uniform(0, 2 * math.pi)))
        (ka, *a), (kb, *b) = specs
        inside = shape(ka, *a, dense="in"), shape(kb, *b, dense="in")
        ref = shapely.relate(*inside)
        if ref != shapely.relate(shape(ka, *a, dense="out"), shape(kb, *b, dense="out")):
            continue
        decided += 1
        x, y = shape(ka, *a), shape(kb, *b)
        got, named = matrix_of(x, y), answers(x, y)
        if got != ref or named != peer_answers(*inside):
            wrong.append((specs, got, ref, named))
    assert wrong == [] and decided >= 60


def test_shared_arcs_and_lines():
    # Boundaries that run together: which side each interior lies on
    # decides between touching, lying within and being equal.
    whole, upper = shape("disc", 1e6, 0.0, 2.0, 0.3), shape("half", 1e6, 0.0, 2.0, 0.0)
    lower = shape("half", 1e6, 0.0, 2.0, math.pi)
    ring, hole = shape("ring", 5.0, 5.0, 2.0, 1.0), shape("disc", 5.0, 5.0, 1.0, 2.5)
    cases = [
        (upper, lower, "FF2F11212"),  # along the diameter
        (upper, whole, "2FF11F212"),  # along the arc, inside
        (whole, upper, "212F11FF2"),
        (ring, hole, "FF2F112F2"),  # the disc fills the hole
        (whole, shape("disc", 1e6, 0.0, 2.0, 2.0), "2FFF1FFF2"),  # one circle from other starts
        (ring, shape("ring", 5.0, 5.0, 2.0, -1.0), "2FFF1FFF2"),
    ]
    for a, b, m in cases:
        assert disagreements(a, b, m) == [], (a, b, m)


@pytest.mark.parametrize("offset", [0.0, 1e6, 1e8])
def test_curved_paths_at_tangency(offset):
    # Arcs of the unit circle about (offset, offset), around the point
    # (-0.6, -0.8) where it touches the discs below from inside and outside.
    th = math.atan2(-4, -3)
    o = lambda x, y: (offset + x, offset + y)
    around = arc_path(*o(0, 0), 1, th - 1, th + 1)
    inner, outer = exact_disc(*o(3, 4), 6), exact_disc(*o(-3, -4), 4)
    on_big = arc_path(*o(3, 4), 6, th - 0.5, th + 0.5)  # the inner disc's rim, around the same point
    straight = og.Polyline({"paths": [[list(o(-1, 1)), list(o(1, 1))]]})  # touches the unit circle at its top
    ending = arc_path(*o(0, 0), 1, th - 1, th)  # ends where it touches
    cases = [
        # a, b, matrix, (touches, within, crosses, disjoint)
        (around, inner, "10F0FF212", (False, True, False, False)),
        (around, outer, "F01FF0212", (True, False, False, False)),
        (around, on_big, "0F1FF0102", (False, False, True, False)),
        (straight, exact_disc(*o(0, 0), 1), "F01FF0212", (True, False, False, False)),
        (ending, outer, "FF1F00212", (True, False, False, False)),
    ]
    for a, b, m, (touch, within, cross, apart) in cases:
        assert a.relate(b, m) and (a.touches(b), a.within(b), a.crosses(b), a.disjoint(b)) == (touch, within, cross, apart), m
        mt = "".join(m[i] for i in (0, 3, 6, 1, 4, 7, 2, 5, 8))
        assert b.relate(a, mt) and (b.touches(a), b.contains(a), b.crosses(a), b.disjoint(a)) == (touch, within, cross, apart), mt


def _ring(cx, cy, r, n, clockwise=True):
    s = -1 if clockwise else 1
    pts = [_on(cx, cy, r, s * 2 * math.pi * i / n) for i in range(n)]
    return pts + [pts[0]]


@pytest.mark.parametrize("n", [12, 400])
def test_curves_against_straight_polygons_with_holes_and_many_rings(n):
    # A straight annulus and a second island, few and many vertices: curved
    # shapes in the hole, across either rim, in the island and far off,
    # each asked twice (the second time the straight one may answer from
    # what it kept).
    holed = og.Polygon({"rings": [_ring(0, 0, 40, n), _ring(0, 0, 20, n, False), _ring(100, 0, 10, n)]})
    straight_path = og.Polyline({"paths": [_ring(0, 0, 30, n)[: n // 2 + 1]]})
    places = [(0, 0, 5), (20, 0, 3), (0, -40, 2), (30, 0, 4), (100, 2, 3), (300, 300, 1), (0, 0, 50)]
    mismatches = []
    for straight in (holed, straight_path):
        for cx, cy, r in places:
            for curved, dense in ((disc(cx, cy, r, 0.3), dense_disc(cx, cy, r)),
                                  (arc_path(cx, cy, r, 0.2, 4.0), dense_arc(cx, cy, r, 0.2, 4.0))):
                want, want_back = answers(dense, straight), answers(straight, dense)
                for _ in range(2):
                    if answers(curved, straight) != want or answers(straight, curved) != want_back:
                        mismatches.append((str(straight)[:20], cx, cy, r))
    assert mismatches == []


@pytest.mark.parametrize("ratio", [1e-12, 1e-15])
def test_an_ellipse_thinner_than_rounding_is_measured_on_its_curves(ratio):
    # Its chords repair to nothing; the point above it is 1 - b from its
    # co-vertex, the one beyond its end 10 from the vertex, and the centre
    # inside it (by more than rounding when b is 1e-11).
    half = lambda end: {"a": [end, [0, 0], 1, 1, 0, 10, ratio]}
    thin = og.Polygon({"curveRings": [[[10, 0], half([-10, 0]), half([10, 0])]]})
    point = lambda x, y: og.Point({"x": x, "y": y})
    assert thin.distance_to(point(0, 1)) == pytest.approx(1 - 10 * ratio, abs=1e-15)
    assert point(20, 0).distance_to(thin) == pytest.approx(10, abs=1e-15)
    assert thin.distance_to(point(0, 0)) <= (0 if ratio == 1e-12 else 1e-13)
