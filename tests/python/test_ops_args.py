"""Argument matching and typing of the geometry operations and collection functions."""
import inspect

import pytest

import ostrel_geometry as og

SQUARE = {"rings": [[[0, 0], [0, 10], [10, 10], [10, 0], [0, 0]]]}
POINT = {"x": 1.0, "y": 2.0}


@pytest.fixture
def poly():
    return og.Polygon(SQUARE)


@pytest.fixture
def pt():
    return og.Point(POINT)


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda g: g.union(), "Geometry.union() missing 1 required positional argument: 'rhs'"),
        (lambda g: g.union(g, g), "Geometry.union() takes 1 positional arguments but 2 were given"),
        (lambda g: g.union(g, rhs=g), "Geometry.union() got multiple values for argument 'rhs'"),
        (lambda g: g.union(other=g), "Geometry.union() got an unexpected keyword argument 'other'"),
        (lambda g: g.relate(), "Geometry.relate() missing 2 required positional arguments: 'other' and 'relation'"),
        (lambda g: g.relate(g), "Geometry.relate() missing 1 required positional argument: 'relation'"),
        (
            lambda g: g.scale(),
            "Geometry.scale() missing 3 required positional arguments: 'scale_x', 'scale_y', and 'origin'",
        ),
        (lambda g: g.rotate(90.0), "Geometry.rotate() missing 1 required positional argument: 'origin'"),
        (
            lambda g: g.buffer(1, None, None, None, None),
            "Geometry.buffer() takes from 1 to 4 positional arguments but 5 were given",
        ),
        (
            lambda g: g.generalize(1.0, False, 3),
            "Geometry.generalize() takes from 1 to 2 positional arguments but 3 were given",
        ),
        (lambda g: g.calculate_area(1, 2, 3), "Geometry.calculate_area() takes from 0 to 2 positional arguments but 3 were given"),
        (
            lambda g: og.Geometry.buffer_collection([g], [1.0]),
            "Geometry.buffer_collection() missing 1 required positional argument: 'union_result'",
        ),
        (
            lambda g: og.within_collection(),
            "within_collection() missing 2 required positional arguments: 'container' and 'geometries'",
        ),
        (
            lambda g: og.set_z_and_m_collection(),
            "set_z_and_m_collection() missing 3 required positional arguments: 'z', 'm', and 'geometries'",
        ),
        (
            lambda g: og.densify_collection([g], 10.0),
            "densify_collection() missing 2 required positional arguments: 'unit' and 'curve_type'",
        ),
        (
            lambda g: og.rotate_collection([g], 90.0),
            "rotate_collection() missing 1 required positional argument: 'origin'",
        ),
        (
            lambda g: og.length_collection([g], [g]),
            "length_collection() takes 1 positional arguments but 2 were given",
        ),
        (
            lambda g: og.buffer_collection([g], [1], False, None, 0.0, None, 1),
            "buffer_collection() takes from 2 to 6 positional arguments but 7 were given",
        ),
        (lambda g: og.clip_collection([g], env=None), "clip_collection() got an unexpected keyword argument 'env'"),
        (
            lambda g: og.set_m_collection(1.0, m=2.0),
            "set_m_collection() got multiple values for argument 'm'",
        ),
    ],
)
def test_argument_matching(poly, call, message):
    with pytest.raises(TypeError) as info:
        call(poly)
    assert str(info.value) == message


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda g: g.union({"x": 1, "y": 2}), "argument 'rhs': 'dict' object cannot be cast as 'Geometry'"),
        (lambda g: g.clip({"xmin": 0, "ymin": 0, "xmax": 1, "ymax": 1}), "argument 'env': 'dict' object cannot be cast as 'Envelope'"),
        (lambda g: g.cut(g), "argument 'cutter': 'Polygon' object cannot be cast as 'Polyline'"),
        (lambda g: g.relate(g, 5), "argument 'relation': 'int' object cannot be cast as 'str'"),
        (lambda g: g.rotate(90.0, {"x": 0, "y": 0}), "argument 'origin': 'dict' object cannot be cast as 'Point'"),
        (lambda g: g.generalize(1.0, 1), "argument 'remove_degenerate_parts': 'int' object cannot be cast as 'bool'"),
        (lambda g: og.touches_collection({"x": 1, "y": 2}, [g]), "argument 'primary': 'dict' object cannot be cast as 'Geometry'"),
        (lambda g: og.within_collection(5, [g]), "argument 'container': 'int' object cannot be cast as 'Geometry'"),
        (lambda g: og.difference_collection_minus_geom([g], {}), "argument 'rhs': 'dict' object cannot be cast as 'Geometry'"),
        (lambda g: og.Geometry.buffer_collection(5, [1.0], 1), "argument 'union_result': 'int' object cannot be cast as 'bool'"),
        (lambda g: og.Geometry.convex_hull_collection([g], None), "argument 'merge': 'NoneType' object cannot be cast as 'bool'"),
        # operands are converted before the collection is touched
        (lambda g: og.cut_collection(5, g), "argument 'cutter': 'Polygon' object cannot be cast as 'Polyline'"),
        (lambda g: og.clip_collection(5, g), "argument 'envelope': 'Polygon' object cannot be cast as 'Envelope'"),
    ],
)
def test_argument_types(poly, call, message):
    with pytest.raises(TypeError) as info:
        call(poly)
    assert str(info.value) == message
    assert type(info.value.__cause__) is TypeError


