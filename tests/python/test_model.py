"""The geometry model seen from Python: its zorvjson text, its errors and its
conversion to and from runtime geometries (through the JSON property and the
factory, which read runtime geometries back into the model)."""

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
