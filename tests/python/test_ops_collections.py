"""Module functions and static methods over collections of geometries."""
import math
import random

import pytest
import shapely

import ostrel_geometry as og


def square(x0, y0, size):
    x1, y1 = x0 + size, y0 + size
    return og.Polygon({"rings": [[[x0, y0], [x0, y1], [x1, y1], [x1, y0], [x0, y0]]]})


def square_dict(x0, y0, size):
    x1, y1 = x0 + size, y0 + size
    return {"rings": [[[x0, y0], [x0, y1], [x1, y1], [x1, y0], [x0, y0]]]}


def pt(x, y):
    return og.Point({"x": x, "y": y})


def line(*coords):
    return og.Polyline({"paths": [[list(c) for c in coords]]})


class Boom(Exception):
    pass


class Tracker:
    """A generator over `items` that records what was taken; `Boom` items raise."""

    def __init__(self, items):
        self.items = items
        self.taken = 0

    def __iter__(self):
        for item in self.items:
            self.taken += 1
            if item is Boom:
                raise Boom("midway")
            yield item


def iterables(items):
    """The same items as a list, a generator and a dict's values view."""
    return [
        list(items),
        (i for i in items),
        {n: i for n, i in enumerate(items)}.values(),
    ]


BIG = lambda: square(0, 0, 10)  # noqa: E731


# ---- shapes over different iterables ----


@pytest.mark.parametrize("kind", [0, 1, 2])
def test_map_over_list_generator_and_dict_values(kind):
    items = [square(0, 0, 2), square_dict(10, 10, 2), pt(1, 1)]
    moved = og.move_relative_collection(iterables(items)[kind], 1.0, 2.0)
    assert [type(g) for g in moved] == [og.Polygon, og.Polygon, og.Point]
    assert moved[1].extent == (11.0, 12.0, 13.0, 14.0)
    assert (moved[2].x, moved[2].y) == (2.0, 3.0)


def test_map_functions():
    items = [square(0, 0, 2), line((0, 0), (3, 0))]
    assert [type(g) for g in og.boundary_collection(items)] == [og.Polyline, og.MultiPoint]
    assert og.simplify_collection(items)[0].area == pytest.approx(4.0)
    assert og.is_simple_collection([line((0, 0), (2, 2), (2, 0), (0, 2)), items[1]]) == [False, True]
    assert [g.has_z for g in og.set_z_collection(5.0, items)] == [True, True]
    assert og.set_z_collection(5.0, [pt(1, 1)])[0].z == 5.0
    assert og.set_m_collection(1.5, [pt(1, 1)])[0].m == 1.5
    zm = og.set_z_and_m_collection(1.0, 2.0, [pt(1, 1)])[0]
    assert (zm.z, zm.m) == (1.0, 2.0)
    assert not og.remove_z_collection([zm])[0].has_z
    assert not og.remove_m_collection([zm])[0].has_m
    stripped = og.remove_z_and_m_collection([zm])[0]
    assert not stripped.has_z and not stripped.has_m
    assert og.rotate_collection([line((0, 0), (2, 0))], 90.0, None)[0].extent == pytest.approx((1, -1, 1, 1))
    assert og.rotate_collection([line((1, 0), (2, 0))], 90.0, pt(0, 0))[0].extent == pytest.approx((0, 1, 0, 2))
    assert og.scale_collection(items, 2.0, 2.0, pt(0, 0))[0].area == pytest.approx(16.0)
    assert len(og.generalize_collection([line((0, 0), (1, 0.01), (2, 0))], 0.1, False)[0].paths[0]) == 2
    env = og.Envelope({"xmin": 0, "ymin": 0, "xmax": 1, "ymax": 10})
    assert og.clip_collection(items, env)[0].area == pytest.approx(2.0)
    dense = og.densify_collection([line((0, 0), (10, 0))], 1.0, None, None)
    assert len(dense[0].paths[0]) == 11
    assert [g.area for g in og.intersection_collection(BIG(), [square(8, 8, 4), square(-1, -1, 2)])] == pytest.approx(
        [4.0, 1.0]
    )
    assert [g.area for g in og.difference_collection_minus_geom([square(8, 8, 4)], BIG())] == pytest.approx([12.0])


