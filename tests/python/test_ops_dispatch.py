"""The choice between planar and geodetic forms, and its argument errors."""
import pytest

import ostrel_geometry as og

M = og.LinearUnitId.Meters
GEO = og.GeodeticCurveType.Geodesic


def wgs_point():
    return og.Point({"x": 10.0, "y": 50.0, "spatialReference": {"wkid": 4326}})


def wgs_line():
    return og.Polyline({"paths": [[[10.0, 50.0], [10.0, 51.0]]], "spatialReference": {"wkid": 4326}})


def wgs_square():
    ring = [[10.0, 50.0], [10.0, 50.01], [10.01, 50.01], [10.01, 50.0], [10.0, 50.0]]
    return og.Polygon({"rings": [ring], "spatialReference": {"wkid": 4326}})


class Unconvertible(og.Polygon):
    """A receiver whose conversion would fail: argument checks must come first."""


setattr(Unconvertible, "__qxc_geo", lambda self: (_ for _ in ()).throw(KeyError("converted")))


def bad():
    return Unconvertible({"rings": [[[0, 0], [0, 1], [1, 1], [0, 0]]]})


@pytest.mark.parametrize(
    "kwargs, message",
    [
        ({"unit": M}, "max_deviation must be provided for geodetic buffer"),
        ({"unit": M, "curve_type": GEO}, "max_deviation must be provided for geodetic buffer"),
        ({"max_deviation": 1.0}, "LinearUnitId must be provided for geodetic buffer"),
        ({"curve_type": GEO}, "LinearUnitId must be provided for geodetic buffer"),
        ({"unit": M, "max_deviation": 1.0}, "GeodeticCurveType must be provided for geodetic buffer"),
        ({"unit": None, "max_deviation": None, "curve_type": GEO}, "LinearUnitId must be provided for geodetic buffer"),
    ],
)
def test_buffer_rule(kwargs, message):
    with pytest.raises(ValueError) as info:
        bad().buffer(10.0, **kwargs)
    assert str(info.value) == message


@pytest.mark.parametrize(
    "kwargs, message",
    [
        ({"unit": M}, "GeodeticCurveType must be provided for geodetic densify"),
        ({"curve_type": GEO}, "LinearUnitId must be provided for geodetic densify"),
    ],
)
def test_densify_rule(kwargs, message):
    with pytest.raises(ValueError) as info:
        bad().densify(10.0, **kwargs)
    assert str(info.value) == message


@pytest.mark.parametrize(
    "args, message",
    [
        ((M, None), "GeodeticCurveType must be provided for geodetic densify"),
        ((None, GEO), "LinearUnitId must be provided for geodetic densify"),
    ],
)
def test_densify_collection_rule_runs_before_iteration(args, message):
    for collection in ([], 5, iter([wgs_line()])):
        with pytest.raises(ValueError) as info:
            og.densify_collection(collection, 10.0, *args)
        assert str(info.value) == message


@pytest.mark.parametrize(
    "call, name",
    [
        (lambda g: g.buffer(1.0, 9001, 1.0, GEO), "unit"),
        (lambda g: g.buffer(1.0, M, 1.0, 0), "curve_type"),
        (lambda g: g.densify(1.0, M, 2), "curve_type"),
        (lambda g: g._densify_geodetic(1.0, None, GEO), "unit"),
        (lambda g: g._buffer_geodetic(1.0, None, 1.0, None), "curve_type"),
        (lambda g: g._buffer_geodetic(1.0, None, None, GEO), "max_deviation"),
        (lambda g: g._area_geodetic(GEO, og.AreaUnitId.Acres), "unit"),
        (lambda g: g._area_geodetic(None, None), "curve_type"),
        (lambda g: g.calculate_length(GEO, 9001), "unit"),
        (lambda g: og.area_collection([g], GEO, og.AreaUnitId.Acres), "unit"),
        (lambda g: og.densify_collection([g], 1.0, 9001, GEO), "unit"),
        (lambda g: og.buffer_collection([g], [1.0], distance_unit=9001), "distance_unit"),
        (lambda g: og.buffer_collection([g], [1.0], curve_type=2), "curve_type"),
    ],
)
def test_enumeration_arguments_take_members_only(call, name):
    with pytest.raises(TypeError) as info:
        call(bad())
    assert str(info.value).startswith(f"argument '{name}': ")


def test_calculate_area_unit_of_another_type():
    with pytest.raises(TypeError) as info:
        bad().calculate_area(unit=5)
    assert str(info.value) == "Expected an AreaUnit or AreaUnitId argument"


