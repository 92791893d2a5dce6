"""SpatialReference, the unit and option enumerations, and AreaUnit."""
import pytest

import ostrel_geometry as og

SR = og.SpatialReference


def test_spatial_reference_fields_and_text():
    sr = SR({"wkid": 4326})
    assert (sr.wkid, sr.latest_wkid, sr.vcs_wkid, sr.latest_vcs_wkid, sr.wkt, sr.wkt2) == (4326,) + (None,) * 5
    assert str(sr) == repr(sr) == '{"wkid":4326}'
    full = SR(sr={"wkid": 1, "latestWkid": 2, "vcsWkid": 3, "latestVcsWkid": 4, "wkt": 'A"B', "wkt2": "C", "x": 0})
    assert str(full) == '{"wkid":1,"latestWkid":2,"vcsWkid":3,"latestVcsWkid":4,"wkt":"A\\"B","wkt2":"C"}'
    empty = SR({"other": 1, "wkid": None})
    assert str(empty) == "{}" and empty.wkid is None


@pytest.mark.parametrize("value", [4326, "4326", None, [4326]])
def test_spatial_reference_constructor_refusals(value):
    with pytest.raises(TypeError, match="^SpatialReference from_py expects a SpatialReference object or a dict$"):
        SR(value)


@pytest.mark.parametrize("value, error", [({"wkid": "4326"}, TypeError), ({"wkid": -1}, OverflowError),
                                          ({"wkid": 2**32}, OverflowError), ({"wkt": 5}, TypeError)])
def test_spatial_reference_dict_values(value, error):
    with pytest.raises(error) as e:
        SR(value)
    assert type(e.value) is error


def test_spatial_reference_copies():
    a = SR({"wkid": 4326})
    b = SR(a)
    b.wkid = 3857
    assert a.wkid == 4326


def test_spatial_reference_setters():
    sr = SR({"wkid": 4326})
    sr.wkid = None
    assert sr.wkid is None
    sr.wkt = "X"
    assert sr.wkt == "X"
    with pytest.raises(AttributeError, match="^can't delete attribute$"):
        del sr.wkid
    with pytest.raises(TypeError, match="^argument 'wkt': "):
        sr.wkt = 5
    with pytest.raises(TypeError, match="^argument 'latest_vcs_wkid': "):
        sr.latest_vcs_wkid = 1.5
    with pytest.raises(OverflowError):
        sr.wkid = -1
    assert sr.wkid is None


@pytest.mark.parametrize(
    "a, b, equal",
    [
        ({"wkid": 4326, "latestWkid": 4326}, {"wkid": 4326}, True),
        ({"wkid": 4326}, {"latestWkid": 4326}, False),
        ({"wkid": 2000, "wkt": "X"}, {"wkid": 3000, "wkt": "X"}, True),
        ({"wkid": 4326, "vcsWkid": 1}, {"wkid": 4326, "vcsWkid": 2}, True),
        ({"vcsWkid": 1}, {"vcsWkid": 1}, False),
        ({"wkt2": "Y"}, {"wkt2": "Y"}, True),
    ],
)
def test_spatial_reference_equality(a, b, equal):
    assert (SR(a) == SR(b)) is equal
    assert (SR(a) != SR(b)) is (not equal)


def test_spatial_reference_comparison_edges():
    empty = SR({})
    assert (empty == empty) is False and (empty != empty) is True
    sr = SR({"wkid": 4326})
    assert (sr == 4326) is False and (sr != 4326) is True
    with pytest.raises(TypeError):
        sr < sr
    with pytest.raises(TypeError):
        hash(sr)


def test_geom_sr_from_py_refuses_a_reference_without_id_or_wkt():
    # project() hands its spatial reference to the runtime conversion.
    point = og.Point({"x": 1, "y": 2})
    with pytest.raises(ValueError, match=r"^Failed to convert \{'wkt2': 'X'\} into a geometry engine"):
        point.project({"wkt2": "X"})
    with pytest.raises(TypeError, match="^SpatialReference from_py expects"):
        point.project(4326)