@pytest.mark.parametrize(
    "call, name",
    [
        (lambda g: g.move_relative("a", 1.0), "delta_x"),
        (lambda g: g.set_m(None), "m"),
        (lambda g: g.buffer("x"), "distance"),
        (lambda g: og.set_m_collection([g], 1.5), "m"),
        (lambda g: og.buffer_collection([g], [1.0], max_deviation=None), "max_deviation"),
    ],
)
def test_float_arguments_name_the_parameter(poly, call, name):
    with pytest.raises(TypeError) as info:
        call(poly)
    assert str(info.value).startswith(f"argument '{name}': ")


def test_keywords_behave_like_positions(poly):
    other = og.Polygon({"rings": [[[10, 0], [10, 10], [20, 10], [20, 0], [10, 0]]]})
    assert poly.union(rhs=other).area == pytest.approx(poly.union(other).area)
    assert og.set_m_collection(m=1.5, geometries=[poly])[0].has_m
    assert poly.relate(relation="T********", other=poly) is True


def test_methods_without_arguments_refuse_one(poly):
    for name in ["boundary", "convex_hull", "simplify", "is_simple", "remove_m", "_area_planear"]:
        with pytest.raises(TypeError):
            getattr(poly, name)(1)


@pytest.mark.parametrize(
    "name", ["has_curves", "area", "length", "extent", "geoextent", "envelope", "centroid", "label_point"]
)
def test_properties_are_read_only(name):
    line = og.Polyline({"paths": [[[0, 0], [1, 1]]]})
    with pytest.raises(AttributeError):
        setattr(line, name, 1)


def test_signatures_are_published():
    assert str(inspect.signature(og.Geometry.buffer)) == (
        "(self, /, distance, unit=None, max_deviation=None, curve_type=None)"
    )
    assert og.Geometry.union.__text_signature__ == "($self, rhs)"
    assert og.Geometry.auto_complete.__text_signature__ == "(existing_boundaries, new_boundaries)"
    assert og.within_collection.__text_signature__ == "(container, geometries)"
    assert og.buffer_collection.__text_signature__ == (
        "(geometries, distances, union_result=False, distance_unit=None, max_deviation=0.0, curve_type=...)"
    )


def test_method_table_is_complete():
    methods = [
        "union", "intersect", "intersections", "difference", "symmetric_difference", "clip", "cut",
        "combine_extents", "boundary", "convex_hull", "simplify", "is_simple", "normalize_central_meridian",
        "equals", "contains", "within", "crosses", "touches", "overlaps", "intersects", "disjoint", "relate",
        "distance_to", "buffer", "_buffer", "_buffer_geodetic", "densify", "_densify", "_densify_geodetic",
        "calculate_area", "_area_planear", "_area_geodetic", "calculate_length", "move_relative", "rotate",
        "scale", "generalize", "set_m", "set_z", "set_z_and_m", "remove_m", "remove_z", "remove_z_and_m",
        "project", "project_with_transformation",
    ]
    statics = ["auto_complete", "buffer_collection", "convex_hull_collection", "union_collection",
               "combine_extents_collection"]
    props = ["has_curves", "area", "length", "extent", "geoextent", "envelope", "centroid", "label_point"]
    assert len(methods) == 45
    d = vars(og.Geometry)
    for name in methods:
        assert callable(d[name]) and not isinstance(d[name], staticmethod), name
    for name in statics:
        assert isinstance(d[name], staticmethod), name
    for name in props:
        assert inspect.isdatadescriptor(d[name]), name


def test_polygon_label_point_is_its_own_method(poly, pt):
    assert callable(poly.label_point)
    assert isinstance(pt.label_point, og.Point)
