"""Nearly straight circular arcs, far from the origin and near it, measured
and related against the exact arcs through their points (mpmath).

The centre of an arc that bulges 1e-12 of its chord lies some 1e11 chords
away; distances and crossings must still come out to a few units of
rounding of the arc's own coordinates."""
import math

import mpmath as mp
import pytest

import ostrel_geometry as og
from arc_reference import Arc, arc_arc, point_arc, segment_arc, ulp_scale

OFFSETS = (0.0, 1e3, 1e6, 1e8)
BULGES = (1e-2, 1e-4, 1e-6, 4e-9, 1e-10, 1e-12)
# Errors allowed, in units of rounding of the largest coordinate: each
# point given carries half a unit, and a distance is found from a few.
WITHIN_ULPS = 4
# Offsets that the relations must tell apart from contact: far above their
# rounding (64 units of the magnitude), far below every bulge.
APART_ULPS = 4000
# Curves nearer than this (in units of rounding) meet; none of the cases
# lies between this and APART_ULPS.
MEET_ULPS = 100


def chord_of(offset):
    return max(10.0, offset / 10)


def arc_points(offset, bulge, direction=0.5, side=1.0, lift=0.0):
    """The start, end and middle of an arc over a chord from near
    (offset, 0.75 offset) along `direction`, bulging by `bulge` of the chord
    to the left (side 1) or right (-1), all moved `lift` to the left."""
    length = chord_of(offset)
    ux, uy = math.cos(direction), math.sin(direction)
    nx, ny = -uy, ux
    sx, sy = offset + lift * nx, 0.75 * offset + lift * ny
    e = (sx + length * ux, sy + length * uy)
    sag = side * bulge * length
    i = (sx + 0.5 * length * ux + sag * nx, sy + 0.5 * length * uy + sag * ny)
    return (sx, sy), e, i


def polyline(s, e, i):
    return og.Polyline({"curvePaths": [[list(s), {"c": [list(e), list(i)]}]]})


def point(p):
    return og.Point({"x": p[0], "y": p[1]})


def straight(*points):
    return og.Polyline({"paths": [[list(p) for p in points]]})


def on_arc(a, u):
    """The point at fraction u of the arc's sweep, to the nearest double."""
    t = a.t0 + (u if a.ccw else -u) * a.sweep
    return (float(a.c[0] + a.r * mp.cos(t)), float(a.c[1] + a.r * mp.sin(t)))


def normal_at(a, p):
    """The unit normal of the arc's circle at p, outwards."""
    dx, dy = mp.mpf(p[0]) - a.c[0], mp.mpf(p[1]) - a.c[1]
    n = mp.hypot(dx, dy)
    return float(dx / n), float(dy / n)


def cases():
    for offset in OFFSETS:
        for bulge in BULGES:
            yield offset, bulge, arc_points(offset, bulge)


def point_cases():
    """(arc points, query point) for points on, near and beyond the arcs."""
    for offset, bulge, (s, e, i) in cases():
        a = Arc(s, e, i)
        length, sag = chord_of(offset), bulge * chord_of(offset)
        queries = [i, ((s[0] + e[0]) / 2, (s[1] + e[1]) / 2)]
        for u in (0.13, 0.5, 0.87):
            p = on_arc(a, u)
            nx, ny = normal_at(a, p)
            queries.append(p)
            for d in (1e-3 * length, -1e-3 * length, 0.5 * sag, -0.5 * sag, 30 * ulp_scale(p)):
                queries.append((p[0] + d * nx, p[1] + d * ny))
        ux, uy = (e[0] - s[0]) / length, (e[1] - s[1]) / length
        queries += [(s[0] - 0.01 * length * ux, s[1] - 0.01 * length * uy), (e[0] + 0.3 * ux, e[1] - 0.3 * uy)]
        for q in queries:
            yield offset, bulge, (s, e, i), q


def worst_point_error(offset):
    worst = 0.0
    for off, bulge, arc, q in point_cases():
        if off != offset:
            continue
        got = polyline(*arc).distance_to(point(q))
        want = point_arc(q, Arc(*arc))
        worst = max(worst, float(abs(got - want)) / ulp_scale(*arc, q))
    return worst


@pytest.mark.parametrize("offset", OFFSETS)
def test_distances_from_points_to_nearly_straight_arcs(offset):
    assert worst_point_error(offset) <= WITHIN_ULPS


