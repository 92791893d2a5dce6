"""Multipart and CurveMultipart: the index rule, sharing, dimensions, iteration."""
import pytest

import ostrel_geometry as og

PATH = [[0, 0], [1, 1]]
CURVE = [[0, 0], {"c": [[2, 0], [1, 1]]}]


def paths(n=3, has_z=False):
    return og.Polyline({"hasZ": has_z, "paths": [[[i, i]] for i in range(n)]}).paths


def curve_paths(n=2, has_z=False):
    return og.Polyline({"hasZ": has_z, "curvePaths": [CURVE] * n}).curve_paths


def index_error(index, length):
    return f"^Index {index} out of bounds, Multipart has {length} elements$"


@pytest.mark.parametrize(
    "make, has_len, own_repr, iterator",
    [
        (lambda: paths(1)[0], True, False, "PartIterator"),
        (lambda: curve_paths(1)[0], True, False, "CurvePartIterator"),
        (lambda: paths(1), False, True, "MultipartIterator"),
        (lambda: curve_paths(1), False, True, None),
    ],
)
def test_the_four_views_differ_only_where_they_should(make, has_len, own_repr, iterator):
    view = make()
    assert hasattr(type(view), "__len__") is has_len
    assert (repr(view) == str(view)) is own_repr
    if iterator is None:
        assert not hasattr(type(view), "__iter__")
    else:
        it = iter(view)
        assert type(it).__name__ == iterator and iter(it) is it and not hasattr(og, iterator)
        with pytest.raises(TypeError):
            type(it)()
    for name in ("append", "insert", "remove", "pop", "clear"):
        assert getattr(type(view), name).__doc__ is None
    assert type(view).insert.__text_signature__ == "($self, index, value)"
    assert type(view).pop.__text_signature__ == "($self)"


@pytest.mark.parametrize("make", [paths, curve_paths])
@pytest.mark.parametrize(
    "op",
    [
        lambda m, i: m[i],
        lambda m, i: m.__setitem__(i, []),
        lambda m, i: m.insert(i, []),
        lambda m, i: m.remove(i),
    ],
)
def test_index_errors_name_multipart(make, op):
    m = make(2)
    with pytest.raises(IndexError, match=index_error(5, 2)):
        op(m, 5)
    with pytest.raises(IndexError, match=index_error(-3, 2)):
        op(m, -3)


def test_read_insert_and_remove():
    m = paths(3)
    assert str(m[-1]) == "[[2, 2]]"
    m.insert(3, [[9, 9]])
    m.insert(-1, [[8, 8]])
    assert str(m) == "[[[0, 0]], [[1, 1]], [[2, 2]], [[8, 8]], [[9, 9]]]"
    with pytest.raises(IndexError, match=index_error(6, 5)):
        m.insert(6, [])
    m.remove(0)
    assert str(m) == repr(m) == "[[[1, 1]], [[2, 2]], [[8, 8]], [[9, 9]]]"
    empty = paths(0)
    with pytest.raises(IndexError, match=index_error(0, 0)):
        empty.remove(0)
    assert empty.pop() is None and str(empty) == "[]"


def test_items_are_new_views_of_one_part():
    line = og.Polyline({"paths": [PATH]})
    m = line.paths
    assert m[0] is not m[0]
    m[0][0].x = 5
    assert m[0][0].x == 5.0 and str(line) == '{"paths": [[[5, 0], [1, 1]]]}'


def test_dimensions_are_checked_for_shared_parts():
    m = paths(1, has_z=True)
    m.append([[1, 2]])  # a list gets the collection's columns
    assert str(m[1]) == "[[1, 2, NaN]]"
    flat = og.Polyline({"paths": [PATH]}).paths[0]
    for op in (lambda: m.append(flat), lambda: m.insert(0, flat), lambda: m.__setitem__(0, flat)):
        with pytest.raises(Exception, match=r"^Mismatching dimensions, expected 'XYZ' but got 'XY'$"):
            op()
    assert str(m) == "[[[0, 0, NaN]], [[1, 2, NaN]]]"


