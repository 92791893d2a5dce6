"""The geometry model seen from Python: its zorvjson text, its errors and its
conversion to and from runtime geometries (through the JSON property and the
factory, which read runtime geometries back into the model)."""

import json
import math

import pytest

import ostrel_geometry as og

G = og.Geometry


@pytest.mark.parametrize(
    "geometry, text",
    [
        (og.Polyline({}), '{"paths": []}'),
        (og.Polygon({}), '{"rings": []}'),
        (
            og.Polyline({"hasZ": True, "spatialReference": {"wkid": 4326}, "paths": [[[1, 2, 3], [4, 5.5, 6]]]}),
            '{"hasZ": true, "spatialReference": {"wkid":4326}, "paths": [[[1, 2, 3], [4, 5.5, 6]]]}',
        ),
        (og.Polygon({"hasM": True}), '{"hasM": true, "rings": []}'),
        (og.Polygon({"hasZ": True, "hasM": True}), '{"hasZ": true, "hasM": true, "rings": []}'),
        (og.Polyline({"curvePaths": [[]]}), '{"curvePaths": [[]], "paths": []}'),
        (
            og.Polyline({"curvePaths": [[[0, 0], {"c": [[2, 0], [1, 1]]}, {"b": [[3, 0], [1, 1], [2, 1]]}]]}),
            '{"curvePaths": [[[0, 0], {"c": [[2, 0], [1, 1]]}, {"b": [[3, 0], [1, 1], [2, 1]]}]], "paths": []}',
        ),
        (og.Point({"x": 1, "y": 2}), '{"x": 1, "y": 2}'),
        (
            og.Point({"x": 1, "y": 2, "spatialReference": {"wkid": 4326}}),
            '{"spatialReference": {"wkid":4326}, "x": 1, "y": 2}',
        ),
        (og.Point({"x": 1, "y": math.nan}), '{"x": 1, "y": NaN}'),
        (og.MultiPoint({"hasM": True, "points": [[1, 2, 5]]}), '{"hasM": true, "points": [[1, 2, 5]]}'),
        (og.MultiPoint({"points": []}), '{"points": []}'),
        (og.Envelope({"xmin": 1, "ymin": 2, "xmax": 3, "ymax": 4}), '{"xmin": 1, "ymin": 2, "xmax": 3, "ymax": 4}'),
        (
            og.Envelope({"xmin": 1, "ymin": 2, "xmax": 3, "ymax": 4, "zmin": 5}),
            '{"xmin": 1, "ymin": 2, "xmax": 3, "ymax": 4, "zmin": 5}',
        ),
        (
            og.Point({"x": 1, "y": 2, "spatialReference": {}}),
            '{"spatialReference": {}, "x": 1, "y": 2}',
        ),
    ],
)
def test_zorvjson_text(geometry, text):
    assert str(geometry) == text
    assert repr(geometry) == text


@pytest.mark.parametrize(
    "value, text",
    [
        (-0.0, "-0"),
        (1e21, "1000000000000000000000"),
        (1e-7, "0.0000001"),
        (0.1 + 0.2, "0.30000000000000004"),
        (math.inf, "inf"),
        (-math.inf, "-inf"),
        (-2.5, "-2.5"),
        # Shortest digits padded with zeros, not the exact binary value.
        (1e23, "100000000000000000000000"),
        (-1.5e300, "-15" + "0" * 299),
    ],
)
def test_number_forms(value, text):
    assert str(og.Point({"x": 1, "y": value})) == '{"x": 1, "y": %s}' % text


def test_elliptic_arc_text():
    arcs = [
        ({"a": [[2, 0], [1, 0], 1, 0, 5, 5, 1]}, '{"a": [[2, 0], [1, 0], 1, 0]}'),
        ({"a": [[2, 0], [1, 0], 1, 0, 0.5, 1, 0.5]}, '{"a": [[2, 0], [1, 0], 1, 0, 0.5, 1, 0.5]}'),
        ({"a": [[2, 0], [1, 0], 0, 1, 0.5, 1, math.nan]}, '{"a": [[2, 0], [1, 0], 0, 1, 0.5, 1, NaN]}'),
    ]
    for item, text in arcs:
        line = og.Polyline({"curvePaths": [[[0, 0], item]]})
        assert str(line) == '{"curvePaths": [[[0, 0], %s]], "paths": []}' % text


