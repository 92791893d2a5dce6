"""Geometry base class, the factory constructor, the runtime bridge and QXCGeo."""
import re

import pytest

import ostrel_geometry as og

SQUARE = {"rings": [[[0, 0], [0, 1], [1, 1], [1, 0], [0, 0]]]}
LINE = {"paths": [[[0, 0], [1, 1]]]}


@pytest.mark.parametrize(
    "value, cls",
    [
        ({"x": 1, "y": 2}, og.Point),
        ({"rings": [], "x": 1}, og.Polygon),
        ({"curveRings": []}, og.Polygon),
        ({"paths": []}, og.Polyline),
        ({"curvePaths": []}, og.Polyline),
        ({"points": []}, og.MultiPoint),
        ({"xmin": 0, "ymin": 0, "xmax": 1, "ymax": 1}, og.Envelope),
        ({"wkid": 4326}, og.SpatialReference),
        ({"wkt": "GEOGCS[]"}, og.SpatialReference),
        ({"latestWkid": 4326}, og.SpatialReference),
    ],
)
def test_factory_dispatches_on_the_first_key(value, cls):
    obj = og.Geometry(value)
    assert type(obj) is cls


@pytest.mark.parametrize("value", [{}, {"hasZ": True}, {"wkt2": "X"}, {"vcsWkid": 5703}])
def test_factory_refuses_dicts_without_a_dispatch_key(value):
    with pytest.raises(ValueError) as e:
        og.Geometry(value)
    assert str(e.value) == "Dict missing keys to represent an Ostrel geometry: " + repr(value)


@pytest.mark.parametrize("value", [None, [1, 2], b"\xff\xfe", bytearray(b"{}"), 5])
def test_factory_refuses_other_values(value):
    with pytest.raises(TypeError) as e:
        og.Geometry(value)
    assert str(e.value) == (
        f"Could not convert object {value!r} into Ostrel geometry.  "
        "Geometry factory expects a dict or ZorvJSON string"
    )


def test_factory_does_not_copy_geometry_objects():
    with pytest.raises(TypeError, match="Could not convert object"):
        og.Geometry(og.Polygon(SQUARE))


@pytest.mark.parametrize("args, kwargs", [((), {}), ((1, 2), {}), ((), {"value": {"x": 1, "y": 2}})])
def test_factory_argument_count(args, kwargs):
    with pytest.raises(TypeError, match="^Geometry expects 1 argument$"):
        og.Geometry(*args, **kwargs)


def test_factory_ignores_keywords_beside_one_positional():
    assert type(og.Geometry({"x": 1, "y": 2}, extra=1)) is og.Point


def test_factory_turns_a_fatal_error_into_runtime_error(python_run, tmp_path):
    # No library under sys.prefix and none at GEOMETRY_LIB_PATH: parsing text
    # needs the runtime, and its failed load is a fatal error.
    code = """
    import ostrel_geometry as og
    try:
        og.Geometry('{"x": 1, "y": 2}')
    except BaseException as e:
        print(type(e).__name__, "|", e)
    """
    prefix = f"import sys; sys.prefix = {str(tmp_path)!r}\n"
    r = python_run(code, prefix_code=prefix, env={"GEOMETRY_LIB_PATH": str(tmp_path / "missing.so")})
    assert r.stdout.splitlines()[-1] == (
        "RuntimeError | In ostrel_geometry.Geometry factory new (geom_factory_new): caught panic"
    )
    assert "ostrel_geometry panicked: Failed to load vaskelith library at" in r.stderr


def test_factory_errors_of_the_readers_pass_unchanged():
    with pytest.raises(Exception, match=r"^Resolution error: 'Did not find 'y' in dict during resolution'$"):
        og.Geometry({"x": 1})


def test_python_subclass_without_constructor_gets_the_factory():
    class Shape(og.Geometry):
        pass

    obj = Shape(SQUARE)
    assert type(obj) is og.Polygon
    assert type(og.Geometry.__new__(og.Geometry, {"x": 1, "y": 2})) is og.Point


def test_runtime_json_round_trips_through_the_factory():
    poly = og.Polygon(SQUARE)
    for text in (poly.JSON, poly.JSON.encode()):
        back = og.Geometry(text)
        assert type(back) is og.Polygon
        assert back.JSON == poly.JSON


def test_runtime_json_parse_error():
    with pytest.raises(Exception) as e:
        og.Geometry("not json")
    assert type(e.value) is Exception
    assert re.match(r"^Vaskelith library error: '.+'$", str(e.value))


def test_base_qxc_geo_always_raises():
    with pytest.raises(Exception, match="^Uninitialized ostrel_geometry.Geometry cannot be used"):
        og.Geometry.__qxc_geo(og.Polyline(LINE))


def test_to_dict():
    d = og.Polyline(LINE).to_dict()
    assert isinstance(d, dict) and "paths" in d
    with pytest.raises(AttributeError):
        og.Envelope({"xmin": 0, "ymin": 0, "xmax": 1, "ymax": 1}).to_dict()


