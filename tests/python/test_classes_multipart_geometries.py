"""Polygon, Polyline and MultiPoint: dictionary input, live collections and setters."""
import math

import pytest

import ostrel_geometry as og

RING = [[0, 0], [0, 1], [1, 1], [1, 0], [0, 0]]
CURVE_RING = [[0, 0], {"c": [[2, 0], [1, 1]]}, {"c": [[0, 0], [1, -1]]}]


def test_polygon_from_empty_dict():
    p = og.Polygon({})
    assert (p.is_empty, p.has_z, p.has_m, p.spatial_reference, p.ids) == (True, False, False, None, None)
    assert str(p) == repr(p) == '{"rings": []}'


def test_polygon_from_one_ring():
    p = og.Polygon(polygon={"rings": [RING], "spatialReference": {"wkid": 4326}})
    assert (p.is_empty, p.has_z, p.geometry_type, p.is_polygon()) == (False, False, "Polygon", True)
    assert str(p) == '{"spatialReference": {"wkid":4326}, "rings": [[[0, 0], [0, 1], [1, 1], [1, 0], [0, 0]]]}'


@pytest.mark.parametrize(
    "value, error, text",
    [
        ({"rings": [[[0, 0], [1, 1]]]}, Exception,
         "Ring must have sufficient data to enclose an area: Linear ring requires len >= 3, but got: 2"),
        ({"curveRings": [[[0, 0]]]}, Exception,
         "Ring must have sufficient data to enclose an area: Curved ring requires at least 2 vertices, but got: 1"),
        ({"curveRings": [[[0, 0], [1, 1]]]}, Exception,
         "Ring must have sufficient data to enclose an area: Curved ring with only two vertices requires a curved "
         "segment in order to enclose an area"),
        ({"rings": None}, TypeError, "'NoneType' object cannot be cast as 'list'"),
        ({"rings": [(0, 0)]}, TypeError, "'tuple' object cannot be cast as 'list'"),
        ({"rings": [[[0]]]}, IndexError, None),
        ({"curveRings": [[{"c": [[1, 1], [0, 2]]}]]}, ValueError,
         "Tried to create curve part with a curve as the first segment- must have a regular coordinate as start vertex"),
        ([RING], TypeError, None),
        (og.Polyline({}), TypeError, None),
    ],
)
def test_polygon_construction_errors(value, error, text):
    with pytest.raises(error) as e:
        og.Polygon(value)
    assert type(e.value) is error
    if text is not None:
        assert str(e.value) == text


def test_polygon_views_are_live_and_shared():
    p = og.Polygon({"rings": [RING]})
    q = og.Polygon(p)
    q.rings = [RING, RING]
    assert str(p.rings) == str(q.rings)
    view = p.rings
    view[0][0].x = 9
    assert str(q).startswith('{"rings": [[[9, 0]')
    # After a replacement the old view keeps the old collection.
    p.rings = []
    view.append(RING)
    assert str(p) == '{"rings": []}'


def test_polygon_setters_check_dimensions():
    p = og.Polygon({"rings": [RING]})
    z_paths = og.Polyline({"hasZ": True, "paths": [[[0, 0, 1]]]}).paths
    with pytest.raises(Exception, match=r"^Mismatching dimensions, expected 'XY' but got 'XYZ'$"):
        p.rings = z_paths
    with pytest.raises(Exception, match=r"^Mismatching dimensions, expected 'XY' but got 'XYZ'$"):
        p.curve_rings = og.Polyline({"hasZ": True}).curve_paths
    assert len(p.rings[0]) == 5
    with pytest.raises(TypeError, match="^Multipart from_py requires a Multipart or a list$"):
        p.rings = (RING,)
    with pytest.raises(TypeError, match="^Multipart from_py requires a Multipart or a list$"):
        p.curve_rings = p.rings
    with pytest.raises(AttributeError, match="^can't delete attribute$"):
        del p.rings
    with pytest.raises(AttributeError):
        p.has_z = True
    # The setters apply no ring-size rule.
    p.rings = [[[0, 0], [1, 1]]]
    assert len(p.rings[0]) == 2


def test_polygon_shares_rings_between_polygons():
    a = og.Polygon({"rings": [RING]})
    b = og.Polygon({})
    b.rings = a.rings
    b.rings.append(RING)
    assert str(a) == str(b)


def test_polygon_curve_rings_and_runtime_members():
    p = og.Polygon({"curveRings": [CURVE_RING]})
    assert not p.is_empty
    assert type(p.curve_rings[0][1]) is og.CircularArc
    assert str(p) == '{"curveRings": [[[0, 0], {"c": [[2, 0], [1, 1]]}, {"c": [[0, 0], [1, -1]]}]], "rings": []}'
    square = og.Polygon({"rings": [RING]})
    label = square.label_point()
    assert type(label) is og.Point and 0 < label.x < 1
    assert isinstance(square.JSON, str) and square.to_dict()
    line = square.polyline
    assert type(line) is og.Polyline


def test_polyline_from_dicts():
    line = og.Polyline({})
    assert (line.is_empty, line.has_z, line.has_m, line.ids, line.geometry_type) == (True, False, False, None, "Polyline")
    assert str(line) == '{"paths": []}'
    one = og.Polyline({"paths": [[[1, 2]]]})
    assert len(one.paths[0]) == 1
    z = og.Polyline({"hasZ": True, "hasM": 1, "paths": [[[1, 2]]]})
    assert z.has_z and not z.has_m
    assert str(z) == '{"hasZ": true, "paths": [[[1, 2, NaN]]]}'
    both = og.Polyline({"paths": [[[0, 0], [1, 1]]], "curvePaths": [[[0, 0], {"b": [[3, 0], [1, 1], [2, 1]]}]]})
    assert str(both) == (
        '{"curvePaths": [[[0, 0], {"b": [[3, 0], [1, 1], [2, 1]]}]], "paths": [[[0, 0], [1, 1]]]}'
    )
    with pytest.raises(TypeError):
        og.Polyline([[0, 0]])
    with pytest.raises(ValueError, match="^Tried to create curve part with a curve as the first segment"):
        og.Polyline({"curvePaths": [[{"c": [[1, 1], [0, 2]]}]]})