def test_spatial_reference_text_is_compact_json():
    sr = {"wkid": 102100, "latestWkid": 3857, "vcsWkid": 5773, "wkt": 'A "quoted" \\ name\n', "wkt2": "é"}
    point = og.Point({"x": 1, "y": 2, "spatialReference": sr})
    assert str(point) == (
        '{"spatialReference": {"wkid":102100,"latestWkid":3857,"vcsWkid":5773,'
        '"wkt":"A \\"quoted\\" \\\\ name\\n","wkt2":"é"}, "x": 1, "y": 2}'
    )


@pytest.mark.parametrize(
    "make, message",
    [
        (
            lambda: og.Polygon({"rings": [[[0, 0], [1, 1]]]}),
            "Ring must have sufficient data to enclose an area: Linear ring requires len >= 3, but got: 2",
        ),
        (
            lambda: og.Polygon({"curveRings": [[[0, 0]]]}),
            "Ring must have sufficient data to enclose an area: Curved ring requires at least 2 vertices, but got: 1",
        ),
        (
            lambda: og.Polygon({"curveRings": [[[0, 0], [1, 0]]]}),
            "Ring must have sufficient data to enclose an area: Curved ring with only two vertices requires a "
            "curved segment in order to enclose an area",
        ),
        (
            # A runtime ring too small for the model fails the read-back.
            lambda: G('{"rings": [[[0, 0], [1, 1], [0, 0]]]}'),
            "Ring must have sufficient data to enclose an area: Linear ring requires len >= 3, but got: 2",
        ),
        (
            lambda: og.Point({"x": 1, "y": 2, "spatialReference": {"wkid": 999999}}).JSON,
            None,
        ),
    ],
)
def test_model_errors_are_plain_exceptions(make, message):
    with pytest.raises(Exception) as info:
        make()
    assert type(info.value) is Exception
    assert len(info.value.args) == 1
    if message is None:
        text = info.value.args[0]
        assert text.startswith("Vaskelith library error: '") and text.endswith("'")
    else:
        assert info.value.args[0] == message


def test_replacing_paths_checks_dimensions():
    line = og.Polyline({"paths": [[[0, 0], [1, 1]]]})
    other = og.Polyline({"hasZ": True, "paths": [[[0, 0, 1], [1, 1, 1]]]})
    with pytest.raises(Exception) as info:
        line.paths = other.paths
    assert info.value.args == ("Mismatching dimensions, expected 'XY' but got 'XYZ'",)
    assert str(line) == '{"paths": [[[0, 0], [1, 1]]]}'


def round_trip(geometry):
    return str(G(geometry.JSON))


@pytest.mark.parametrize(
    "geometry, text",
    [
        # Curve paths go to the runtime first; each group keeps its order.
        (
            og.Polyline({"paths": [[[0, 0], [1, 1]], [[5, 5], [6, 6]]], "curvePaths": [[[0, 0], {"c": [[2, 0], [1, 1]]}]]}),
            '{"curvePaths": [[[0, 0], {"c": [[2, 0], [1, 1]]}]], "paths": [[[0, 0], [1, 1]], [[5, 5], [6, 6]]]}',
        ),
        (
            og.Polyline({"curvePaths": [[[0, 0], {"b": [[3, 0], [1, 1], [2, 1]]}, [4, 4]]]}),
            '{"curvePaths": [[[0, 0], {"b": [[3, 0], [1, 1], [2, 1]]}, [4, 4]]], "paths": []}',
        ),
        # A ring whose closing segment is curved repeats vertex 0 with that curve.
        (
            og.Polygon({"curveRings": [[[0, 0], [2, 0], {"b": [[0, 0], [1, 1], [2, 1]]}]]}),
            '{"curveRings": [[[0, 0], [2, 0], {"b": [[0, 0], [1, 1], [2, 1]]}]], "rings": []}',
        ),
        (
            og.MultiPoint({"hasZ": True, "points": [[1, 2, 3], [4, 5, 6]]}),
            '{"hasZ": true, "points": [[1, 2, 3], [4, 5, 6]]}',
        ),
        (og.Point({"x": 1, "y": 2, "m": 3}), '{"x": 1, "y": 2, "m": 3}'),
        # Spatial references: the latest id wins, a vertical id travels with a
        # horizontal one only, wkt2 never reaches the runtime.
        (
            og.Point({"x": 1, "y": 2, "spatialReference": {"wkid": 4326, "latestWkid": 3857}}),
            '{"spatialReference": {"wkid":3857}, "x": 1, "y": 2}',
        ),
        (
            og.Point({"x": 1, "y": 2, "spatialReference": {"wkid": 4326, "vcsWkid": 5703, "wkt": "ignored"}}),
            '{"spatialReference": {"wkid":4326,"vcsWkid":5703}, "x": 1, "y": 2}',
        ),
        (og.Point({"x": 1, "y": 2, "spatialReference": {"vcsWkid": 5703}}), '{"x": 1, "y": 2}'),
        (og.Point({"x": 1, "y": 2, "spatialReference": {"wkt2": "x"}}), '{"x": 1, "y": 2}'),
    ],
)
def test_runtime_round_trip(geometry, text):
    assert round_trip(geometry) == text