def test_value_is_converted_before_the_index_is_checked():
    m = paths(3)
    with pytest.raises(TypeError, match="^Part from_py requires a Part or a list$"):
        m[5] = (1, 2)
    with pytest.raises(TypeError, match="^argument 'index': "):
        m["0"] = []
    with pytest.raises(NotImplementedError, match="^can't delete item$"):
        del m[0]
    with pytest.raises(TypeError):
        len(m)


def test_shared_parts_and_pop():
    a = og.Polyline({"paths": [PATH]})
    b = og.Polyline({})
    b.paths.append(a.paths[0])
    b.paths.append(b.paths[0])  # the same part twice
    b.paths[1].append([2, 2])
    assert str(a) == '{"paths": [[[0, 0], [1, 1], [2, 2]]]}'
    assert str(b.paths) == "[[[0, 0], [1, 1], [2, 2]], [[0, 0], [1, 1], [2, 2]]]"
    popped = b.paths.pop()
    popped.append([3, 3])
    assert len(a.paths[0]) == 4
    b.paths.clear()
    assert str(b) == '{"paths": []}' and len(a.paths[0]) == 4


def test_iterator_reads_the_live_list():
    m = paths(2)
    it = iter(m)
    assert iter(it) is it
    assert [str(p) for p in it] == ["[[0, 0]]", "[[1, 1]]"]
    with pytest.raises(StopIteration):
        next(it)
    m.append([[7, 7]])
    assert str(next(it)) == "[[7, 7]]"


def test_iterator_keeps_the_collection_alive():
    it = iter(og.Polyline({"paths": [PATH]}).paths)
    assert str(next(it)) == "[[0, 0], [1, 1]]"


def test_curve_multipart_iterates_by_position():
    m = curve_paths(2)
    assert [type(p) for p in m] == [og.CurvePart, og.CurvePart]
    assert list(curve_paths(0)) == []
    assert not hasattr(type(m), "__iter__")
    with pytest.raises(TypeError):
        len(m)


def test_curve_multipart_members():
    m = curve_paths(1)
    assert str(m) == repr(m) == '[[[0, 0], {"c": [[2, 0], [1, 1]]}]]'
    m.append([[5, 5]])
    m.insert(0, [[6, 6], {"b": [[7, 7], [6, 7], [7, 6]]}])
    assert type(m[0][1]) is og.BezierCurve
    m.remove(0)
    assert type(m.pop()) is og.CurvePart
    other = curve_paths(1, has_z=True)[0]
    with pytest.raises(Exception, match=r"^Mismatching dimensions, expected 'XY' but got 'XYZ'$"):
        m.append(other)
    with pytest.raises(Exception, match=r"^Mismatching dimensions, expected 'XY' but got 'XYZ'$"):
        m[0] = other
    with pytest.raises(TypeError, match="^CurvePart from_py requires a Part or a list$"):
        m.append(paths(1)[0])
    with pytest.raises(ValueError, match="^Tried to create curve part with a curve as the first segment"):
        m.append([{"c": [[1, 1], [0, 2]]}])
    assert str(m) == '[[[0, 0], {"c": [[2, 0], [1, 1]]}]]'
    m.clear()
    assert m.pop() is None and str(m) == "[]"
    with pytest.raises(NotImplementedError, match="^can't delete item$"):
        del m[0]


def test_list_items_must_be_lists():
    m = paths(0)
    with pytest.raises(TypeError, match="'tuple' object cannot be cast as 'list'"):
        m.append([(1, 2)])
    line = og.Polyline({})
    with pytest.raises(TypeError, match="'tuple' object cannot be cast as 'list'"):
        line.paths = [((1, 2),)]
    with pytest.raises(TypeError, match="'int' object cannot be cast as 'list'"):
        line.curve_paths = [5]