def test_label_point_collection():
    ring = [[0, 0], [0, 10], [2, 10], [2, 2], [10, 2], [10, 0], [0, 0]]
    ell = og.Polygon({"rings": [ring]})
    points = og.label_point_collection([ell, line((0, 0), (10, 0), (10, 2)), pt(3, 4)])
    assert all(isinstance(p, og.Point) for p in points)
    assert ell.contains(points[0])  # inside the polygon, not the extent's center (5, 5)
    assert (points[1].x, points[1].y) == (5.0, 1.0)
    assert (points[2].x, points[2].y) == (3.0, 4.0)


def test_flatten_and_skip():
    cutter = line((5, -1), (5, 11))
    pieces = og.cut_collection([BIG(), square(20, 20, 1), square(0, 0, 10)], cutter)
    assert len(pieces) == 4  # the square that the cutter misses adds nothing
    crossing = og.intersections_collection(line((-5, 5), (15, 5)), [BIG(), square(20, 20, 1)])
    assert sum(g.length for g in crossing if isinstance(g, og.Polyline)) == pytest.approx(10.0)
    across = og.Polyline({"paths": [[[170, 0], [190, 0]]], "spatialReference": {"wkid": 4326}})
    # a geometry without a spatial reference gives nothing and leaves no entry
    normalized = og.normalize_central_meridian_collection([pt(1, 1), across, pt(2, 2)])
    assert len(normalized) == 1 and isinstance(normalized[0], og.Polyline)
    assert normalized[0].extent == (-180.0, 0.0, 180.0, 0.0)


def test_difference_geom_minus_collection_folds_in_order():
    a = BIG()
    result = og.difference_geom_minus_collection(a, [square(0, 0, 5), square(5, 5, 5)])
    assert result.area == pytest.approx(50.0)
    assert result.equals(a.difference(square(0, 0, 5)).difference(square(5, 5, 5)))
    copy = og.difference_geom_minus_collection(a, [])
    assert copy is not a and isinstance(copy, og.Polygon) and copy.equals(a)


@pytest.mark.parametrize(
    "fn, expected",
    [
        (og.within_collection, True),
        (og.contains_collection, True),
        (og.disjoint_from_collection, True),
        (og.crosses_collection, False),
        (og.touches_collection, False),
        (og.overlaps_collection, False),
        (og.intersects_collection, False),
        (og.distances_from_collection, []),
    ],
)
def test_empty_collections(fn, expected):
    assert fn(BIG(), []) == expected
    assert fn(BIG(), iter(())) == expected


def test_empty_collections_of_map_functions():
    assert og.boundary_collection([]) == []
    assert og.cut_collection([], line((0, 0), (1, 1))) == []
    assert og.label_point_collection([]) == []


def test_predicates():
    small = square(2, 2, 2)
    assert og.within_collection(small, [BIG()]) is small.within(BIG())
    assert og.contains_collection(BIG(), [small, pt(1, 1)]) is True
    assert og.contains_collection(BIG(), [small, pt(11, 1)]) is False
    assert og.crosses_collection(BIG(), [pt(20, 20), line((-1, 5), (11, 5))]) is True
    assert og.touches_collection(BIG(), [square(10, 0, 1)]) is True
    assert og.overlaps_collection(BIG(), [square(5, 5, 10)]) is True
    assert og.intersects_collection(BIG(), [pt(20, 20), square_dict(9, 9, 3)]) is True
    assert og.disjoint_from_collection(BIG(), [pt(20, 20), pt(10, 10)]) is False
    assert og.distances_from_collection(pt(0, 0), [pt(3, 4), pt(0, 1), square_dict(0, 2, 1)]) == [5.0, 1.0, 2.0]


def test_containers_asked_again_and_again_answer_as_at_first():
    # A container asked about point after point is prepared along the way,
    # and then asked about the points by their coordinates; the answers must
    # not move, on the boundary least of all.  A square (for which GEOS has a
    # way of its own) and a square frame around a hole; each point is
    # interior, boundary or exterior by construction.
    outer = [[0, 0], [0, 10], [10, 10], [10, 0], [0, 0]]
    hole = [[4, 4], [6, 4], [6, 6], [4, 6], [4, 4]]
    box = og.Polygon({"rings": [outer]})
    frame = og.Polygon({"rings": [outer, hole]})
    points = {
        (1, 1): "II",
        (5, 0): "BB",
        (0, 0): "BB",
        (10, 3.5): "BB",
        (5, 5): "IE",
        (4, 5): "IB",
        (6, 6): "IB",
        (4.5, 4.5): "IE",
        (11, 5): "EE",
        (-1e-300, 5): "EE",
        (5, 10 - 2e-15): "II",
    }
    for rounds in range(3):  # the first round leaves both containers prepared
        for (x, y), where in points.items():
            p = pt(x, y)
            for container, at in ((box, where[0]), (frame, where[1])):
                inside, outside = at == "I", at == "E"
                assert og.contains_collection(container, [p]) is inside, (x, y, at)
                assert og.within_collection(p, [container]) is inside, (x, y, at)
                assert og.intersects_collection(p, [container]) is not outside, (x, y, at)
                assert og.disjoint_from_collection(p, [container]) is outside, (x, y, at)
                assert container.contains(p) is inside and p.within(container) is inside