def line_cases(offset):
    """(arc points, line ends) for lines along the chord through the apex and
    a little off it (apart, tangent, crossing twice) and steep lines across."""
    for off, bulge, (s, e, i) in cases():
        if off != offset:
            continue
        length, sag = chord_of(offset), bulge * chord_of(offset)
        ux, uy = (e[0] - s[0]) / length, (e[1] - s[1]) / length
        nx, ny = -uy, ux
        lines = []
        for d in (APART_ULPS * ulp_scale(s, e), 0.0, -0.5 * sag, -2 * sag):
            a = (i[0] - 0.7 * length * ux + d * nx, i[1] - 0.7 * length * uy + d * ny)
            b = (i[0] + 0.7 * length * ux + d * nx, i[1] + 0.7 * length * uy + d * ny)
            lines.append((a, b))
        p = on_arc(Arc(s, e, i), 0.3)
        for angle in (0.2, 1.3):
            c, sn = math.cos(angle), math.sin(angle)
            vx, vy = c * ux - sn * uy, sn * ux + c * uy
            lines.append(((p[0] - length * vx, p[1] - length * vy), (p[0] + length * vx, p[1] + length * vy)))
            # Stopping short of the arc.
            lines.append(((p[0] - length * vx, p[1] - length * vy), (p[0] - 1e-3 * length * vx, p[1] - 1e-3 * length * vy)))
        for ends in lines:
            yield (s, e, i), ends


def worst_line_error(offset):
    """The worst error of the distances, and the cases whose curves are
    found to meet or not wrongly."""
    worst, wrong = 0.0, []
    for arc, (a, b) in line_cases(offset):
        curve, line = polyline(*arc), straight(a, b)
        got, want, unit = curve.distance_to(line), segment_arc(a, b, Arc(*arc)), ulp_scale(*arc, a, b)
        worst = max(worst, float(abs(got - want)) / unit)
        if curve.intersects(line) != (want <= MEET_ULPS * unit) or line.intersects(curve) != curve.intersects(line):
            wrong.append((arc, a, b))
    return worst, wrong


@pytest.mark.parametrize("offset", OFFSETS)
def test_lines_against_nearly_straight_arcs(offset):
    worst, wrong = worst_line_error(offset)
    assert worst <= WITHIN_ULPS and wrong == []


def pair_cases(offset):
    """Pairs of arcs: bulging towards each other (apart, touching, crossing),
    one inside the other's bow (apart, touching), crossing at an angle at a
    point of both, on one circle (to rounding) a little further on, and
    moved off its copy a little (circles all but one, side by side)."""
    for off, bulge, (s, e, i) in cases():
        if off != offset:
            continue
        length, sag = chord_of(offset), bulge * chord_of(offset)
        gap = APART_ULPS * ulp_scale(s, e)
        others = []
        for d in (gap, 0.0, -0.5 * sag):
            others.append(arc_points(offset, bulge, side=-1.0, lift=2 * sag + d))
            others.append(arc_points(offset, 0.5 * bulge, lift=0.5 * sag + d))
        # Through the first one's middle, turned by 0.3 radians about it.
        c, sn = math.cos(0.3), math.sin(0.3)
        others.append(tuple((i[0] + c * (p[0] - i[0]) - sn * (p[1] - i[1]), i[1] + sn * (p[0] - i[0]) + c * (p[1] - i[1]))
                            for p in (s, e)) + (i,))
        a = Arc(s, e, i)
        others.append(tuple(on_arc(a, u) for u in (1.1, 1.9, 1.5)))
        others += [arc_points(offset, bulge, lift=d) for d in (gap, 1e-3 * length)]
        for other in others:
            yield (s, e, i), other


def worst_pair_error(offset):
    """As worst_line_error, for pairs of arcs."""
    worst, wrong = 0.0, []
    for first, second in pair_cases(offset):
        a, b = polyline(*first), polyline(*second)
        got, want, unit = a.distance_to(b), arc_arc(Arc(*first), Arc(*second)), ulp_scale(*first, *second)
        worst = max(worst, float(abs(got - want)) / unit)
        if a.intersects(b) != (want <= MEET_ULPS * unit) or b.intersects(a) != a.intersects(b):
            wrong.append((first, second))
    return worst, wrong


@pytest.mark.parametrize("offset", OFFSETS)
def test_nearly_straight_arcs_against_one_another(offset):
    worst, wrong = worst_pair_error(offset)
    assert worst <= WITHIN_ULPS and wrong == []


def d_shape(s, e, i):
    """The area between a clockwise arc side (bulging left of s->e) and a
    vertex well to the right of its chord."""
    length = math.hypot(e[0] - s[0], e[1] - s[1])
    ux, uy = (e[0] - s[0]) / length, (e[1] - s[1]) / length
    far = ((s[0] + e[0]) / 2 + 0.5 * length * uy, (s[1] + e[1]) / 2 - 0.5 * length * ux)
    return og.Polygon({"curveRings": [[list(s), {"c": [list(e), list(i)]}, list(far), list(s)]]})


