"""Point and Envelope: dictionary input, shared models, properties and setters."""
import math

import pytest

import ostrel_geometry as og

BOX = {"xmin": 0, "ymin": 1, "xmax": 2, "ymax": 3}


class KeyFailingComparison:
    """A dictionary key that collides with "x" and fails the lookup's comparison."""

    def __hash__(self):
        return hash("x")

    def __eq__(self, other):
        raise ZeroDivisionError("key comparison")


def test_point_from_dict_defaults():
    p = og.Point({"x": 1, "y": 2})
    assert (p.x, p.y, p.z, p.m, p.id, p.spatial_reference) == (1.0, 2.0, None, None, None, None)
    assert (p.has_z, p.has_m, p.hasM, p.is_empty, p.geometry_type) == (False, False, False, False, "Point")
    assert str(p) == repr(p) == '{"x": 1, "y": 2}'


@pytest.mark.parametrize(
    "value, error, text",
    [
        ({"y": 1}, Exception, "Resolution error: 'Did not find 'x' in dict during resolution'"),
        ({"x": 1}, Exception, "Resolution error: 'Did not find 'y' in dict during resolution'"),
        ({"x": None, "y": 1}, TypeError, None),
        ({"x": 1, "y": 2, "spatialReference": None}, Exception,
         "Python cast error: ''NoneType' object cannot be cast as 'dict''"),
        ({"x": 1, "y": 2, "spatialReference": {"wkid": -1}}, OverflowError, None),
        ({"x": 1, "y": 2, "spatialReference": {"wkid": 4326.0}}, TypeError, None),
        ({"x": 1, "y": 2, "spatialReference": {"wkt": b"x"}}, TypeError, None),
        # A failing lookup reaches the caller as it was raised.
        ({KeyFailingComparison(): 1, "y": 2}, ZeroDivisionError, "key comparison"),
        ([1, 2], TypeError, "Point from_py expects a Point object or a dict"),
        (og.Envelope(BOX), TypeError, "Point from_py expects a Point object or a dict"),
    ],
)
def test_point_construction_errors(value, error, text):
    with pytest.raises(error) as e:
        og.Point(value)
    assert type(e.value) is error
    if text is not None:
        assert str(e.value) == text


def test_point_dict_reading_is_lenient_where_it_should_be():
    p = og.Point({"x": 1, "y": 2, "z": None, "hasZ": True, "spatialReference": {"wkid": True, "other": 1}})
    assert p.z is None and not p.has_z
    assert p.spatial_reference.wkid == 1
    assert og.Point({"x": 1, "y": 2, "spatialReference": {}}).spatial_reference.wkid is None


def test_points_built_from_points_share_the_model():
    class MyPoint(og.Point):
        pass

    a = MyPoint({"x": 1, "y": 2})
    assert type(a) is MyPoint
    b = og.Point(a)
    b.x = 5
    assert a.x == 5.0
    b.spatial_reference = {"wkid": 4326}
    assert a.spatial_reference.wkid == 4326


def test_point_setters():
    p = og.Point({"x": 1, "y": 2})
    p.y = None
    assert math.isnan(p.y) and not p.is_empty
    p.x = None
    assert p.is_empty
    assert str(p) == '{"x": null, "y": null}'
    p.x, p.y = 3, 4
    p.z = 0
    assert p.has_z and p.z == 0.0
    p.z = None
    assert not p.has_z and p.z is None
    p.m = float("nan")
    assert p.has_m and p.hasM and math.isnan(p.m)


@pytest.mark.parametrize("name, arg", [("x", "x_in"), ("y", "y_in"), ("z", "z"), ("m", "m")])
def test_point_setter_argument_errors(name, arg):
    p = og.Point({"x": 1, "y": 2})
    with pytest.raises(TypeError, match=f"^argument '{arg}': "):
        setattr(p, name, "text")
    with pytest.raises(AttributeError, match="^can't delete attribute$"):
        delattr(p, name)


def test_point_read_only_properties():
    p = og.Point({"x": 1, "y": 2})
    for name in ["has_z", "has_m", "hasM", "is_empty", "id", "geometry_type", "JSON"]:
        with pytest.raises(AttributeError):
            setattr(p, name, True)