# ---- early stop, failures midway, no leaked handles (the conftest fixture counts them) ----


def test_predicates_stop_at_the_deciding_item():
    src = Tracker([square(1, 1, 1), pt(20, 20), Boom])
    assert og.contains_collection(BIG(), iter(src)) is False
    assert src.taken == 2

    src = Tracker([line((-1, 5), (11, 5)), 5, Boom])
    assert og.crosses_collection(BIG(), iter(src)) is True
    assert src.taken == 1
    with pytest.raises(TypeError):
        og.crosses_collection(BIG(), [5, line((-1, 5), (11, 5))])


@pytest.mark.parametrize("walk", [lambda items: items, iter], ids=["list", "iterator"])
@pytest.mark.parametrize("grow", [True, False])
def test_a_list_changed_while_it_is_walked(walk, grow):
    """An item's conversion that appends to or shortens the list, and edits
    an item still to come: the walk sees the list as its own iterator does,
    and each item as it is when taken."""
    later = square(0, 0, 1)
    items = [square(0, 0, 1), None, later, square(0, 0, 5)]

    def meddle(self):
        if not meddled:
            meddled.append(True)
            if grow:
                items.append(square(0, 0, 2))
            else:
                items.pop()
            later.rings[0][2] = [3, 3]
        return og.Polygon.__qxc_geo(self)

    meddled = []

    items[1] = type("Meddler", (og.Polygon,), {"__qxc_geo": meddle})(square_dict(0, 0, 1))
    total = og.area_collection(walk(items))
    assert total == sum(p.area for p in items) == (1 + 1 + 3 + 25 + 4 if grow else 1 + 1 + 3)
    assert og.length_collection([later, later]) == 2 * later.length


def test_is_simple_collection_evaluates_every_item():
    src = Tracker([line((0, 0), (2, 2), (2, 0), (0, 2)), line((0, 0), (1, 0))])
    assert og.is_simple_collection(iter(src)) == [False, True]
    assert src.taken == 2


def test_intersects_collection_asks_for_the_iterator_first():
    class Unconvertible(og.Polygon):
        pass

    setattr(Unconvertible, "__qxc_geo", lambda self: (_ for _ in ()).throw(Boom("converted")))
    u = Unconvertible(square_dict(0, 0, 1))
    with pytest.raises(TypeError):
        og.intersects_collection(u, 5)
    with pytest.raises(Boom):
        og.touches_collection(u, 5)


@pytest.mark.parametrize(
    "call",
    [
        lambda it: og.move_relative_collection(it, 1.0, 1.0),
        lambda it: og.cut_collection(it, line((5, -1), (5, 11))),
        lambda it: og.difference_geom_minus_collection(BIG(), it),
        lambda it: og.label_point_collection(it),
        lambda it: og.distances_from_collection(BIG(), it),
        lambda it: og.within_collection(square(1, 1, 1), it),
        lambda it: og.area_collection(it),
        lambda it: og.length_collection(it),
        lambda it: og.Geometry.union_collection(it),
        lambda it: og.Geometry.convex_hull_collection(it, False),
        lambda it: og.Geometry.combine_extents_collection(it),
        lambda it: og.Geometry.buffer_collection(it, [1.0], False),
        lambda it: og.buffer_collection(it, [1.0]),
    ],
)
def test_iterator_raising_midway(call):
    src = Tracker([BIG(), square(0, 0, 3), Boom, square(0, 0, 4)])
    with pytest.raises(Boom):
        call(iter(src))
    assert src.taken == 3  # the item after the failure is never taken


