"""ostrel_geometry.projection: the transformation catalogue and projection of collections."""
import math
import random

import pyproj
import pytest

import ostrel_geometry as og
from ostrel_geometry import projection as pj

WGS84 = {"wkid": 4326}
NAD27 = {"wkid": 4267}


@pytest.fixture(scope="module")
def nad27_transformations():
    return pj.get_transformations(WGS84, NAD27)


def test_transformations_between_datums(nad27_transformations):
    ts = nad27_transformations
    assert ts and all(isinstance(t, pj.DatumTransformation) for t in ts)
    t = ts[0]
    assert str(t) == repr(t) == t.name and "NAD27" in t.name
    assert t.object_type in ("Geographic", "HorizontalVertical")
    assert t.input_spatial_reference.wkid == 4326 and t.output_spatial_reference.wkid == 4267
    assert isinstance(t.is_missing_projection_engine_files(), bool)


def test_spatial_reference_properties_are_fresh_copies(nad27_transformations):
    t = nad27_transformations[0]
    a = t.input_spatial_reference
    a.wkid = 3857
    assert t.input_spatial_reference.wkid == 4326
    assert t.input_spatial_reference is not t.input_spatial_reference


def test_inverse_swaps_the_references(nad27_transformations):
    inv = nad27_transformations[0].get_inverse()
    assert isinstance(inv, pj.DatumTransformation)
    assert inv.input_spatial_reference.wkid == 4267 and inv.output_spatial_reference.wkid == 4326


def test_same_reference_needs_no_transformation():
    assert pj.get_transformations(WGS84, og.SpatialReference(WGS84), area_of_interest=None) == []


@pytest.mark.parametrize(
    "kwargs, exc, message",
    [
        ({"ignore_vertical": 1}, TypeError, "argument 'ignore_vertical': 'int' object cannot be cast as 'bool'"),
        ({"ignore_vertical": None}, TypeError, "argument 'ignore_vertical': 'NoneType' object cannot be cast as 'bool'"),
        ({"area_of_interest": 5}, TypeError, "Envelope from_py expects an Envelope object or dict"),
    ],
)
def test_get_transformations_argument_errors(kwargs, exc, message):
    with pytest.raises(exc) as info:
        pj.get_transformations(WGS84, NAD27, **kwargs)
    assert str(info.value) == message


def test_type_check_comes_before_spatial_references():
    # the bad flag is reported although the references are unusable too
    with pytest.raises(TypeError, match="ignore_vertical"):
        pj.get_transformations({}, {}, ignore_vertical=1)
    with pytest.raises(ValueError, match=r"^Failed to convert \{\} into a geometry engine spatial reference$"):
        pj.get_transformations({}, NAD27)


def test_area_of_interest_envelope():
    aoi = og.Envelope({"xmin": -100, "ymin": 30, "xmax": -90, "ymax": 40, "spatialReference": WGS84})
    ts = pj.get_transformations(WGS84, NAD27, area_of_interest=aoi, ignore_vertical=True)
    assert isinstance(ts, list)


def test_project_collection():
    items = [
        og.Point({"x": 0, "y": 0, "spatialReference": WGS84}),
        {"x": 10, "y": 50, "spatialReference": WGS84},
    ]
    out = pj.project_collection(iter(items), {"wkid": 3857})
    assert [type(p) for p in out] == [og.Point, og.Point]
    assert out[0].x == pytest.approx(0, abs=1e-6)
    assert out[1].x == pytest.approx(1113194.9079, abs=1e-3)
    assert out[1].y == pytest.approx(6446275.8410, abs=1e-3)
    assert out[1].spatial_reference.wkid == 3857
    assert pj.project_collection([], {"wkid": 3857}) == []


def test_project_collection_of_points_in_several_references():
    """Points from two references in turn, an empty point and a polyline
    among them: each comes out as it does projected on its own (here in the
    other order, so that no pair of references follows the same one)."""
    target = og.SpatialReference({"wkid": 3395})
    items = []
    for i in range(6):
        sr = WGS84 if i % 2 else {"wkid": 3857}
        x, y = (-100.0 + i, 40.0 + i) if i % 2 else (-1.1e7 + 1e4 * i, 4.8e6 + 1e4 * i)
        items.append(og.Point({"x": x, "y": y, "z": float(i), "spatialReference": sr}))
    items.insert(3, og.Point({"x": float("nan"), "y": float("nan"), "spatialReference": WGS84}))
    items.append(og.Polyline({"paths": [[[-100, 40], [-99, 41]]], "spatialReference": WGS84}))
    out = pj.project_collection(items, target)
    assert [str(p) for p in out] == [str(p.project(target)) for p in reversed(items)][::-1]
    assert [p.z for p in out[:3]] == [0.0, 1.0, 2.0]
    # Mercator's x is the semi-major axis times the longitude, from either source
    assert [p.x for p in out[:3]] == pytest.approx([-1.1e7, math.radians(-99) * 6378137, -1.098e7])


