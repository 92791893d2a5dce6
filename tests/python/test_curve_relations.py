"""Relations of true curves, checked against dense polygons and tangencies."""
import math
import random

import pytest

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