@pytest.mark.parametrize(
    "call",
    [
        lambda it: og.boundary_collection(it),
        lambda it: og.Geometry.union_collection(it),
        lambda it: og.Geometry.buffer_collection(it, [1.0], False),
    ],
)
def test_unconvertible_item_midway(call):
    src = Tracker([square(0, 0, 2), square(0, 0, 3), 5, square(0, 0, 4)])
    with pytest.raises(TypeError):
        call(iter(src))
    assert src.taken == 3


# ---- whole-collection operations ----


def test_buffer_collection_static_shapes():
    two = og.Geometry.buffer_collection([pt(0, 0), pt(100, 0)], [1.0], False)
    assert [type(g) for g in two] == [og.Polygon, og.Polygon]
    assert two[1].area == pytest.approx(two[0].area)  # the last distance serves the rest
    merged = og.Geometry.buffer_collection([pt(0, 0), pt(1, 0)], [1.0, 1.0], True)
    assert isinstance(merged, og.Polygon)
    apart = og.Geometry.buffer_collection([pt(0, 0), pt(100, 0)], [1.0], True)
    assert isinstance(apart, og.Polygon) and apart.area == pytest.approx(2 * two[0].area)
    assert og.Geometry.buffer_collection([], [], True) == []


def test_buffer_collection_items_are_each_geometrys_own_buffer():
    # The collection makes the kept forms of its geometries, all its buffers
    # and then reads them back, in steps over the whole list: each item must
    # still be its own geometry's buffer, vertex for vertex, whether the
    # geometry had kept forms before the call or not, repaired, curved,
    # several parts or none.
    def shapes():
        return [
            square(0, 0, 1),
            og.Polygon({"rings": [[[0, 0], [0, 9], [9, 9], [9, 0], [0, 0]], [[3, 3], [6, 3], [6, 6], [3, 6], [3, 3]]]}),
            og.Polygon({"rings": [[[0, 0], [4, 4], [4, 0], [0, 4], [0, 0]]]}),  # crosses itself
            og.Polygon({"curveRings": [[[0, 0], {"a": [[0, 0], [1, 0], 0, 1]}]]}),
            og.Polygon({"rings": [[[20, 0], [20, 1], [21, 1], [21, 0], [20, 0]], [[30, 0], [30, 2], [32, 2], [32, 0], [30, 0]]]}),
            og.Polygon({"rings": []}),
            line((0, 0), (5, 5), (10, 0)),
            pt(3, 4),
        ]

    distances = [0.5, 2.0, 0.25]
    for warm in (False, True):
        geometries = shapes()
        if warm:
            for g in geometries:
                g.buffer(1.0)
        expected = [g.buffer(distances[min(i, 2)]).to_dict() for i, g in enumerate(shapes())]
        for _ in range(2):
            got = og.Geometry.buffer_collection(geometries, distances, False)
            assert [b.to_dict() for b in got] == expected


def test_convex_hull_collection_shapes():
    hulls = og.Geometry.convex_hull_collection([square(0, 0, 1), line((5, 5), (6, 7), (7, 5))], False)
    assert len(hulls) == 2 and hulls[1].area == pytest.approx(2.0)
    one = og.Geometry.convex_hull_collection([pt(0, 0), pt(2, 0), pt(0, 2)], True)
    assert isinstance(one, og.Polygon) and one.area == pytest.approx(2.0)
    assert og.Geometry.convex_hull_collection([], True) == []


def test_union_and_combine_extents_collection():
    u = og.Geometry.union_collection(iter([square(0, 0, 1), square_dict(1, 0, 1)]))
    assert isinstance(u, og.Polygon) and u.area == pytest.approx(2.0)
    e = og.Geometry.combine_extents_collection([pt(0, 0), pt(3, 4)])
    assert isinstance(e, og.Envelope) and (e.xmin, e.ymin, e.xmax, e.ymax) == (0.0, 0.0, 3.0, 4.0)


def test_distances_outrank_geometries():
    with pytest.raises(TypeError) as info:
        og.Geometry.buffer_collection([pt(0, 0), 5], [1.0, "x"], False)
    assert "float" in str(info.value) or "real number" in str(info.value)


def test_distances_wait_for_the_geometries():
    order = []

    def geometries():
        for i in range(3):
            order.append(("g", i))
            yield pt(i * 10, 0)

    def distances():
        for i in range(3):
            order.append(("d", i))
            yield 1.0

    og.Geometry.buffer_collection(geometries(), distances(), False)
    assert order == [("g", 0), ("g", 1), ("g", 2), ("d", 0), ("d", 1), ("d", 2)]