def test_project_collection_errors():
    with pytest.raises(ValueError):
        pj.project_collection(iter(_never_read()), {})
    with pytest.raises(TypeError, match="argument 'datum_transformation'"):
        pj.project_collection_with_transformation([], {}, "not a transformation")


def _never_read():
    raise AssertionError("the collection must not be read")
    yield


def test_project_collection_with_transformation(nad27_transformations):
    p = og.Point({"x": -100, "y": 40, "spatialReference": WGS84})
    (q,) = pj.project_collection_with_transformation([p], NAD27, nad27_transformations[0])
    assert q.spatial_reference.wkid == 4267
    # NAD27 and WGS 84 differ by tens of metres in the US
    assert 1e-5 < abs(q.x - p.x) + abs(q.y - p.y) < 1e-2


def test_projection_engine_dir_round_trip(tmp_path):
    before = pj.get_projection_engine_dir()
    try:
        pj.set_projection_engine_dir(str(tmp_path))
        assert pj.get_projection_engine_dir() == str(tmp_path)
        # the engine's own data stays reachable
        assert pj.get_transformations(WGS84, NAD27)
        assert pj.set_projection_engine_dir(None) is None
        assert pj.get_projection_engine_dir() is None
    finally:
        pj.set_projection_engine_dir(before)
    with pytest.raises(TypeError, match="argument 'value'"):
        pj.set_projection_engine_dir(5)


@pytest.mark.parametrize(
    "name_folder, let_go",
    [
        ("pj.set_projection_engine_dir(folder)", "pj.set_projection_engine_dir(None)"),
        # PROJ reads these once for its context; letting go of them is not
        # looked at again.
        ("os.environ['PROJ_DATA'] = folder", None),
        ("os.environ['PROJ_LIB'] = folder", None),
    ],
)
def test_data_named_before_the_first_projection_supplies_the_database(name_folder, let_go, tmp_path, python_run):
    # The runtime opens PROJ's database as it is loaded; a folder named after
    # the import but before anything is projected must still be where the
    # database is looked for, as it was when the first projection opened it.
    (tmp_path / "proj.db").write_bytes(b"not a database")
    proc = python_run(
        f"""
        import os
        os.environ.pop("PROJ_DATA", None)
        os.environ.pop("PROJ_LIB", None)
        import ostrel_geometry as og
        from ostrel_geometry import projection as pj
        folder = {str(tmp_path)!r}
        p = og.Point({{"x": 10, "y": 50, "spatialReference": {{"wkid": 4326}}}})
        {name_folder}
        try:
            p.project({{"wkid": 3857}})
            print("projected")
        except Exception as e:
            print("Invalid well-known id" in str(e))
        if {let_go is not None}:
            {let_go}
            print(round(p.project({{"wkid": 3857}}).x))
        """
    )
    assert proc.returncode == 0, proc.stderr
    assert proc.stdout.split() == ["True"] + ([] if let_go is None else ["1113195"]), proc.stdout


def test_datum_transformation_cannot_be_made_from_python():
    with pytest.raises(TypeError):
        pj.DatumTransformation()
    assert pj.DatumTransformation.__module__ == "ostrel_geometry.projection"


def test_spatial_references_are_resolved_alike_every_time():
    p = og.Point({"x": 10, "y": 50, "spatialReference": WGS84})
    first, second = (p.project({"wkid": 3857}) for _ in range(2))
    assert (first.x, first.y) == (second.x, second.y)
    # a refused id stays refused: failures are not remembered as references
    for _ in range(2):
        with pytest.raises(Exception, match="Vaskelith library error"):
            p.project({"wkid": 999999})


@pytest.mark.parametrize(
    "lon, lat, wkid, x, y",
    [
        (-117, 34, 3857, -13024380.42, 4028802.03),  # Web Mercator
        (9, 0, 32632, 500000.0, 0.0),  # UTM 32N: the central meridian on the equator
        (3, 0, 32631, 500000.0, 0.0),
    ],
)
def test_known_projected_coordinates_and_round_trip(lon, lat, wkid, x, y):
    p = og.Point({"x": lon, "y": lat, "spatialReference": WGS84})
    q = p.project({"wkid": wkid})
    assert (q.x, q.y) == pytest.approx((x, y), abs=0.01)
    back = q.project(WGS84)
    assert (back.x, back.y) == pytest.approx((lon, lat), abs=1e-9)