def test_geodetic_forms_reach_the_runtime():
    line = wgs_line()
    planar = line.length
    geodetic = line.calculate_length(GEO)
    assert planar == pytest.approx(1.0)
    assert geodetic == pytest.approx(111_229, rel=1e-3)  # one degree of latitude near 50N
    assert line.calculate_length(GEO, og.LinearUnitId.Kilometers) == pytest.approx(geodetic / 1000, rel=1e-9)

    sq = wgs_square()
    m2 = sq.calculate_area(GEO)
    assert m2 > 0
    acres = sq.calculate_area(GEO, og.AreaUnitId.Acres)
    assert acres == pytest.approx(sq.calculate_area(GEO, og.AreaUnit(og.AreaUnitId.Acres)))
    assert acres == pytest.approx(sq._area_geodetic(GEO, og.AreaUnit(og.AreaUnitId.Acres)))

    b = wgs_point().buffer(1000.0, M, 1.0, GEO)
    assert isinstance(b, og.Polygon)
    assert b.calculate_area(GEO) == pytest.approx(3.14159e6, rel=2e-2)
    assert isinstance(wgs_point()._buffer_geodetic(1000.0, None, 1.0, GEO), og.Polygon)

    dense = line.densify(10_000.0, og.LinearUnitId.Meters, GEO)
    assert isinstance(dense, og.Polyline)
    assert len(dense.paths[0]) > 2


def test_collection_sums():
    sq = wgs_square()
    assert og.area_collection([]) == 0.0
    assert og.area_collection([], GEO) == 0.0
    assert og.length_collection([]) == 0.0
    assert og.area_collection([sq, sq]) == pytest.approx(2 * sq.area)
    unit = og.AreaUnit(og.AreaUnitId.Acres)
    assert og.area_collection([sq, sq], GEO, unit) == pytest.approx(2 * sq.calculate_area(GEO, og.AreaUnitId.Acres))
    assert og.length_collection([wgs_line(), wgs_line()]) == pytest.approx(2.0)
    with pytest.raises(TypeError):
        og.area_collection(5)
    for curve in (None, GEO):
        with pytest.raises(TypeError):
            og.area_collection([sq, 5], curve)


def test_refused_units():
    other = og.LinearUnitId.Other
    for call in (
        lambda: og.buffer_collection(5, [1.0], distance_unit=other),  # before the iterator is asked for
        lambda: og.densify_collection(5, 1.0, other, GEO),
        lambda: bad().buffer(1.0, other, 1.0, GEO),  # before the receiver is converted
        lambda: bad().densify(1.0, other, GEO),
        lambda: wgs_line().calculate_length(GEO, other),
    ):
        with pytest.raises(ValueError) as info:
            call()
        assert str(info.value).startswith("Invalid LinearUnitId: Error { code: ")
    with pytest.raises(RuntimeError) as info:
        bad().calculate_area(GEO, og.AreaUnitId.Other)
    assert str(info.value).startswith("Error { code: ")


def test_project_checks_the_spatial_reference_before_the_receiver():
    with pytest.raises(ValueError):
        bad().project({})
    with pytest.raises(KeyError):
        bad().project({"wkid": 3857})


def unusable_point():
    """A Point whose model cannot become a runtime point (the runtime refuses its wkid)."""
    return og.Point({"x": 0.0, "y": 0.0, "spatialReference": {"wkid": 1}})


def unusable_envelope():
    return og.Envelope({"xmin": 0, "ymin": 0, "xmax": 1, "ymax": 1, "spatialReference": {"wkid": 1}})


def good():
    return og.Polyline({"paths": [[[0.0, 0.0], [1.0, 0.0]]]})


@pytest.mark.parametrize(
    "call, raised",
    [
        # the receiver is converted before a typed operand ...
        (lambda: bad().rotate(90.0, unusable_point()), KeyError),
        (lambda: bad().scale(2.0, 2.0, unusable_point()), KeyError),
        (lambda: bad().clip(unusable_envelope()), KeyError),
        # ... and before calculate_length's unit, unlike the other geodetic forms
        (lambda: bad().calculate_length(GEO, og.LinearUnitId.Other), KeyError),
        # a typed operand that cannot be converted is a plain Exception
        (lambda: good().rotate(90.0, unusable_point()), Exception),
        (lambda: good().clip(unusable_envelope()), Exception),
        # collection functions convert their operands before the collection is touched
        (lambda: og.rotate_collection(5, 90.0, unusable_point()), Exception),
        (lambda: og.scale_collection(iter([bad()]), 1.0, 1.0, unusable_point()), Exception),
        (lambda: og.clip_collection(5, unusable_envelope()), Exception),
        (lambda: og.intersection_collection(bad(), 5), KeyError),
        (lambda: og.difference_collection_minus_geom(5, bad()), KeyError),
        (lambda: og.difference_geom_minus_collection(bad(), 5), KeyError),
        (lambda: og.densify_collection(5, 1.0, og.LinearUnitId.Other, GEO), ValueError),
    ],
)
def test_conversion_order(call, raised):
    with pytest.raises(BaseException) as info:
        call()
    assert type(info.value) is raised
    if raised is Exception:
        assert str(info.value).startswith("Vaskelith library error: '")