def test_not_iterable_before_any_pull():
    src = Tracker([pt(0, 0)])
    with pytest.raises(TypeError):
        og.Geometry.buffer_collection(iter(src), 5, False)
    assert src.taken == 0


def test_module_buffer_collection():
    res = og.buffer_collection([pt(0, 0), pt(1, 0)], [1.0], True)
    assert isinstance(res, list) and all(isinstance(p, og.Polygon) for p in res)
    assert len(og.buffer_collection([pt(0, 0), pt(100, 0)], [1.0])) == 2
    wgs = {"x": 10.0, "y": 50.0, "spatialReference": {"wkid": 4326}}
    geo = og.buffer_collection([wgs], [1000.0], distance_unit=og.LinearUnitId.Meters)
    assert len(geo) == 1 and geo[0].calculate_area(og.GeodeticCurveType.Geodesic) == pytest.approx(3.14e6, rel=3e-2)
    same = og.buffer_collection([wgs], [1000.0], False, og.LinearUnitId.Meters, 0.0, None)
    assert same[0].area == pytest.approx(geo[0].area)


def test_auto_complete():
    existing = [square(0, 0, 10)]
    new = [line((10, 0), (20, 0), (20, 10), (10, 10))]
    res = og.Geometry.auto_complete(existing, new)
    assert isinstance(res, list)
    assert [type(g) for g in res] == [og.Polygon] * len(res)
    assert sum(g.area for g in res) == pytest.approx(100.0)
    assert og.Geometry.auto_complete([], new) == []


def test_auto_complete_new_boundaries_failure_outranks():
    def bad_new():
        raise KeyError("new")
        yield  # a generator

    with pytest.raises(KeyError):
        og.Geometry.auto_complete([5], bad_new())
    with pytest.raises(TypeError):
        og.Geometry.auto_complete([5], [])


def test_each_occurrence_is_converted_once():
    calls = []
    base = getattr(og.Polygon, "__qxc_geo")

    class Counted(og.Polygon):
        pass

    def qxc(self):
        calls.append(self)
        return base(self)

    setattr(Counted, "__qxc_geo", qxc)
    c = Counted(square_dict(0, 0, 1))
    assert len(og.boundary_collection([c, c, c])) == 3
    assert len(calls) == 3
    og.Geometry.union_collection([c, c])
    assert len(calls) == 5
    og.contains_collection(c, [c])  # the primary and the item, each converted once
    assert len(calls) == 7


def test_default_curve_type_of_buffer_collection_is_great_elliptic():
    wgs = {"x": 10.0, "y": 50.0, "spatialReference": {"wkid": 4326}}
    m = og.LinearUnitId.Meters
    default = og.buffer_collection([wgs], [5000.0], distance_unit=m)[0]
    explicit = og.buffer_collection([wgs], [5000.0], False, m, 0.0, og.GeodeticCurveType.GreatElliptic)[0]
    assert str(default) == str(explicit)


def test_iterators_may_call_into_the_module_while_feeding_the_runtime():
    def unions():
        for i in range(3):
            yield og.Geometry.union_collection([square(i, 0, 1), square(i + 1, 0, 1)])

    u = og.Geometry.union_collection(unions())
    assert u.area == pytest.approx(4.0)
    hulls = (og.Geometry.convex_hull_collection([square(i * 10, 0, 1)], True) for i in range(2))
    sizes = (og.area_collection([square(0, 0, 1)]) for _ in range(2))
    assert len(og.Geometry.buffer_collection(hulls, sizes, False)) == 2


def test_runtime_error_outranks_a_failed_item():
    # the runtime is called with the items gathered before the failure (none
    # here) and its own error wins over the item's
    for items in ([], [5], iter([5, square(0, 0, 1)])):
        with pytest.raises(Exception) as info:
            og.Geometry.union_collection(items)
        assert type(info.value) is Exception
        assert str(info.value).startswith("Vaskelith library error: '")