def _xy(g):
    if isinstance(g, og.Point):
        return [(g.x, g.y)]
    return [tuple(v[:2]) for part in g.to_dict()["paths"] for v in part]


def test_every_part_is_projected_as_its_own_points():
    # Parts of any length, an empty one among them, go to the projection
    # engine together; each vertex must come back where a lone point would.
    paths = [[[10 + i * 0.01, 45 - i * 0.02, i, -i] for i in range(n)] for n in (1, 0, 5, 300, 2)]
    line = og.Polyline({"hasZ": True, "hasM": True, "paths": paths, "spatialReference": WGS84})
    for target in ({"wkid": 3857}, {"wkid": 32632}, NAD27):
        got = line.project(target).to_dict()
        assert [len(p) for p in got["paths"]] == [len(p) for p in paths]
        for part, projected in zip(paths, got["paths"]):
            for (x, y, z, m), (px, py, pz, pm) in zip(part, projected):
                q = og.Point({"x": x, "y": y, "spatialReference": WGS84}).project(target)
                assert (px, py, pz, pm) == (q.x, q.y, z, m)


def test_a_vertex_outside_the_domain_fails_the_whole_projection():
    line = og.Polyline({"paths": [[[0, 0], [1, 1]], [[2, 2], [10, 95]]], "spatialReference": WGS84})
    with pytest.raises(Exception, match="The coordinates cannot be projected"):
        line.project({"wkid": 3857})


def test_kept_operations_give_what_fresh_ones_give(tmp_path, nad27_transformations):
    # Operations are kept between calls, per pair of references and per
    # transformation; changing the pair, the transformation or the engine's
    # directory must not hand out an operation kept for something else.
    p = og.Polyline({"paths": [[[-100, 40], [-99.5, 40.5]]], "spatialReference": WGS84})
    targets = [{"wkid": 3857}, {"wkid": 32614}, NAD27, {"wkid": 3857}]
    first = [_xy(p.project(t)) for t in targets]
    assert first[0] == first[3] and first[0] != first[1]
    t = nad27_transformations[0]
    inverse = t.get_inverse()
    ways = [(t, NAD27), (inverse, NAD27), (t, {"wkid": 26914}), (t, NAD27)]
    via = [_xy(pj.project_collection_with_transformation([p], target, d)[0]) for d, target in ways]
    assert via[0] == via[3] and via[0] != via[2]
    # the inverse run backward: its own operation, to rounding the same
    assert via[1] == [pytest.approx(v, abs=1e-12) for v in via[0]]
    before = pj.get_projection_engine_dir()
    try:
        pj.set_projection_engine_dir(str(tmp_path))
        assert [_xy(p.project(t)) for t in targets] == first
        # a transformation fetched anew, the old one gone
        del t, inverse
        fresh = pj.get_transformations(WGS84, NAD27)[0]
        assert _xy(pj.project_collection_with_transformation([p], NAD27, fresh)[0]) == via[0]
    finally:
        pj.set_projection_engine_dir(before)


# ---- projections that cannot be applied ----

NAD83_CSRS = {"wkid": 8237}
# One geometry of each kind in Quebec, where the grids of the transformations
# between WGS 84 and NAD83(CSRS) lie.
QUEBEC = [
    og.Point({"x": -73.0, "y": 46.0, "spatialReference": WGS84}),
    og.MultiPoint({"points": [[-73.0, 46.0], [-72.5, 46.5]], "spatialReference": WGS84}),
    og.Polyline({"paths": [[[-73.0, 46.0], [-72.5, 46.5]]], "spatialReference": WGS84}),
    og.Polygon({"rings": [[[-73.0, 46.0], [-73.0, 46.5], [-72.5, 46.5], [-73.0, 46.0]]], "spatialReference": WGS84}),
    og.Envelope({"xmin": -73.0, "ymin": 46.0, "xmax": -72.5, "ymax": 46.5, "spatialReference": WGS84}),
]