def test_polyline_paths_views():
    a = og.Polyline({"paths": [[[0, 0], [1, 1]]]})
    b = og.Polyline(a)
    a.paths[0].append([2, 2])
    assert str(b) == '{"paths": [[[0, 0], [1, 1], [2, 2]]]}'
    empty = og.Polyline({})
    empty.paths.append([[0, 0]])
    assert not empty.is_empty
    c = og.Polyline({})
    c.paths = a.paths
    c.paths[0].pop()
    assert len(a.paths[0]) == 2
    with pytest.raises(Exception, match="^Mismatching dimensions, expected 'XY' but got 'XYZ'$"):
        c.paths = og.Polyline({"hasZ": True}).paths
    c.curve_paths = [[[0, 0], {"c": [[2, 0], [1, 1]]}]]
    assert type(c.curve_paths[0][1]) is og.CircularArc
    with pytest.raises(AttributeError, match="^can't delete attribute$"):
        del c.curve_paths


def test_polyline_runtime_methods():
    line = og.Polyline({"paths": [[[0, 0], [10, 0]]]})
    assert line.fraction_along(og.Point({"x": 5, "y": 0}), 0.1) == pytest.approx(0.5)
    p = line.with_point_along(2.5)
    assert type(p) is og.Point and p.x == pytest.approx(2.5)
    with pytest.raises(TypeError, match="^argument 'extend_options': "):
        line.extend(line, None)
    with pytest.raises(TypeError, match="^argument 'extender': "):
        line.extend(og.Point({"x": 1, "y": 1}))
    with pytest.raises(TypeError, match="^argument 'point': "):
        line.fraction_along({"x": 1, "y": 1}, 0.1)
    with pytest.raises(TypeError, match="^argument 'distance': "):
        line.with_point_along("far")
    far = og.Polyline({"paths": [[[100, 100], [101, 101]]]})
    assert line.extend(far, og.GeometryExtendOptions.DEFAULT) is None
    wall = og.Polyline({"paths": [[[20, -5], [20, 5]]]})
    longer = line.extend(wall)
    assert type(longer) is og.Polyline
    assert longer.paths[0][-1].x == pytest.approx(20)


def test_polyline_method_signatures_and_docs():
    P = og.Polyline
    assert P.extend.__text_signature__ == "($self, extender, extend_options=...)"
    assert P.fraction_along.__text_signature__ == "($self, point, tolerance)"
    assert P.with_point_along.__text_signature__ == "($self, distance)"
    assert P.with_point_along.__doc__ is None and P.__qxc_geo.__doc__ is None
    # the arguments listed are the polyline itself, the extender and the option flags
    arguments, returns = P.extend.__doc__.split("Arguments:")[1].split("Returns:")
    assert [line.split(":")[0].strip() for line in arguments.strip().splitlines()] == [
        "self", "extender", "extend_options"]
    assert "None" in returns
    assert "NaN" in P.fraction_along.__doc__


def test_multipoint():
    mp = og.MultiPoint({"points": [], "hasZ": True})
    assert (mp.is_empty, mp.has_z, mp.has_m, mp.geometry_type, mp.ids) == (True, True, False, "MultiPoint", None)
    assert str(mp) == repr(mp) == '{"hasZ": true, "points": []}'
    m = og.MultiPoint({"points": [[1, 2]], "hasM": True})
    assert math.isnan(m.points[0].m)
    zm = og.MultiPoint({"points": [[1, 2, 3]], "hasZ": True, "hasM": True})
    assert str(zm) == '{"hasZ": true, "hasM": true, "points": [[1, 2, 3, NaN]]}'


@pytest.mark.parametrize(
    "value, error, text",
    [
        ({"hasZ": True, "spatialReference": {}}, Exception, "Resolution error: 'Did not find points in multipoint dict'"),
        ({"points": ((1, 2),)}, TypeError, "'tuple' object cannot be cast as 'list'"),
        ({"points": None}, TypeError, "'NoneType' object cannot be cast as 'list'"),
        ([[1, 2]], TypeError, "MultiPoint from_py expects a MultiPoint or dict"),
    ],
)
def test_multipoint_construction_errors(value, error, text):
    with pytest.raises(error) as e:
        og.MultiPoint(value)
    assert type(e.value) is error and str(e.value) == text


def test_multipoint_points_setter_shares_parts():
    a = og.MultiPoint({"points": [[1, 2]]})
    b = og.MultiPoint(multipoint=a)
    b.points.append([3, 4])
    assert str(a) == '{"points": [[1, 2], [3, 4]]}'
    line = og.Polyline({"paths": [[[0, 0], [1, 1]]]})
    a.points = line.paths[0]
    line.paths[0].append([5, 5])
    assert len(a.points) == 3
    with pytest.raises(Exception, match="^Mismatching dimensions, expected 'XY' but got 'XYZ'$"):
        a.points = og.Polyline({"hasZ": True, "paths": [[[0, 0, 0]]]}).paths[0]
    with pytest.raises(TypeError, match="^Part from_py requires a Part or a list$"):
        a.points = ((1, 2),)
    a.points = [[7, 8]]
    assert str(a) == '{"points": [[7, 8]]}'
    assert a.to_dict()["points"]