def test_label_points_of_envelopes_and_multipoints_are_extent_centers():
    e = og.Envelope({"xmin": 0, "ymin": 0, "xmax": 2, "ymax": 1})
    mp = og.MultiPoint({"points": [[0, 0], [0.001, 0], [5, 5]]})
    points = og.label_point_collection([e, mp, {"x": 1, "y": 2}])
    assert [(p.x, p.y) for p in points] == [(1.0, 0.5), (2.5, 2.5), (1.0, 2.0)]
    assert [(p.x, p.y) for p in (e.label_point, mp.label_point)] == [(1.0, 0.5), (2.5, 2.5)]
    holed = og.Polygon({"rings": [square_dict(0, 0, 10)["rings"][0], [[2, 2], [8, 2], [8, 8], [2, 8], [2, 2]]]})
    inside = og.label_point_collection([holed])[0]
    assert holed.contains(inside)  # not the extent's center, which lies in the hole


# ---- lists and tuples, whose items are asked about many at a time ----


def mixed_items():
    """Geometries of every shape the measures and predicates branch on."""
    return [
        square(0, 0, 2),
        og.Polygon({"curveRings": [[[0, 0], {"c": [[2, 0], [1, 1]]}, {"c": [[0, 0], [1, -1]]}]]}),
        og.Polygon({"rings": [square_dict(0, 0, 10)["rings"][0], [[2, 2], [8, 2], [8, 8], [2, 8], [2, 2]]]}),
        og.Envelope({"xmin": 1, "ymin": 1, "xmax": 4, "ymax": 3}),
        line((0, 0), (3, 4), (3, 0)),
        og.Polyline({"curvePaths": [[[0, 0], {"c": [[2, 0], [1, 1]]}]]}),
        pt(7, 7),
        og.MultiPoint({"points": [[0, 0], [5, 5]]}),
        square(0.1, 0.2, 1e-3),
    ]


@pytest.mark.parametrize("shape", [list, tuple])
def test_a_sequence_is_answered_as_its_items_one_by_one(shape):
    items = mixed_items()
    og.area_collection(items)  # every item keeps its runtime geometry from now on
    one_by_one = lambda: iter(items)  # noqa: E731  (an iterator is walked item by item)
    assert og.area_collection(shape(items)) == og.area_collection(one_by_one())
    assert og.length_collection(shape(items)) == og.length_collection(one_by_one())
    origin = pt(-3, 1)
    assert og.distances_from_collection(origin, shape(items)) == og.distances_from_collection(origin, one_by_one())
    for probe in (BIG(), pt(1, 0.5), square(-5, -5, 1)):
        for fn in (og.contains_collection, og.within_collection, og.intersects_collection, og.disjoint_from_collection,
                   og.touches_collection, og.crosses_collection, og.overlaps_collection):
            for item in items:
                assert fn(probe, shape([item])) is fn(probe, iter([item])), (fn.__name__, str(item))
    # the sum keeps the order of the items, which floating-point addition does not forgive:
    # 1e16 has a spacing of 2, so each 1 added after it is lost or doubled by rounding
    ones = [square(0, 0, 1)] * 5 + [square(0, 0, 1e8)] + [square(0, 0, 1)] * 9
    expected = 0.0
    for g in ones:
        expected += 1e16 if g is ones[5] else 1.0
    assert og.area_collection(shape(ones)) == og.area_collection(iter(ones)) == expected


def _edge(a, b):
    """An edge's length as GEOS forms it (the root of the sum of squares)
    where the squares neither overflow nor underflow, else hypot."""
    dx, dy = b[0] - a[0], b[1] - a[1]
    d2 = dx * dx + dy * dy
    plain = d2 < 1e290 and (d2 > 1e-290 or (dx == 0 and dy == 0))
    return math.sqrt(d2) if plain else math.hypot(dx, dy)


def _random_parts(seed):
    rng = random.Random(seed)
    return [([(rng.uniform(-50, 50), rng.uniform(-50, 50)) for _ in range(n)], True) for n in range(2, 9)]


TINY, HUGE = 1e-160, 1e160  # squares below and above what a double holds in full


