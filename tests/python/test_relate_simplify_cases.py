"""Relations and simplify where GEOS before 3.13 answered wrongly: lines that
double back along themselves, exactly collinear edges, and noding that left
a spike one ulp wide.  The runtime is built against GEOS 3.13 where it can
be; built against an older GEOS these cases are expected to fail."""
import ctypes
import math
import os
import sys

import pytest

import ostrel_geometry as og


def _geos_version():
    # The runtime brings its GEOS in; asking for the C API by its soname
    # then finds that same library.
    ctypes.CDLL(os.path.join(sys.prefix, "libvaskelith.so"))
    geos = ctypes.CDLL("libgeos_c.so.1")
    geos.GEOSversion.restype = ctypes.c_char_p
    return tuple(int(p) for p in geos.GEOSversion().decode().split("-")[0].split(".")[:2])


OLD_GEOS = _geos_version() < (3, 13)


def line(*paths):
    return og.Polyline({"paths": [[list(p) for p in path] for path in paths]})


def square(x0, y0, x1, y1):
    return og.Polygon({"rings": [[[x0, y0], [x0, y1], [x1, y1], [x1, y0], [x0, y0]]]})


# Operands are made in the test, so that no runtime geometry outlives it.
CASES = [
    # A line that runs back over itself contains a line along it.
    ("contains", lambda: line([(1, 0), (0, 2), (0, 0), (2, 2)]), lambda: line([(0, 0), (2, 2)]), True),
    ("contains", lambda: line([(1, 0), (1, 2), (3, 1), (0, 2)]), lambda: line([(3, 1), (0, 2)]), True),
    # (2, 3) ends the line and also lies inside its first edge: it is the
    # line's boundary, so the line's interior never meets the square's
    # boundary (the cell GEOS 3.11 gave as 0).
    ("relate", lambda: line([(0, 3), (3, 3), (2, 3)]), lambda: square(2, 2, 4, 4), "1F1F00212"),
    # A path that turns back along itself (exactly collinear), crossed by
    # another: simplify keeps each stretch once.
    ("simplify", lambda: line([(3, 3), (9, 7), (0, 1)], [(9.1, 3.741), (7.913, 7.843)]), lambda: None,
     math.hypot(9, 6) + math.hypot(9.1 - 7.913, 7.843 - 3.741)),
]


def _answer(op, a, b, expected):
    # Runs in a frame of its own, so that a failing assertion (expected with
    # an older GEOS) keeps no geometry alive in its traceback.
    a, b = a(), b()
    if op == "contains":
        return a.contains(b), b.within(a)
    if op == "relate":
        return a.relate(b, expected), b.relate(a, "".join(expected[i] for i in (0, 3, 6, 1, 4, 7, 2, 5, 8)))
    return (a.simplify().length,)


@pytest.mark.xfail(OLD_GEOS, reason="GEOS before 3.13 gets these wrong", strict=True)
@pytest.mark.parametrize("op, a, b, expected", CASES, ids=["contains-back", "contains-turn", "relate-cell", "simplify"])
def test_cases_older_geos_got_wrong(op, a, b, expected):
    got = _answer(op, a, b, expected)
    if op == "contains":
        assert got == (expected, expected)
    elif op == "relate":
        assert got == (True, True)
    else:
        assert got[0] == pytest.approx(expected, rel=1e-12)
