"""Part: the index rule, coordinate input, live sharing and the iterator."""
import math

import pytest

import ostrel_geometry as og


def make(points, has_z=False, has_m=False):
    return og.Polyline({"hasZ": has_z, "hasM": has_m, "paths": [points]}).paths[0]


THREE = [[0, 0], [1, 1], [2, 2]]


def index_error(index, name, length):
    return f"^Index {index} out of bounds, {name} has {length} elements$"


@pytest.mark.parametrize("index, x", [(0, 0.0), (2, 2.0), (-1, 2.0), (-3, 0.0)])
def test_read_valid_indices(index, x):
    assert make(THREE)[index].x == x


@pytest.mark.parametrize(
    "op",
    [
        lambda p, i: p[i],
        lambda p, i: p.__setitem__(i, [5, 5]),
        lambda p, i: p.remove(i),
    ],
)
@pytest.mark.parametrize("index", [3, -4, 100])
def test_index_errors_carry_the_index_as_given(op, index):
    part = make(THREE)
    with pytest.raises(IndexError, match=index_error(index, "Part", 3)):
        op(part, index)
    assert str(part) == "[[0, 0], [1, 1], [2, 2]]"


@pytest.mark.parametrize(
    "index, expected",
    [
        (3, "[[0, 0], [1, 1], [2, 2], [9, 9]]"),
        (-1, "[[0, 0], [1, 1], [9, 9], [2, 2]]"),
        (-3, "[[9, 9], [0, 0], [1, 1], [2, 2]]"),
        (0, "[[9, 9], [0, 0], [1, 1], [2, 2]]"),
    ],
)
def test_insert(index, expected):
    part = make(THREE)
    part.insert(index, [9, 9])
    assert str(part) == expected


@pytest.mark.parametrize("index", [4, -4])
def test_insert_is_not_clamped(index):
    part = make(THREE)
    with pytest.raises(IndexError, match=index_error(index, "Part", 3)):
        part.insert(index, [9, 9])


def test_empty_part():
    part = make([])
    with pytest.raises(IndexError, match=index_error(0, "Part", 0)):
        part[0]
    with pytest.raises(IndexError, match=index_error(0, "Part", 0)):
        part.remove(0)
    assert part.pop() is None
    assert (len(part), bool(part), str(part)) == (0, False, "[]")
    part.insert(0, [1, 2])
    assert str(part) == "[[1, 2]]"


def test_index_conversion_errors():
    part = make(THREE)
    with pytest.raises(TypeError, match="^argument 'key': "):
        part[1.0]
    with pytest.raises(TypeError, match="^argument 'key': "):
        part[0:1]
    with pytest.raises(TypeError, match="^argument 'index': "):
        part.insert("0", [1, 1])
    with pytest.raises(OverflowError):
        part[2**64]


def test_value_is_read_before_the_index_is_checked():
    part = make(THREE)
    with pytest.raises(TypeError, match="'tuple' object cannot be cast as 'list'"):
        part[5] = (1, 2)
    for index in (0, 99, "x"):
        with pytest.raises(NotImplementedError, match="^can't delete item$"):
            del part[index]


@pytest.mark.parametrize(
    "has_z, has_m, value, stored",
    [
        (True, False, [1, 2], "[[1, 2, NaN]]"),
        (True, False, [1, 2, 3, 4], "[[1, 2, 3]]"),
        (False, True, [1, 2, 7], "[[1, 2, 7]]"),
        (False, False, [5, 6, 7], "[[5, 6]]"),
        (True, True, [1, 2, None, 4], "[[1, 2, NaN, 4]]"),
        (True, True, [1, 2, "z"], "[[1, 2, NaN, NaN]]"),
    ],
)
def test_coordinate_lists_follow_the_part_columns(has_z, has_m, value, stored):
    part = make([], has_z, has_m)
    part.append(value)
    assert str(part) == stored
    listed = make([value], has_z, has_m)
    assert str(listed) == stored


@pytest.mark.parametrize("value, error", [([1], IndexError), ([1, "y"], TypeError), ((1, 2), TypeError)])
def test_bad_coordinate_lists(value, error):
    part = make(THREE)
    with pytest.raises(error):
        part.append(value)
    with pytest.raises(error):
        part[0] = value
    assert len(part) == 3


def test_live_views_share_the_part():
    line = og.Polyline({"paths": [THREE]})
    part = line.paths[0]
    assert part[0] is not part[0]
    earlier = part[0]
    part[0].x = 9
    assert part[0].x == 9.0 and earlier.x == 0.0
    assert str(line) == '{"paths": [[[9, 0], [1, 1], [2, 2]]]}'
    part.remove(1)
    part.append([4, 4])
    assert str(line.paths[0]) == "[[9, 0], [2, 2], [4, 4]]"
    del line
    part.append([5, 5])
    assert len(part) == 4


def test_pop_and_clear():
    part = make([[0, 0, 1]], has_z=True)
    c = part.pop()
    assert (c.x, c.y, c.z) == (0.0, 0.0, 1.0)
    c.x = 3
    assert str(part) == "[]"
    part.append([1, 1])
    part.clear()
    assert str(part) == "[]"
    part.append([2, 2])
    assert str(part) == "[[2, 2, NaN]]"


def test_iterator_reads_the_live_part():
    part = make(THREE)
    it = iter(part)
    assert iter(it) is it
    assert next(it).x == 0.0
    part.append([3, 3])
    assert [c.x for c in it] == [1.0, 2.0, 3.0]
    with pytest.raises(StopIteration):
        next(it)
    part.append([4, 4])
    assert next(it).x == 4.0
    assert 1.0 in [c.x for c in part]


def test_iterator_items_write_back():
    part = make(THREE)
    for c in part:
        c.y = c.y * 10
    assert str(part) == "[[0, 0], [1, 10], [2, 20]]"


def test_nan_values_are_kept():
    part = make([[float("nan"), 1]])
    assert math.isnan(part[0].x)
    assert str(part) == "[[NaN, 1]]"


def test_method_arguments():
    part = make(THREE)
    part.insert(index=0, value=[7, 7])
    part.remove(index=0)
    with pytest.raises(TypeError):
        part.append()
    with pytest.raises(TypeError):
        part.insert(0)
    assert part.append.__text_signature__ == "($self, value)"
    assert part.insert.__text_signature__ == "($self, index, value)"