@pytest.mark.parametrize(
    "pts, like_geos",
    _random_parts(3)
    + [
        # edges too short or too long for their squares, first, in the middle and last (a ring's closing edge)
        ([(0, 0), (TINY, 0), (TINY, TINY), (0, 3 * TINY)], False),
        ([(0, 0), (1, 0), (1, 1), (1 + 2e-154, 1), (0, 1)], True),
        ([(0, 0), (2, 0), (2, 2), (0, 2), (0, TINY)], False),
        ([(0, 0), (HUGE, 0), (HUGE, 1), (0, 1)], False),
        ([(1, 1), (2, 1), (2, 2), (1, HUGE)], False),
        # a vertex given twice: an edge of no length, answered without hypot
        ([(0, 0), (3, 0), (3, 0), (3, 4), (0, 4)], True),
    ],
)
def test_lengths_over_a_sequence_add_each_edge_in_order(pts, like_geos):
    # A list is measured many items at a time, its edges two at a time; a path
    # and a ring of every vertex count up to eight, with each kind of edge at
    # each place, give what one edge after the other gives, to the bit, and
    # what GEOS gives where its squares hold.
    path = og.Polyline({"paths": [[list(p) for p in pts]]})
    ring = og.Polygon({"rings": [[list(p) for p in pts + pts[:1]]]})
    expected_path, expected_ring = 0.0, 0.0
    for a, b in zip(pts, pts[1:]):
        expected_path += _edge(a, b)
    expected_ring = expected_path + _edge(pts[-1], pts[0])
    if like_geos:
        assert shapely.length(shapely.LineString(pts)) == expected_path
        if len(pts) > 2:
            assert shapely.length(shapely.Polygon(pts)) == expected_ring
    for g, expected in ((path, expected_path), (ring, expected_ring)):
        assert og.length_collection([g]) == expected  # one item at a time: not kept yet
        assert og.length_collection([g, g]) == expected + expected  # kept now, gathered
        assert g.length == expected
    assert og.length_collection([path, ring, path]) == expected_path + expected_ring + expected_path


POINTS_NEAR_A_BOX = [(3, 2), (0, 2), (6, 4), (3, 4), (3, 4 - 1e-12), (-1, 2), (5.999999999999999, 0.5), (3, 4.5)]


@pytest.mark.parametrize(
    "ring, held",
    [
        # rectangles: the points strictly inside, whatever the ring's direction or start
        ([[0, 0], [0, 4], [6, 4], [6, 0], [0, 0]], [(3, 2), (3, 4 - 1e-12), (5.999999999999999, 0.5)]),
        ([[0, 0], [6, 0], [6, 4], [0, 4], [0, 0]], [(3, 2), (3, 4 - 1e-12), (5.999999999999999, 0.5)]),
        ([[6, 4], [6, 0], [0, 0], [0, 4]], [(3, 2), (3, 4 - 1e-12), (5.999999999999999, 0.5)]),
        # one corner moved up: (3, 4) is inside now, (3, 4.5) on the top side
        ([[0, 0], [0, 4], [6, 5], [6, 0], [0, 0]], [(3, 2), (3, 4), (3, 4 - 1e-12), (5.999999999999999, 0.5)]),
        # no width: nothing inside
        ([[0, 0], [0, 4], [0, 4], [0, 0], [0, 0]], []),
    ],
)
def test_a_box_holds_the_points_of_its_interior(ring, held):
    box = og.Polygon({"rings": [ring]})
    points = [pt(*p) for p in POINTS_NEAR_A_BOX]
    for _ in range(3):  # asked again and again, the box is prepared along the way
        for p, xy in zip(points, POINTS_NEAR_A_BOX):
            assert og.contains_collection(box, [p]) is (xy in held), (ring, xy)
            assert og.within_collection(p, [box]) is (xy in held), (ring, xy)
            assert box.contains(p) is (xy in held), (ring, xy)
    inside = [pt(*xy) for xy in held] * 10
    assert og.contains_collection(box, inside) is True
    assert og.contains_collection(box, inside + [pt(3, 4.5)] + inside) is False


def test_a_sequence_stops_at_the_deciding_item_and_converts_nothing_after_it():
    converted = []

    class Watched(og.Polygon):
        pass

    setattr(Watched, "__qxc_geo", lambda self: converted.append(self) or og.Polygon.__qxc_geo(self))
    inside, outside = square(1, 1, 1), square(20, 20, 1)
    for g in (inside, outside):
        og.area_collection([g])
    late = Watched(square_dict(2, 2, 1))
    assert og.contains_collection(BIG(), [inside] * 20 + [outside, late, 5]) is False
    assert og.intersects_collection(BIG(), (outside,) * 20 + (inside, late, 5)) is True
    assert converted == []
    # with no deciding item before it, the bad item fails, after the item converted before it
    with pytest.raises(TypeError):
        og.contains_collection(BIG(), [inside] * 20 + [late, 5, outside])
    assert converted == [late]
    with pytest.raises(TypeError):
        og.area_collection([inside] * 20 + [5])
