"""Overlays of true circles that cross, touch or nearly touch, against the
closed form of the area two discs share."""
import math
import random
from fractions import Fraction

import pytest

import ostrel_geometry as og

OPS = ("intersect", "union", "difference", "symmetric_difference")


def disc(cx, cy, r):
    """A clockwise disc of two half circles through (cx +- r, cy) and
    (cx, cy +- r): exact when those sums are."""
    return og.Polygon(
        {"curveRings": [[[cx + r, cy], {"c": [[cx - r, cy], [cx, cy - r]]}, {"c": [[cx + r, cy], [cx, cy + r]]}]]})


def _x_minus_sin(x):
    """x - sin x without cancellation for small x."""
    if x >= 1:
        return x - math.sin(x)
    term, total, k = x ** 3 / 6, 0.0, 3
    while abs(term) > 1e-30 * x ** 3:
        total += term
        term *= -x * x / ((k + 1) * (k + 2))
        k += 2
    return total


def shared_area(c1, c2):
    """The area two discs (cx, cy, r) share: the two circular segments of the
    lens, from exact squares of the stored numbers, so that thin lenses and
    near tangency lose nothing to cancellation."""
    (x1, y1, r1), (x2, y2, r2) = c1, c2
    dx, dy = Fraction(x2) - Fraction(x1), Fraction(y2) - Fraction(y1)
    d2, a, b = dx * dx + dy * dy, Fraction(r1), Fraction(r2)
    if d2 >= (a + b) ** 2:
        return 0.0
    if d2 <= (a - b) ** 2:
        return math.pi * min(r1, r2) ** 2
    h = math.sqrt(float(((a + b) ** 2 - d2) * (d2 - (a - b) ** 2) / (4 * d2)))
    d = math.sqrt(float(d2))
    half1 = math.atan2(h, float(d2 + a * a - b * b) / (2 * d))
    half2 = math.atan2(h, float(d2 + b * b - a * a) / (2 * d))
    return r1 * r1 * _x_minus_sin(2 * half1) / 2 + r2 * r2 * _x_minus_sin(2 * half2) / 2


def closed_forms(c1, c2):
    a1, a2, s = math.pi * c1[2] ** 2, math.pi * c2[2] ** 2, shared_area(c1, c2)
    return {"intersect": s, "union": a1 + a2 - s, "difference": a1 - s, "symmetric_difference": a1 + a2 - 2 * s}


def allowed_error(c1, c2):
    """1e-9 of the larger disc, or what the rounding of the coordinates can
    move the circles' outlines by (a unit of the largest coordinate, along
    both perimeters), whichever is more."""
    largest = max(abs(c1[0]), abs(c1[1]), abs(c2[0]), abs(c2[1])) + c1[2] + c2[2]
    perimeter = 2 * math.pi * (c1[2] + c2[2])
    return max(1e-9 * math.pi * max(c1[2], c2[2]) ** 2, 2 * math.ulp(largest) * perimeter)


def check_pair(c1, c2):
    a, b = disc(*c1), disc(*c2)
    exact = closed_forms(c1, c2)
    results = {op: getattr(a, op)(b).area for op in OPS}
    for op in OPS:
        assert results[op] == pytest.approx(exact[op], abs=allowed_error(c1, c2)), (op, c1, c2)
    # A union holds both operands, an intersection lies in both, to the
    # same rounding.
    assert results["union"] >= max(a.area, b.area) - allowed_error(c1, c2)
    assert results["intersect"] <= min(a.area, b.area) + allowed_error(c1, c2)


@pytest.mark.parametrize(
    "c1, c2",
    [
        # A lens 1.2 mm wide between radii 12 and 109.
        ((0, 0, 12), (121 - 0.0012, 0, 109)),
        # Nested 1e-8 inside the rim, and touching it from inside.
        ((0, 0, 10), (3, 4, 5 - 1e-8)),
        ((3, 4, 6), (0, 0, 1)),
        ((0, 0, 1), (3, 4, 6)),
        # Touching from outside, at a grid vertex and off it.
        ((0, 0, 1), (2, 0, 1)),
        ((0, 0, 2), (1.8, 2.4, 1)),
        # Crossing at a shallow angle and at a right angle.
        ((0, 0, 1), (1.0000001, 0, 0.0000002)),
        ((0, 0, 3), (5, 0, 4)),
        # The same far from the origin.
        ((1e6 + 3, 1e6 + 4, 6), (1e6, 1e6, 1)),
        ((1e6, 1e6, 12), (1e6 + 121 - 0.0012, 1e6, 109)),
        ((1e8, 1e8, 1.0), (1e8 + 2.0, 1e8, 1.0)),
        ((1e8, 1e8, 1.0), (1e8 + 1.5, 1e8 - 2.0, 1.5)),
        ((8e7, 8e7, 0.015625), (8e7 + 0.03125, 8e7, 0.015625)),
    ],
)
def test_overlays_of_discs_match_the_closed_form(c1, c2):
    check_pair(c1, c2)
    check_pair(c2, c1)