@pytest.mark.parametrize(
    "member, code, text",
    [
        (og.AreaUnitId.Acres, 109402, "AreaUnitId.Acres"),
        (og.AreaUnitId.Other, 0, "AreaUnitId.Other"),
        (og.LinearUnitId.Inches, 109008, "LinearUnitId.Inches"),
        (og.LinearUnitId.NauticalMiles, 9030, "LinearUnitId.NauticalMiles"),
        (og.LinearUnitId.Other, 0, "LinearUnitId.Other"),
        (og.GeodeticCurveType.ShapePreserving, 4, "GeodeticCurveType.ShapePreserving"),
        (og.GeodeticCurveType.Geodesic, 0, "GeodeticCurveType.Geodesic"),
    ],
)
def test_enumeration_members(member, code, text):
    assert int(member) == code
    assert repr(member) == str(member) == text


def test_enumerations_have_no_constructor_and_compare_by_identity():
    for cls in (og.AreaUnitId, og.LinearUnitId, og.GeodeticCurveType, og.GeometryExtendOptions):
        with pytest.raises(TypeError):
            cls()
    assert og.AreaUnitId.Acres is og.AreaUnitId.Acres
    unit = og.AreaUnit(og.AreaUnitId.Acres)
    again = unit.area_unit_id()
    assert again is not og.AreaUnitId.Acres and again != og.AreaUnitId.Acres
    assert int(again) == int(og.AreaUnitId.Acres)


def test_extend_options():
    E = og.GeometryExtendOptions
    assert E.__doc__ == "Flags for the type of extend operation to perform."
    assert str(E.RELOCATE_ENDS | E.NO_END_ATTRIBUTES) == "GeometryExtendOptions(5)"
    assert repr(E.DO_NOT_EXTEND_FROM_END_POINT & E.DEFAULT) == "GeometryExtendOptions(0)"
    assert str(~E.RELOCATE_ENDS) == "GeometryExtendOptions(4294967294)"
    assert str(~E.DEFAULT) == "GeometryExtendOptions(4294967295)"
    a, b = E.RELOCATE_ENDS | E.KEEP_END_ATTRIBUTES, E.RELOCATE_ENDS | E.KEEP_END_ATTRIBUTES
    assert a is not b and a != b
    for bad in (lambda: E.RELOCATE_ENDS | 1, lambda: 1 | E.RELOCATE_ENDS, lambda: int(E.RELOCATE_ENDS)):
        with pytest.raises(TypeError):
            bad()


def test_area_unit():
    hectares = og.AreaUnit(unit_id=og.AreaUnitId.Hectares)
    assert isinstance(hectares.to_square_meters(1), float)
    assert hectares.to_square_meters(1) == pytest.approx(10000.0)
    assert hectares.from_square_meters(10000) == pytest.approx(1.0)
    acres = og.AreaUnit(og.AreaUnitId.Acres)
    assert hectares.convert_to(acres, 1) == pytest.approx(2.4710538, rel=1e-6)
    assert acres.convert_from(hectares, 1) == pytest.approx(2.4710538, rel=1e-6)
    clone = hectares.try_clone()
    assert clone is not hectares and int(clone.area_unit_id()) == 109401
    with pytest.raises(TypeError, match="^argument 'unit_id': 'int' object cannot be cast as 'AreaUnitId'$"):
        og.AreaUnit(109402)
    with pytest.raises(TypeError, match="^argument 'from_unit': "):
        hectares.convert_from(og.AreaUnitId.Acres, 1)
    with pytest.raises(TypeError, match="^argument 'area': "):
        hectares.to_square_meters("1")


def test_area_unit_refused_by_the_runtime():
    with pytest.raises(RuntimeError):
        og.AreaUnit(og.AreaUnitId.Other)