def relation_cases(offset):
    """(what, shape, expected answers) for shapes against an area whose side
    is a nearly straight arc: touching it at its middle, and moved off that
    by far more than rounding, inwards and outwards."""
    for off, bulge, (s, e, i) in cases():
        if off != offset:
            continue
        a = Arc(s, e, i)
        length = chord_of(offset)
        nx, ny = normal_at(a, i)  # out of the area
        tx, ty = -ny, nx
        step = APART_ULPS * ulp_scale(s, e)
        area = d_shape(s, e, i)
        for where, d in (("on", 0.0), ("in", -step), ("out", step)):
            p = (i[0] + d * nx, i[1] + d * ny)
            assert (mp.sign(point_arc(p, a) - step / 2) > 0) == (where != "on")
            touch, inside = where == "on", where == "in"
            yield (off, bulge, where, "point"), point(p), area, {
                "touches": touch, "within": inside, "intersects": where != "out"}
            # A wedge of straight sides with its tip at p, pointing at the arc.
            w = 0.05 * length
            wedge = og.Polygon({"rings": [[list(p), [p[0] + w * (nx + tx), p[1] + w * (ny + ty)],
                                           [p[0] + w * (nx - tx), p[1] + w * (ny - ty)], list(p)]]})
            yield (off, bulge, where, "wedge"), wedge, area, {
                "touches": touch, "overlaps": inside, "intersects": where != "out", "disjoint": where == "out"}
            # The tangent at p.
            tangent = straight((p[0] - w * tx, p[1] - w * ty), (p[0] + w * tx, p[1] + w * ty))
            yield (off, bulge, where, "tangent"), tangent, area, {"touches": touch, "disjoint": where == "out"}


@pytest.mark.parametrize("offset", OFFSETS)
def test_relations_with_an_area_whose_side_is_a_nearly_straight_arc(offset):
    wrong = []
    for what, shape, area, expected in relation_cases(offset):
        for name, want in expected.items():
            if getattr(shape, name)(area) != want:
                wrong.append((what, name, want))
    assert wrong == []


@pytest.mark.parametrize("offset", OFFSETS)
def test_overlays_keep_the_sliver_between_a_nearly_straight_arc_and_its_chord(offset):
    # The area with an arc side less the triangle on its chord is the
    # segment between arc and chord, r^2 (t - sin t) / 2; the two share
    # the chord's ends, where the arc meets the triangle's side.
    wrong = []
    for off, bulge, (s, e, i) in cases():
        if off != offset:
            continue
        a, length = Arc(s, e, i), chord_of(offset)
        ux, uy = (e[0] - s[0]) / length, (e[1] - s[1]) / length
        far = ((s[0] + e[0]) / 2 + 0.5 * length * uy, (s[1] + e[1]) / 2 - 0.5 * length * ux)
        triangle = og.Polygon({"rings": [[list(s), list(far), list(e), list(s)]]})
        got = d_shape(s, e, i).difference(triangle).area
        want = a.r**2 / 2 * (a.sweep - mp.sin(a.sweep))
        if abs(got - want) > 3 * length * ulp_scale(s, e, far):
            wrong.append((bulge, got, float(want)))
    assert wrong == []


@pytest.mark.parametrize("offset", OFFSETS)
def test_overlays_cut_a_nearly_straight_arc_where_a_line_crosses_it_shallowly(offset):
    # A chord along x puts the arc's middle at a quarter turn, where the
    # chords of circles have a vertex.  The line halfway up the bow crosses
    # the arc at an angle of about its sweep; above it lies a cap of the
    # circle, r^2 (t - sin t) / 2 for its angle t.
    wrong = []
    for bulge in BULGES:
        s, e, i = arc_points(offset, bulge, direction=0.0)
        a, length = Arc(s, e, i), chord_of(offset)
        y0 = s[1] + 0.5 * bulge * length
        box = og.Polygon({"rings": [[[s[0] - length, y0], [s[0] - length, y0 + length],
                                     [s[0] + 2 * length, y0 + length], [s[0] + 2 * length, y0], [s[0] - length, y0]]]})
        got = d_shape(s, e, i).intersect(box).area
        t = 2 * mp.acos((mp.mpf(y0) - a.c[1]) / a.r)
        want = a.r**2 / 2 * (t - mp.sin(t))
        if abs(got - want) > 3 * length * ulp_scale(s, e):
            wrong.append((bulge, got, float(want)))
    assert wrong == []