@pytest.mark.parametrize("target", [NAD83_CSRS, NAD27])
def test_a_transformation_lacking_its_grids_fails_on_every_path(target):
    lacking = [t for t in pj.get_transformations(WGS84, target) if t.is_missing_projection_engine_files()]
    assert lacking
    for t in lacking:
        for g in QUEBEC:
            with pytest.raises(Exception, match="needs grid files"):
                g.project_with_transformation(target, t)
        with pytest.raises(Exception, match="needs grid files"):
            pj.project_collection_with_transformation(QUEBEC, target, t)
        # An empty geometry has nothing to move and stays empty.
        (empty,) = pj.project_collection_with_transformation([og.Polyline({"paths": [], "spatialReference": WGS84})], target, t)
        assert empty.is_empty and empty.spatial_reference.wkid == target["wkid"]


@pytest.mark.filterwarnings("ignore:Best transformation is not available")
def test_projections_agree_with_an_independent_library():
    """Every way of projecting a point that can be applied gives what pyproj
    gives for the same operation; one that cannot, raises (above)."""
    cases = [(WGS84, NAD83_CSRS, -73.0, 46.0), (WGS84, {"wkid": 3857}, 10.0, 45.0), (WGS84, {"wkid": 32618}, -73.0, 46.0)]
    for source, target, lon, lat in cases:
        p = og.Point({"x": lon, "y": lat, "spatialReference": source})
        x, y = pyproj.Transformer.from_crs(source["wkid"], target["wkid"], always_xy=True).transform(lon, lat)
        for q in (p.project(target), pj.project_collection([p], target)[0]):
            # A few ulps of the coordinates' size: both run the same formulas.
            assert (q.x, q.y) == (pytest.approx(x, rel=1e-12, abs=1e-12), pytest.approx(y, rel=1e-12, abs=1e-12))
    # Chosen transformations that pyproj can also apply, matched by name
    # (in the authority's axis order, latitude first, where names are bare).
    group = pyproj.transformer.TransformerGroup(4326, 4267)
    theirs = {t.description: t for t in group.transformers}
    p = og.Point({"x": -98.0, "y": 38.0, "spatialReference": WGS84})
    compared = 0
    for t in pj.get_transformations(WGS84, NAD27):
        if t.is_missing_projection_engine_files() or t.name not in theirs:
            continue
        y, x = theirs[t.name].transform(38.0, -98.0)
        q = p.project_with_transformation(NAD27, t)
        # The move is tens of meters; both sides must make it alike.
        assert (q.x, q.y) != (-98.0, 38.0)
        assert (q.x, q.y) == (pytest.approx(x, abs=1e-9), pytest.approx(y, abs=1e-9))
        compared += 1
    assert compared


# Pairs whose operation is one projection step between degrees and
# radians, each way, with a point of the source's domain to scatter vertices
# around.
@pytest.mark.parametrize(
    "source, target, centre, spread",
    [
        (4326, 3857, (10.0, 45.0), 40.0),
        (3857, 4326, (1.1e6, 5.6e6), 4e6),
        (4326, 32633, (15.0, 10.0), 3.0),
        (32633, 4326, (5e5, 5e6), 3e5),
        (4326, 2154, (3.0, 46.5), 4.0),
        (2154, 4326, (7e5, 6.6e6), 4e5),
        (4326, 3413, (-45.0, 75.0), 15.0),
        (3413, 4326, (0.0, -1.5e6), 1e6),
    ],
)
def test_every_path_gives_pyprojs_coordinates_to_the_last_bit(source, target, centre, spread):
    # Both run PROJ's formulas on the same numbers, for a geometry's
    # vertices, a collection's points and a lone point: the three paths give
    # the same bits, and pyproj's within the ulp by which PROJ releases may
    # differ (pyproj's wheels carry releases other than the system's; some
    # round the transverse Mercator inverse an ulp apart).
    rng = random.Random(source * 7 + target)
    xy = [[centre[0] + rng.uniform(-spread, spread), centre[1] + rng.uniform(-spread, spread) / 2] for _ in range(400)]
    theirs = pyproj.Transformer.from_crs(source, target, always_xy=True)
    want = [theirs.transform(x, y) for x, y in xy]
    sr = {"wkid": source}
    line = og.Polyline({"paths": [xy[:150], xy[150:]], "spatialReference": sr}).project({"wkid": target})
    got = [tuple(v) for part in line.to_dict()["paths"] for v in part]
    points = pj.project_collection([og.Point({"x": x, "y": y, "spatialReference": sr}) for x, y in xy], {"wkid": target})
    lone = og.Point({"x": xy[0][0], "y": xy[0][1], "spatialReference": sr}).project({"wkid": target})
    assert [(q.x, q.y) for q in points] == got
    assert (lone.x, lone.y) == got[0]
    for mine, peer in zip(got, want):
        assert all(abs(a - b) <= math.ulp(b) for a, b in zip(mine, peer)), (mine, peer)


