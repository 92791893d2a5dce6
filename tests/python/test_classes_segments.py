"""Coord and curve-segment objects: reading, positional access and write-back."""
import math

import pytest

import ostrel_geometry as og


def part_of(points, has_z=False, has_m=False):
    return og.Polyline({"hasZ": has_z, "hasM": has_m, "paths": [points]}).paths[0]


def curve_part_of(items):
    return og.Polyline({"curvePaths": [items]}).curve_paths[0]


def test_class_tree():
    assert og.Coord.__mro__[1] is og.Segment
    for cls in (og.Linear, og.CircularArc, og.EllipticArc, og.BezierCurve):
        assert cls.__mro__[1:3] == (og.CurveSegment, og.Segment)


@pytest.mark.parametrize(
    "has_z, has_m, values, z, m",
    [
        (False, False, [1, 2], None, None),
        (True, False, [1, 2, 3], 3.0, None),
        (False, True, [1, 2, 4], None, 4.0),
        (True, True, [1, 2, 3, 4], 3.0, 4.0),
    ],
)
def test_components_by_layout(has_z, has_m, values, z, m):
    c = part_of([values], has_z, has_m)[0]
    assert (c.x, c.y, c.z, c.m) == (1.0, 2.0, z, m)
    assert len(c) == len(values)
    assert list(c) == [float(v) for v in values]
    assert c[-1] == float(values[-1])


def test_item_read_rule():
    c = part_of([[1, 2]])[0]
    for key in (2, -3):
        with pytest.raises(IndexError, match=f"^Index {key} out of bounds, Coord has 2 elements$"):
            c[key]
    with pytest.raises(TypeError, match="^argument 'key': "):
        c[0:2]


def test_item_write():
    part = part_of([[1, 2, 3]], has_m=True)
    c = part[0]
    c[2] = 5.0
    assert c.m == 5.0 and part[0].m == 5.0
    with pytest.raises(Exception, match=r"^Invalid dims for operation: Failed index based access to coord with "
                                        r"dims: xym, buffer representation len: 3, idx: 3$"):
        c[3] = 1.0
    with pytest.raises(OverflowError):
        c[-1] = 1.0
    with pytest.raises(TypeError, match="^argument 'idx': "):
        c[1.5] = 1.0
    with pytest.raises(TypeError, match="^argument 'val': "):
        c[0] = "x"
    with pytest.raises(NotImplementedError, match="^can't delete item$"):
        del c[0]


def test_setters_and_dimension_rules():
    part = part_of([[1, 2]])
    c = part[0]
    with pytest.raises(Exception, match="^Invalid dims for operation: Tried to set z value on coord with dims: xy$"):
        c.z = 1.0
    with pytest.raises(Exception, match="^Invalid dims for operation: Tried to set m value on coord with dims: xy$"):
        c.m = 1.0
    with pytest.raises(TypeError, match="^argument 'val': "):
        c.x = None
    with pytest.raises(AttributeError, match="^can't delete attribute$"):
        del c.x
    c.x = 3
    assert c.x == 3.0 and str(part) == "[[3, 2]]"
    with pytest.raises(AttributeError):
        og.Segment.x.__set__(c, 1.0)


def test_write_back_uses_the_whole_copy():
    part = part_of([[0, 0], [1, 1], [2, 2]])
    c = part[1]
    part[1] = [5, 6]
    c.x = 7.0
    assert str(part) == "[[0, 0], [7, 1], [2, 2]]"
    old = part[2]
    part.clear()
    old.x = 9.0
    assert str(part) == "[]" and old.x == 9.0


def test_detached_coordinates_change_only_themselves():
    part = part_of([[0, 0], [1, 1]])
    c = part.pop()
    c.y = 50
    assert c.y == 50.0 and str(part) == "[[0, 0]]"


def test_coordinate_keeps_its_part_alive():
    c = og.Polyline({"paths": [[[0, 0]]]}).paths[0][0]
    c.x = 4.0  # the geometry is gone; the part lives on through the coordinate
    assert c.x == 4.0


def test_curve_fields_and_write_back():
    part = curve_part_of([[0, 0], {"c": [[2, 0], [1, 1]]}, {"a": [[4, 0], [3, 0], 0, 1, 0.5, 1, 1]},
                          {"b": [[6, 0], [4, 1], [5, 1]]}])
    arc, ell, bez = part[1], part[2], part[3]
    assert (type(part[0]), type(arc), type(ell), type(bez)) == (og.Linear, og.CircularArc, og.EllipticArc,
                                                                og.BezierCurve)
    assert (arc.interior_x, arc.interior_y) == (1.0, 1.0)
    assert (ell.center_x, ell.rotation, ell.axis, ell.ratio, ell.minor, ell.clockwise) == (3.0, 0.5, 1.0, 1.0, False,
                                                                                          True)
    assert (bez.ctrl1_x, bez.ctrl1_y, bez.ctrl2_x, bez.ctrl2_y) == (4.0, 1.0, 5.0, 1.0)
    ell.minor = True
    with pytest.raises(TypeError, match="^argument 'val': "):
        ell.minor = 1
    bez.ctrl2_y = 7
    arc.y = 3.0
    assert str(part) == (
        '[[0, 0], {"c": [[2, 3], [1, 1]]}, {"a": [[4, 0], [3, 0], 1, 1]}, {"b": [[6, 0], [4, 1], [5, 7]]}]'
    )
    with pytest.raises(AttributeError, match="^can't delete attribute$"):
        del arc.interior_x


def test_curve_field_write_restores_the_curve_kind():
    part = curve_part_of([[0, 0], {"c": [[2, 0], [1, 1]]}])
    arc = part[1]
    part[1] = [2, 0]
    assert type(part[1]) is og.Linear
    arc.interior_x = 1.5
    assert type(part[1]) is og.CircularArc and part[1].interior_x == 1.5


def test_writes_past_the_end_of_the_part_change_nothing():
    part = curve_part_of([[0, 0], {"c": [[2, 0], [1, 1]]}])
    arc = part[1]
    part.pop()
    arc.interior_x = 3.0
    arc.x = 5.0
    assert str(part) == "[[0, 0]]"
    assert (arc.interior_x, arc.x) == (3.0, 5.0)


@pytest.mark.parametrize(
    "reenter",
    [
        lambda c: c.x,
        lambda c: c[1],
        lambda c: len(c),
        lambda c: setattr(c, "y", 5.0),
    ],
)
def test_item_write_refuses_reentry_from_its_conversion(reenter):
    part = part_of([[1, 2]])
    c = part[0]

    class Sneaky:
        def __float__(self):
            reenter(c)  # touches the object while its item write is running
            return 9.0

    with pytest.raises(RuntimeError, match="^Already (mutably )?borrowed$"):
        c[0] = Sneaky()
    assert c.x == 1.0 and str(part) == "[[1, 2]]"
    c[0] = 3
    assert str(part) == "[[3, 2]]"