def test_to_dict_checks_the_json_text_and_result():
    class NotText(og.Polyline):
        JSON = 5

    class NotObject(og.Polyline):
        JSON = "[1, 2]"

    with pytest.raises(TypeError, match="'int' object cannot be cast as 'str'"):
        NotText(LINE).to_dict()
    with pytest.raises(TypeError, match="'list' object cannot be cast as 'dict'"):
        NotObject(LINE).to_dict()


def test_has_z_setters_of_the_base_class():
    line = og.Polyline(LINE)
    with pytest.raises(AttributeError):
        line.has_z = True
    with pytest.raises(Exception, match="^Cannot change has_z as this would cause metadata"):
        og.Geometry.has_z.__set__(line, True)
    with pytest.raises(Exception, match="^Cannot change has_m as this would cause metadata"):
        og.Geometry.has_m.__set__(line, False)
    with pytest.raises(TypeError, match="^argument '_value': "):
        og.Geometry.has_z.__set__(line, 1)
    with pytest.raises(AttributeError, match="^can't delete attribute$"):
        og.Geometry.has_z.__delete__(line)


# The collection functions hand every item to the bridge.
def bridge(value):
    return og.is_simple_collection([value])[0]


def test_bridge_accepts_dicts_and_refuses_spatial_reference_dicts():
    assert bridge(SQUARE) is True
    assert bridge(og.Polygon(SQUARE).JSON) is True
    with pytest.raises(AttributeError):
        bridge({"wkid": 4326})
    with pytest.raises(ValueError, match="Dict missing keys"):
        bridge({})
    with pytest.raises(TypeError, match="Could not convert object"):
        bridge(None)


def test_bridge_checks_the_carrier_type():
    # Built with type() so that the name is not mangled inside a class body.
    liar = type("Liar", (og.Polyline,), {"__qxc_geo": lambda self: 42})
    with pytest.raises(TypeError, match="'int' object cannot be cast as 'QXCGeo'"):
        bridge(liar(LINE))


def test_a_patched_class_is_asked_through_its_own_method(monkeypatch):
    calls = []
    own = og.Polyline.__qxc_geo

    def spy(self):
        calls.append(self)
        return own(self)

    line = og.Polyline(LINE)
    assert bridge(line) is True and calls == []
    monkeypatch.setattr(og.Polyline, "__qxc_geo", spy)
    assert bridge(line) is True and calls == [line]


def test_carrier_is_single_use():
    poly = og.Polygon(SQUARE)
    carrier = poly.__qxc_geo()

    reuser = type("Reuser", (og.Polygon,), {"__qxc_geo": lambda self: carrier})
    obj = reuser(SQUARE)
    assert bridge(obj) is True
    with pytest.raises(BaseException) as e:
        bridge(obj)
    assert type(e.value).__name__ == "PanicException"


def test_carriers_are_fresh_and_release_their_geometry():
    poly = og.Polygon(SQUARE)
    a, b = poly.__qxc_geo(), poly.__qxc_geo()
    assert a is not b
    assert type(a).__name__ == "QXCGeo" and not hasattr(og, "QXCGeo")
    with pytest.raises(TypeError):
        type(a)()
    with pytest.raises(TypeError):
        type("Sub", (type(a),), {})
    del a, b  # the fixture checks that their runtime geometries are gone


def test_class_setup():
    subclassable = {"Geometry", "Point", "MultiPoint", "Polyline", "Polygon", "Envelope", "Segment", "CurveSegment"}
    classes = [n for n in og.__all__ if isinstance(getattr(og, n), type)]
    assert len(classes) == 23
    for name in classes:
        cls = getattr(og, name)
        assert cls.__module__ == "ostrel_geometry"
        if name in subclassable:
            type("Sub", (cls,), {})
        else:
            with pytest.raises(TypeError):
                type("Sub", (cls,), {})
    for name in ["Part", "CurvePart", "Multipart", "CurveMultipart", "Coord", "Segment", "Linear", "AreaUnitId"]:
        with pytest.raises(TypeError):
            getattr(og, name)()


@pytest.mark.parametrize(
    "cls, value",
    [
        (og.Point, {"x": 1, "y": 2}),
        (og.MultiPoint, {"points": [[1, 2]]}),
        (og.Polyline, LINE),
        (og.Polygon, SQUARE),
        (og.Envelope, {"xmin": 0, "ymin": 0, "xmax": 1, "ymax": 1}),
    ],
)
def test_runtime_refusals_are_plain_exceptions(cls, value):
    g = cls(dict(value, spatialReference={"wkid": 1}))
    str(g)  # the text form needs no runtime
    calls = [g.__qxc_geo] + ([] if cls is og.Envelope else [lambda: g.JSON])
    for call in calls:
        with pytest.raises(Exception) as e:
            call()
        assert type(e.value) is Exception
        assert str(e.value).startswith("Vaskelith library error: '")