@pytest.mark.parametrize("cls, value", [(og.Point, {"x": 1, "y": 2}), (og.Envelope, BOX)])
def test_spatial_reference_property(cls, value):
    g = cls(value)
    with pytest.raises(AttributeError, match="^can't delete attribute$"):
        del g.spatial_reference
    for bad in [None, og.SpatialReference({"wkid": 4326}), 4326]:
        with pytest.raises(Exception, match="^Python cast error: ") as e:
            g.spatial_reference = bad
        assert type(e.value) is Exception
    assert g.spatial_reference is None
    g.spatial_reference = {"wkid": 4326}
    sr = g.spatial_reference
    sr.wkid = 3857
    assert g.spatial_reference.wkid == 4326
    with pytest.raises(OverflowError):
        g.spatial_reference = {"wkid": -1}
    assert g.spatial_reference.wkid == 4326
    g.spatial_reference = {}
    assert str(g.spatial_reference) == "{}"


def test_point_json_and_carrier():
    p = og.Point({"x": 1, "y": 2, "z": 3, "spatialReference": {"wkid": 4326}})
    d = p.to_dict()
    assert d["x"] == 1 and d["y"] == 2
    assert type(p.__qxc_geo()).__name__ == "QXCGeo"


def test_envelope_from_dict_defaults():
    e = og.Envelope(BOX)
    assert (e.xmin, e.ymin, e.xmax, e.ymax) == (0.0, 1.0, 2.0, 3.0)
    assert (e.zmin, e.zmax, e.mmin, e.mmax, e.idmin, e.idmax) == (None,) * 6
    assert (e.has_z, e.has_m, e.is_empty, e.geometry_type) == (False, False, False, "Envelope")
    assert str(e) == repr(e) == '{"xmin": 0, "ymin": 1, "xmax": 2, "ymax": 3}'
    assert not hasattr(e, "JSON") and not hasattr(e, "id") and not hasattr(e, "hasM")


@pytest.mark.parametrize(
    "missing, named",
    [(("ymin", "xmax"), "ymin"), (("ymax",), "ymax"), (("xmin", "ymax"), "xmin")],
)
def test_envelope_required_keys_in_order(missing, named):
    value = {k: v for k, v in BOX.items() if k not in missing}
    with pytest.raises(Exception, match=f"^Resolution error: 'Did not find '{named}' in dict during resolution'$"):
        og.Envelope(value)


def test_envelope_ranges_and_ids():
    e = og.Envelope(dict(BOX, zmin=1, mmax=2, idmin=7, idmax=None, xmin=5))
    assert e.has_z and not e.has_m and e.xmin == 5.0 and e.idmin == 7 and e.idmax is None
    assert str(e) == '{"xmin": 5, "ymin": 1, "xmax": 2, "ymax": 3, "zmin": 1, "mmax": 2, "idmin": 7}'
    assert og.Envelope(dict(BOX, zmax=1)).has_z is False
    with pytest.raises(TypeError) as err:
        og.Envelope(dict(BOX, idmin=1.5))
    assert not str(err.value).startswith("argument")


def test_envelope_setters():
    e = og.Envelope(BOX)
    with pytest.raises(OverflowError, match="^out of range integral type conversion attempted$"):
        e.idmin = -1
    with pytest.raises(TypeError, match="^argument 'idmin': "):
        e.idmin = 1.5
    with pytest.raises(TypeError, match="^argument 'zmin': "):
        e.zmin = "a"
    with pytest.raises(TypeError, match="^argument 'xmax_in': "):
        e.xmax = "a"
    e.idmax = 4294967295
    assert e.idmax == 4294967295
    e.xmax = None
    assert not e.is_empty
    e.xmin = None
    assert e.is_empty
    assert str(e).startswith('{"xmin": null, "ymin": null')
    with pytest.raises(AttributeError, match="^can't delete attribute$"):
        del e.idmax


def test_envelope_shares_and_refuses_points():
    a = og.Envelope(BOX)
    b = og.Envelope(point=a)
    b.ymax = 10
    assert a.ymax == 10.0
    with pytest.raises(TypeError, match="^Envelope from_py expects an Envelope object or dict$"):
        og.Envelope(og.Point({"x": 1, "y": 2}))


def test_envelope_through_the_runtime_loses_half_ranges_and_ids():
    e = og.Envelope(dict(BOX, zmin=1, idmin=3))
    back = e.envelope  # built through the carrier and read back
    assert type(back) is og.Envelope
    assert (back.xmin, back.ymax) == (0.0, 3.0)
    assert back.has_z is False and back.idmin is None
