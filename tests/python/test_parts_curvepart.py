"""CurvePart: the index rule, curve items, the start-vertex rule and live reading."""
import pytest

import ostrel_geometry as og

ARC = {"c": [[2, 0], [1, 1]]}


def make(items, has_z=False, has_m=False):
    return og.Polyline({"hasZ": has_z, "hasM": has_m, "curvePaths": [items]}).curve_paths[0]


def index_error(index, length):
    return f"^Index {index} out of bounds, CurvePart has {length} elements$"


def test_items_take_the_class_of_their_curve():
    part = make([[0, 0], ARC, [3, 0]])
    assert [type(s) for s in part] == [og.Linear, og.CircularArc, og.Linear]
    assert type(part[-2]) is og.CircularArc
    with pytest.raises(IndexError, match=index_error(3, 3)):
        part[3]
    with pytest.raises(IndexError, match=index_error(5, 3)):
        part.remove(5)
    with pytest.raises(IndexError, match=index_error(-4, 3)):
        part.insert(-4, [1, 1])


def test_index_is_checked_before_the_value():
    part = make([[0, 0], ARC, [3, 0]])
    with pytest.raises(IndexError, match=index_error(7, 3)):
        part[7] = {"x": 1}


START = "^Tried to place curve at the beginning of a curve part- must have a regular coordinate as start vertex$"


def test_start_vertex_rule():
    part = make([[0, 0], ARC])
    with pytest.raises(ValueError, match=START):
        part[0] = {"c": [[1, 1], [0, 2]]}
    with pytest.raises(ValueError, match=START):
        part.insert(0, {"c": [[1, 1], [0, 2]]})
    part[0] = [1, 1]
    assert type(part[0]) is og.Linear and str(part) == '[[1, 1], {"c": [[2, 0], [1, 1]]}]'
    empty = make([])
    with pytest.raises(ValueError, match=START):
        empty.append(ARC)
    with pytest.raises(IndexError, match=index_error(0, 0)):
        empty[0] = [1, 1]
    empty.append([0, 0])
    empty.append({"c": [[1, 1], [0, 2]]})
    assert (empty[1].interior_x, empty[1].interior_y) == (0.0, 2.0)


def test_insert_keeps_the_neighbours_curves():
    part = make([[0, 0], [4, 0], ARC])
    part.insert(0, [5, 5])
    assert str(part) == '[[5, 5], [0, 0], [4, 0], {"c": [[2, 0], [1, 1]]}]'
    part.insert(1, {"b": [[2, 2], [0, 1], [1, 2]]})
    assert str(part) == '[[5, 5], {"b": [[2, 2], [0, 1], [1, 2]]}, [0, 0], [4, 0], {"c": [[2, 0], [1, 1]]}]'


def test_remove_rules():
    part = make([[0, 0], ARC, {"c": [[4, 0], [3, 1]]}])
    with pytest.raises(Exception) as e:
        part.remove(0)
    assert str(e.value) == (
        "Curved parts must have starting vertex with no curve data: "
        "'CurvePart::remove first curve, curve that would replace it is nonlinear'"
    )
    assert len(part) == 3
    part.remove(1)
    assert str(part) == '[[0, 0], {"c": [[4, 0], [3, 1]]}]'
    linear = make([[0, 0], [1, 1]])
    linear.remove(0)
    assert str(linear) == "[[1, 1]]" and type(linear[0]) is og.Linear


def test_pop_and_clear():
    part = make([[0, 0], {"a": [[4, 0], [2, 0], 0, 1, 0.5, 2, 0.5]}])
    ell = part.pop()
    assert type(ell) is og.EllipticArc and ell.ratio == 0.5
    ell.center_x = 100
    assert str(part) == "[[0, 0]]"
    part.clear()
    assert part.pop() is None and str(part) == "[]"