def _cap(r, w):
    """The area of a disc of radius r beyond a line w inside its rim."""
    return r * r * _x_minus_sin(2 * math.acos(1 - w / r)) / 2 if w > 0 else 0.0


@pytest.mark.parametrize("off", [0.0, 1e6, 1e8])
@pytest.mark.parametrize("w", [1e-3, 1e-5, 1e-6, 1e-8, 0.0, -1e-8, -1e-5])
def test_a_box_whose_side_nearly_touches_a_disc(off, w):
    # The top of the box runs w inside the rim of the unit disc (outside
    # for w < 0): the cap beyond it is what the two do not share.
    d = disc(off, off, 1.0)
    top = off + 1 - w
    box = og.Polygon({"rings": [[[off - 2, off - 2], [off - 2, top], [off + 2, top], [off + 2, off - 2], [off - 2, off - 2]]]})
    cap, box_area = _cap(1.0, w), 4 * (top - (off - 2))
    # The disc's outline and the box's top are each placed to a unit of
    # rounding of the coordinates.
    allowed = max(1e-9 * math.pi, 2 * math.ulp(off + 2) * (2 * math.pi + 16))
    assert d.intersect(box).area == pytest.approx(math.pi - cap, abs=allowed)
    assert d.difference(box).area == pytest.approx(cap, abs=allowed)
    assert d.union(box).area == pytest.approx(box_area + cap, abs=allowed)
    assert box.difference(d).area == pytest.approx(box_area - math.pi + cap, abs=allowed)


def test_a_union_of_a_disc_nested_at_the_rim_is_the_outer_disc():
    big, inner = disc(0, 0, 10), disc(3, 4, 5 - 1e-8)
    assert big.union(inner).area >= big.area * (1 - 1e-15)
    assert og.Geometry.union_collection([inner, big]).area == pytest.approx(big.area, rel=1e-15)
    assert inner.difference(big).area == pytest.approx(0, abs=1e-13)


def test_union_of_a_collection_of_touching_discs():
    # Three discs of radius 1 in a row, each touching the next from outside,
    # and one of radius 3 around them touching the two outer ones from inside.
    row = [disc(x, 0, 1) for x in (-2, 0, 2)]
    assert og.Geometry.union_collection(row).area == pytest.approx(3 * math.pi, rel=1e-14)
    assert og.Geometry.union_collection(row + [disc(0, 0, 3)]).area == pytest.approx(9 * math.pi, rel=1e-14)


TRIPLES = [(1, 0, 1), (0, 1, 1), (3, 4, 5), (5, 12, 13), (8, 15, 17), (20, 21, 29)]


def random_pairs(seed, count):
    """Discs placed on a grid fine enough for their rim points to be exact:
    touching from inside and outside exactly (along Pythagorean directions),
    thin lenses, nearly nested, and any crossing, near the origin and at
    1e3 to 1e8."""
    rng = random.Random(seed)
    for _ in range(count):
        kind = rng.choice(["outer", "inner", "lens", "nested", "thin inner lens", "cross"])
        off = rng.choice([0.0, 1e3, 1e6, 1e7, 1e8])
        q = 2.0 ** -40 if not off else 2.0 ** -20 if off < 1e7 else 2.0 ** -16
        snap = lambda v, step=q: round(v / step) * step
        size = rng.choice([0.05, 1, 30, 500])
        r1 = snap(size * rng.uniform(0.2, 1))
        x1, y1 = snap(off + rng.uniform(-1, 1) * size), snap(-off / 2 + rng.uniform(-1, 1) * size)
        if kind in ("outer", "inner"):
            a, b, c = rng.choice(TRIPLES)
            if kind == "outer":
                d = snap(r1 * rng.uniform(1.1, 3), q * c)
                r2 = d - r1
            else:
                d = snap(r1 * rng.uniform(0.05, 7), q * c)
                r2 = r1 + d
            k, sx, sy = d / c, rng.choice([1, -1]), rng.choice([1, -1])
            yield (x1, y1, r1), (x1 + sx * a * k, y1 + sy * b * k, r2)
            continue
        r2 = snap(r1 * rng.choice([rng.uniform(0.3, 3), rng.uniform(1, 1.001), rng.uniform(5, 50)]))
        # Gaps and overlaps from 1e-10 of the radius, and well above rounding.
        w = max(r1 * 10 ** rng.uniform(-10, -2), 1e3 * 2.0 ** -52 * (off + size))
        d = {"lens": r1 + r2 - w, "thin inner lens": abs(r1 - r2) + w, "nested": abs(r1 - r2) - w,
             "cross": rng.uniform(abs(r1 - r2), r1 + r2)}[kind]
        d = max(d, w)
        t = rng.uniform(0, 2 * math.pi)
        yield (x1, y1, r1), (snap(x1 + d * math.cos(t)), snap(y1 + d * math.sin(t)), r2)


@pytest.mark.parametrize("seed", [1, 2])
def test_overlays_of_random_discs_near_tangency_match_the_closed_form(seed):
    for c1, c2 in random_pairs(seed, 400):
        check_pair(c1, c2)
