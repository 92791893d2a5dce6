"""Argument matching at every entry point, and the ring-orientation test."""
import collections.abc
import math

import pytest

import ostrel_geometry as og
from ostrel_geometry.utils import is_clockwise

SQ = [[0, 0], [0, 1], [1, 1]]


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda: is_clockwise(), "is_clockwise() missing 1 required positional argument: 'coords'"),
        (lambda: is_clockwise(SQ, SQ), "is_clockwise() takes 1 positional arguments but 2 were given"),
        (lambda: is_clockwise(ring=SQ), "is_clockwise() got an unexpected keyword argument 'ring'"),
        (lambda: is_clockwise(SQ, coords=SQ), "is_clockwise() got multiple values for argument 'coords'"),
        (lambda: is_clockwise({}), "argument 'coords': 'dict' object cannot be cast as 'Sequence'"),
    ],
)
def test_argument_errors(call, message):
    with pytest.raises(TypeError) as info:
        call()
    assert str(info.value) == message


def test_argument_type_error_keeps_its_cause():
    with pytest.raises(TypeError) as info:
        is_clockwise(5)
    assert isinstance(info.value.__cause__, TypeError)
    assert str(info.value.__cause__) == "'int' object cannot be cast as 'Sequence'"


class MySeq(collections.abc.Sequence):
    def __init__(self, items):
        self.items = items

    def __getitem__(self, i):
        return self.items[i]

    def __len__(self):
        return len(self.items)


@pytest.mark.parametrize(
    "ring, expected",
    [
        ([[0, 0], [0, 1], [1, 1]], True),
        ([[0, 0], [1, 0], [1, 1]], False),
        ([[0, 0], [0, 1], [1, 1], [0, 0]], True),
        (((0, 0), (0, 1), (1, 1)), True),
        ([(0, 0, 5, 6), (0, 1, 7, 8), (1, 1, 9, 9)], True),
        (MySeq([MySeq([0, 0]), MySeq([0, 1]), MySeq([1, 1])]), True),
        ([[0, 0], [1, 1], [2, 2]], False),  # collinear
        ([[0, 0], [0, 1], [1, math.nan]], False),
        ([[0.0, 0], [0, 1], [1, 1], [-0.0, 0]], True),
    ],
)
def test_is_clockwise(ring, expected):
    assert is_clockwise(ring) is expected
    assert is_clockwise(coords=ring) is expected


@pytest.mark.parametrize(
    "ring, exc, message",
    [
        ([[0, 0], [1, 1], [0, 0]], RuntimeError, "ring must have at least 3 vertices"),
        ([[0, 0], [1, 1]], RuntimeError, "ring must have at least 3 vertices"),
        ([[0, 0]], RuntimeError, "ring must have at least 3 vertices"),
        ([], IndexError, None),
        ([[0, 0], {}, [1, 1]], TypeError, "'dict' object cannot be cast as 'Sequence'"),
        ([[0, 0], [1], [1, 1]], IndexError, None),
        ([[0, 0], ["a", 1], [1, 1]], TypeError, None),
        # a last vertex one ulp away closes the ring: only two remain
        ([[1.0, 0], [0, 1], [1.0000000000000002, 0]], RuntimeError, "ring must have at least 3 vertices"),
    ],
)
def test_is_clockwise_errors(ring, exc, message):
    with pytest.raises(exc) as info:
        is_clockwise(ring)
    if message:
        assert str(info.value) == message


def test_last_vertex_two_ulps_away_is_kept():
    # three vertices remain; their signed area is -4.4e-16
    assert is_clockwise([[1.0, 0], [0, 1], [1.0000000000000004, 0]]) is True