@pytest.mark.parametrize(
    "item, expected",
    [
        ({"c": [[1, 2, 3], [4, 5, 6]]}, '{"c": [[1, 2, 3], [4, 5]]}'),
        ([1, 2], "[1, 2, NaN]"),
        ([1, 2, None], "[1, 2, NaN]"),
        ({"c": [[0, 0], [1, 1]], "a": []}, '{"c": [[0, 0, NaN], [1, 1]]}'),
        ({"a": [[1, 2], [0, 0], 0, 1, 0.5, 3, 0.25]}, '{"a": [[1, 2, NaN], [0, 0], 0, 1, 0.5, 3, 0.25]}'),
        ({"a": [[1, 2, 7], [0, 0], True, False, 0.5, 3, 1]}, '{"a": [[1, 2, 7], [0, 0], 1, 0]}'),
    ],
)
def test_curve_items(item, expected):
    part = make([[0, 0, 0]], has_z=True)
    part.append(item)
    assert str(part) == "[[0, 0, 0], " + expected + "]"


@pytest.mark.parametrize(
    "item, error",
    [
        ({"a": [[1, 2], [0, 0], 0, 1, 0.5]}, IndexError),
        ({"a": [[1, 2], [0, 0], 0]}, IndexError),
        ({"a": [[1, 2], [0, 0], 2.0, 0, 0, 1, 1]}, TypeError),
        ({"a": [[1, 2], [0, 0], 256, 0, 0, 1, 1]}, OverflowError),
        ({"b": [[1, 2], [3, 4]]}, IndexError),
        ({"b": [[1, 2], [3, 4], (5, 6)]}, TypeError),
        ({"c": ([1, 2], [3, 4])}, TypeError),
        ({"c": [[1], [3, 4]]}, IndexError),
        ({"x": 1, "y": 2}, TypeError),
        ((1, 2), TypeError),
    ],
)
def test_bad_curve_items_leave_the_part_unchanged(item, error):
    part = make([[0, 0]])
    with pytest.raises(error) as e:
        part.append(item)
    assert type(e.value) is error
    with pytest.raises(error):
        part.insert(1, item)
    assert str(part) == "[[0, 0]]"


def test_unknown_items_text():
    part = make([[0, 0]])
    with pytest.raises(TypeError, match="^point_and_curve_from_py: Did not get a valid dict or list for curve/point"):
        part.append({"x": 1})


def test_circular_arc_around_a_center_uses_the_previous_vertex():
    part = make([[0, 0]])
    part.append({"a": [[2, 0], [1, 0], 0, 1]})
    arc = part[1]
    assert type(arc) is og.CircularArc
    # The interior point lies on the circle of radius 1 about (1, 0).
    assert (arc.interior_x - 1) ** 2 + arc.interior_y**2 == pytest.approx(1.0)


def test_iterator_resumes_after_appends():
    part = make([[0, 0], ARC])
    it = iter(part)
    assert [type(s) for s in it] == [og.Linear, og.CircularArc]
    part.append([5, 5])
    assert next(it).x == 5.0


def test_conversion_code_may_read_the_same_part():
    # Reading the new value runs Python code; the part must not be locked
    # while it runs.
    part = make([[0, 0], [1, 0]])

    class Peek:
        def __float__(self):
            return float(len(part))

    part[1] = [Peek(), 0]
    part.insert(1, [Peek(), 1])
    part.append({"c": [[Peek(), 0], [0, 1]]})
    assert str(part) == '[[0, 0], [2, 1], [2, 0], {"c": [[3, 0], [0, 1]]}]'


def test_conversion_code_that_changes_the_part_is_refused():
    part = make([[0, 0], [1, 0]])

    class Grow:
        def __float__(self):
            part.append([9, 9])
            return 1.0

    with pytest.raises(RuntimeError, match="changed while its new vertex was being read"):
        part[1] = [Grow(), 0]
    assert str(part) == "[[0, 0], [1, 0], [9, 9]]"


def test_from_list_through_the_collection():
    multi = og.Polyline({}).curve_paths
    multi.append([[0, 0], {"b": [[3, 0], [1, 1], [2, 1]]}])
    assert type(multi[0][1]) is og.BezierCurve
    with pytest.raises(ValueError, match="^Tried to create curve part with a curve as the first segment"):
        multi.append([{"c": [[1, 1], [0, 2]]}])
    with pytest.raises(TypeError, match="^CurvePart from_py requires a Part or a list$"):
        multi.append(og.Polyline({"paths": [[[0, 0]]]}).paths[0])