def test_missing_runtime_values_read_back_as_nan():
    assert str(G('{"hasZ": true, "points": [[1, 2]]}')) == '{"hasZ": true, "points": [[1, 2, NaN]]}'
    assert str(G('{"hasM": true, "paths": [[[1, 2], [3, 4, 5]]]}')) == '{"hasM": true, "paths": [[[1, 2, NaN], [3, 4, 5]]]}'


def test_circular_arcs_read_back_through_their_midpoint():
    # An elliptic arc of ratio 1 is a circle: the runtime gives it back as a
    # circular arc whose interior point is the middle of the arc.
    line = og.Polyline({"curvePaths": [[[0, 0], {"a": [[2, 0], [1, 0], 1, 0, 0, 1, 1]}]]})
    text = str(G(line.JSON))
    assert text.startswith('{"curvePaths": [[[0, 0], {"c": [[2, 0], [')
    interior = text.split('{"c": [[2, 0], [')[1].split("]")[0].split(", ")
    assert float(interior[0]) == pytest.approx(1)
    assert float(interior[1]) == pytest.approx(-1)


def test_elliptic_arc_direction_survives_round_trip():
    for clockwise in (0, 1):
        line = og.Polyline({"curvePaths": [[[0, 0], {"a": [[2, 0], [1, 0], 1, clockwise, 0.5, 1.5, 0.5]}]]})
        text = round_trip(line)
        arc = text.split('{"a": [[2, 0], ')[1]
        # center (read from the runtime), minor, clockwise, rotation, axis, ratio
        assert arc.split("], ")[1].startswith("1, %d, 0.5, 1.5, 0.5" % clockwise)


def test_polygon_as_polyline_closes_every_ring():
    polygon = og.Polygon({"rings": [[[0, 0], [0, 1], [1, 1]], [[5, 5], [5, 6], [6, 6], [5, 5]]]})
    assert str(polygon.polyline) == '{"paths": [[[0, 0], [0, 1], [1, 1], [0, 0]], [[5, 5], [5, 6], [6, 6], [5, 5]]]}'


def test_fatal_error_during_conversion_poisons_the_geometry(python_run, tmp_path):
    # With an unloadable runtime the first conversion ends fatally while the
    # polyline's own cell is locked; from then on that cell reports the
    # poison, while the paths (not locked at the time) stay usable.
    bad = tmp_path / "bad.so"
    bad.write_bytes(b"junk")
    code = """
    import ostrel_geometry as og
    p = og.Polyline({"paths": [[[0, 0], [1, 1]]]})
    paths = p.paths
    for action in (lambda: p.JSON, lambda: p.JSON, lambda: str(p), lambda: str(paths)):
        try:
            print("ok |", action())
        except BaseException as e:
            print(type(e).__name__, "|", e)
    """
    r = python_run(code, prefix_code=f"import sys; sys.prefix = {str(tmp_path)!r}\n", env={"GEOMETRY_LIB_PATH": str(bad)})
    lines = r.stdout.splitlines()[-4:]
    assert lines[0].startswith("PanicException | Failed to load vaskelith library")
    poisoned = "Exception | Lock error: 'poisoned lock: another task failed inside'"
    assert lines[1:] == [poisoned, poisoned, "ok | [[[0, 0], [1, 1]]]"]