def _tm_wkt(central_meridian):
    return (
        'PROJCS["TM",GEOGCS["WGS 84",DATUM["WGS_1984",SPHEROID["WGS 84",6378137,298.257223563]],'
        'PRIMEM["Greenwich",0],UNIT["degree",0.0174532925199433]],PROJECTION["Transverse_Mercator"],'
        f'PARAMETER["latitude_of_origin",0],PARAMETER["central_meridian",{central_meridian}],'
        'PARAMETER["scale_factor",0.9996],PARAMETER["false_easting",500000],PARAMETER["false_northing",0],'
        'UNIT["metre",1]]'
    )


def _transverse_mercator(lon, lat, central_meridian):
    return pyproj.Transformer.from_crs(4326, pyproj.CRS(_tm_wkt(central_meridian)), always_xy=True).transform(lon, lat)


def test_references_known_by_text_alone_keep_their_own_transformations(nad27_transformations):
    # Two references with no id that differ only in their central meridian:
    # the operations kept between calls must tell them apart, both ways and
    # in either order, and so must the routes through a datum transformation.
    points = [(12.0, 50.0), (10.5, -33.25)]
    t = next(t for t in nad27_transformations if not t.is_missing_projection_engine_files())
    for order in ((9, 15), (15, 9, 15)):
        for cm in order:
            sr = {"wkt": _tm_wkt(cm)}
            for lon, lat in points:
                q = og.Point({"x": lon, "y": lat, "spatialReference": WGS84}).project(sr)
                assert (q.x, q.y) == pytest.approx(_transverse_mercator(lon, lat, cm), abs=1e-6)
                back = og.Point({"x": q.x, "y": q.y, "spatialReference": sr}).project(WGS84)
                assert (back.x, back.y) == pytest.approx((lon, lat), abs=1e-9)
                # From NAD27 through the transformation: the WGS 84 point it
                # gives, projected.
                p = og.Point({"x": lon, "y": lat, "spatialReference": NAD27})
                shifted = pj.project_collection_with_transformation([p], WGS84, t)[0]
                q = pj.project_collection_with_transformation([p], sr, t)[0]
                assert (q.x, q.y) == pytest.approx(_transverse_mercator(shifted.x, shifted.y, cm), abs=1e-6)


def test_a_run_of_points_keeps_each_points_own_z_and_m():
    # Points in one reference go to PROJ together; each result carries its
    # own point's z and m (present or not), and PROJ's x and y for it.
    values = [{}, {"z": 7.5}, {"m": -2.0}, {"z": 1.0, "m": 3.0}, {}, {"m": 0.5}]
    lonlat = [(10 + i * 0.7, 40 - i * 1.3) for i in range(len(values))]
    items = [og.Point({"x": x, "y": y, **v, "spatialReference": WGS84}) for (x, y), v in zip(lonlat, values)]
    out = pj.project_collection(items, {"wkid": 3857})
    to_merc = pyproj.Transformer.from_crs(4326, 3857, always_xy=True)
    for q, (lon, lat), v in zip(out, lonlat, values):
        assert (q.x, q.y) == pytest.approx(to_merc.transform(lon, lat), abs=1e-9)
        assert (q.z, q.m) == (v.get("z"), v.get("m"))
        assert (q.has_z, q.has_m) == ("z" in v, "m" in v)


def test_project_collection_fails_in_order_and_reads_no_further():
    """Points go to the runtime together, yet the first failing item, in the
    collection's order, is the failure, and an iterator is read no further
    than up to it."""
    good = og.Point({"x": 10, "y": 45, "spatialReference": WGS84})
    beyond = og.Point({"x": 10, "y": 95, "spatialReference": WGS84})  # no Mercator y
    unknown = og.Point({"x": 10, "y": 45, "spatialReference": {"wkid": 1}})
    cases = [
        ([good, beyond, 5], "cannot be projected"),  # 5 is no geometry, and comes later
        ([good, beyond, unknown], "cannot be projected"),
        ([good, unknown, beyond], "Invalid well-known id"),
        ((good, good, beyond), "cannot be projected"),
    ]
    for items, message in cases:
        with pytest.raises(Exception, match=message):
            pj.project_collection(items, {"wkid": 3857})
    read = []

    def items():
        for g in (good, beyond, good):
            read.append(g)
            yield g

    with pytest.raises(Exception, match="cannot be projected"):
        pj.project_collection(items(), {"wkid": 3857})
    assert len(read) == 2