def _assert_same_shape(got, want, where="$"):
    """Compares two parsed zorvjson documents: same keys in the same order,
    same lengths, numbers equal to within rounding (NaN equal to NaN)."""
    if isinstance(want, dict):
        assert isinstance(got, dict) and list(got) == list(want), (where, got, want)
        for key in want:
            _assert_same_shape(got[key], want[key], f"{where}.{key}")
    elif isinstance(want, list):
        assert isinstance(got, list) and len(got) == len(want), (where, got, want)
        for i, (g, w) in enumerate(zip(got, want)):
            _assert_same_shape(g, w, f"{where}[{i}]")
    elif isinstance(want, float) and math.isnan(want):
        assert isinstance(got, float) and math.isnan(got), (where, got)
    elif isinstance(want, (int, float)) and not isinstance(want, bool):
        assert got == pytest.approx(want, rel=1e-12, abs=1e-12), (where, got, want)
    else:
        assert got == want, (where, got, want)


_H = math.sqrt(0.5)
_SR_ALL = {"wkid": 102100, "latestWkid": 3857, "vcsWkid": 5773, "latestVcsWkid": 5703, "wkt": "unused", "wkt2": "lost"}
_WKT = (
    'GEOGCS["GCS_WGS_1984",DATUM["D_WGS_1984",SPHEROID["WGS_1984",6378137.0,298.257223563]],'
    'PRIMEM["Greenwich",0.0],UNIT["Degree",0.0174532925199433]]'
)
# The quarter of the ellipse centred at the origin with semi-major axis 2 along
# x and ratio 0.5 from (2, 0) to (0, 1): the runtime derives the same centre
# from the end points and the shape.
_ELLIPSE_CCW = {"a": [[0, 1], [0, 0], 1, 0, 0, 2, 0.5]}


@pytest.mark.parametrize(
    "kind, given, expected",
    [
        # Spatial references: the latest ids are the ones that cross, and come
        # back as wkid and vcsWkid; wkt beside an id and wkt2 are dropped.
        (og.Point, {"x": 1, "y": 2, "z": 3, "m": 4, "spatialReference": _SR_ALL},
         {"spatialReference": {"wkid": 3857, "vcsWkid": 5703}, "x": 1, "y": 2, "z": 3, "m": 4}),
        (og.Point, {"x": math.nan, "y": 2, "z": 3}, {"x": None, "y": None, "z": None}),
        (og.Polyline, {"paths": [[[0, 0], [1, 1]]], "spatialReference": {"wkt": _WKT}},
         {"spatialReference": {"wkt": _WKT}, "paths": [[[0, 0], [1, 1]]]}),
        (og.Polyline, {"paths": [[[0, 0], [1, 1]]], "spatialReference": {}}, {"paths": [[[0, 0], [1, 1]]]}),
        (og.MultiPoint, {"hasZ": True, "hasM": True, "points": [[1, 2, 3, 4], [5, 6, 7, 8]],
                         "spatialReference": {"wkid": 102100, "latestWkid": 3857}},
         {"hasZ": True, "hasM": True, "spatialReference": {"wkid": 3857}, "points": [[1, 2, 3, 4], [5, 6, 7, 8]]}),
        # The runtime takes z and m from the vertices: an empty geometry comes
        # back without them.
        (og.MultiPoint, {"hasM": True, "points": []}, {"points": []}),
        (og.Polyline, {"hasZ": True, "paths": [[]]}, {"paths": [[]]}),
        # Every curve kind in a path with z, between straight segments; paths
        # of one and no vertex.  A circular arc comes back through the middle
        # of the arc, whichever point of it was given.
        (og.Polyline,
         {"hasZ": True, "paths": [[[9, 9, 9]], []], "curvePaths": [[
             [2, 0, 1], {"a": [[0, 1, 2]] + _ELLIPSE_CCW["a"][1:]}, {"c": [[-2, 1, 3], [-1, 2]]},
             {"c": [[0, 1, 4], [-1 + _H, 1 + _H]]}, {"b": [[3, 3, 5], [1, 1], [2, 2]]}, [4, 4, 6]]]},
         {"hasZ": True, "curvePaths": [[
             [2, 0, 1], {"a": [[0, 1, 2]] + _ELLIPSE_CCW["a"][1:]}, {"c": [[-2, 1, 3], [-1, 2]]},
             {"c": [[0, 1, 4], [-1, 2]]}, {"b": [[3, 3, 5], [1, 1], [2, 2]]}, [4, 4, 6]]],
          "paths": [[[9, 9, 9]], []]}),
        # Curved closing segments of each kind repeat vertex 0 with the curve; a
        # straight one stays implied, and an explicit straight closing vertex
        # is dropped (the runtime keeps rings closed by themselves).
        (og.Polygon, {"hasZ": True, "hasM": True, "curveRings": [[
            [2, 0, 1, 1], [2, 1, 2, 2], [0, 1, 3, 3], {"a": [[2, 0, 1, 1], [0, 0], 1, 1, 0, 2, 0.5]}]],
            "rings": [[[10, 10, 1, 1], [11, 10, 1, 1], [11, 11, 1, 1]]]},
         {"hasZ": True, "hasM": True, "curveRings": [[
             [2, 0, 1, 1], [2, 1, 2, 2], [0, 1, 3, 3], {"a": [[2, 0, 1, 1], [0, 0], 1, 1, 0, 2, 0.5]}]],
          "rings": [[[10, 10, 1, 1], [11, 10, 1, 1], [11, 11, 1, 1]]]}),
        (og.Polygon, {"curveRings": [[[0, 0], [2, 0], {"c": [[0, 0], [1, -1]]}]]},
         {"curveRings": [[[0, 0], [2, 0], {"c": [[0, 0], [1, -1]]}]], "rings": []}),
        (og.Polygon, {"hasM": True, "curveRings": [[[0, 0, 1], {"b": [[0, 0, 1], [1, 1], [-1, 1]]}]]},
         {"hasM": True, "curveRings": [[[0, 0, 1], {"b": [[0, 0, 1], [1, 1], [-1, 1]]}]], "rings": []}),
        (og.Polygon, {"curveRings": [[[0, 0], {"c": [[2, 0], [1, 1]]}]]},
         {"curveRings": [[[0, 0], {"c": [[2, 0], [1, 1]]}]], "rings": []}),
        (og.Polygon, {"curveRings": [[[0, 0], {"c": [[2, 0], [1, 1]]}, [2, -2]]],
                      "rings": [[[5, 5], [5, 6], [6, 6], [5, 5]]], "spatialReference": {"wkid": 3857}},
         {"spatialReference": {"wkid": 3857}, "curveRings": [[[0, 0], {"c": [[2, 0], [1, 1]]}, [2, -2]]],
          "rings": [[[5, 5], [5, 6], [6, 6]]]}),
        (og.Polygon, {"curveRings": [[[0, 0], {"c": [[2, 0], [1, 1]]}, [2, -2], [0, 0]]]},
         {"curveRings": [[[0, 0], {"c": [[2, 0], [1, 1]]}, [2, -2]]], "rings": []}),
        # Envelopes: a range crosses only whole, ids never.
        (og.Envelope, {"xmin": 1, "ymin": 2, "xmax": 3, "ymax": 4, "zmin": 5, "zmax": 6, "mmin": 7, "idmin": 1,
                       "idmax": 2, "spatialReference": {"wkid": 4326, "latestWkid": 4326, "wkt2": "x"}},
         {"spatialReference": {"wkid": 4326}, "xmin": 1, "ymin": 2, "xmax": 3, "ymax": 4, "zmin": 5, "zmax": 6}),
        (og.Envelope, {"xmin": 1, "ymin": 2, "xmax": 3, "ymax": 4, "mmin": 7, "mmax": 8},
         {"xmin": 1, "ymin": 2, "xmax": 3, "ymax": 4, "mmin": 7, "mmax": 8}),
        (og.Envelope, {"xmin": math.nan, "ymin": 2, "xmax": 3, "ymax": 4},
         {"xmin": None, "ymin": None, "xmax": None, "ymax": None}),
    ],
)
def test_model_runtime_model_round_trip(kind, given, expected):
    geometry = kind(given)
    # Straight through the conversions (an operation that changes nothing),
    # and through the runtime's own JSON text and the factory.
    results = [geometry.move_relative(0, 0)]
    results.append(geometry.envelope if kind is og.Envelope else G(geometry.JSON))
    for result in results:
        assert type(result) is kind
        _assert_same_shape(json.loads(str(result)), expected)
