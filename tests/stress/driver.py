"""Random hostile calls against every public entry point of ostrel_geometry.

Not part of the normal suite.  A supervisor starts worker processes; each
worker runs short episodes, every one from a fresh pool of geometries and a
seeded generator, and calls methods, properties, module functions and the
submodules with hostile arguments: extreme, denormal and non-finite
coordinates, empty and large geometries, every curve kind, objects whose
__float__, __index__ or __iter__ change the geometry being read, and live
containers changed while they are iterated.

The supervisor watches each worker through a small shared counter file.  A
worker that dies by a signal is a crash, one whose current call runs past
the ceiling is a hang, and a PanicException is a panic; each is written with
its (seed, episode, call) so that `driver.py replay SEED EPISODE CALL`
repeats it alone; so is a mismatch, a result that answers otherwise than a
second geometry built on its model.  The summary line reads
"calls N crashes N hangs N panics N mismatches N".
"""

import argparse
import math
import mmap
import os
import random
import signal
import struct
import subprocess
import sys
import tempfile
import time
import traceback

CALLS_PER_EPISODE = 200
# Calls of the second stream (below) for each call of the first.
EXTRA_SHARE = 0.25
# Counter file layout: episode, call index in it, total calls, heartbeat.
LAYOUT = struct.Struct("<qqqd")

# ---------------------------------------------------------------------------
# hostile values

SPECIAL = [
    0.0, -0.0, 1.0, -1.0, 0.5, 90.0, -90.0, 180.0, -180.0, 360.0, 1e-300, -1e-300, 5e-324, -5e-324,
    2.2250738585072014e-308, 1e-170, 1e-150, 1e9, 1e15, 1e16, -1e16, 9007199254740992.0, 1e100, 1e140,
    1e150, 1.0000000000000002e150, 1e154, 1e155, 1e200, 1e300, 1e308, -1e308, 1.7976931348623157e308,
    -1.7976931348623157e308, math.inf, -math.inf, math.nan,
]


def number(r):
    k = r.random()
    if k < 0.35:
        return r.choice(SPECIAL)
    if k < 0.7:
        return r.uniform(-200, 200)
    if k < 0.85:
        return r.uniform(-1, 1) * 10.0 ** r.randint(-320, 308)
    return float(r.randint(-10, 10))


def small_number(r):
    return r.choice([0.0, 1.0, 0.1, 10.0, 1000.0, -1.0, 1e-9, 1e6, 1e-300]) if r.random() < 0.7 else number(r)


# Scales at which a whole part is drawn: its products and areas underflow or
# overflow together.
SCALES = [1e-320, 1e-310, 1e-200, 1e-170, 1e-160, 1e-100, 1e100, 1e150, 1e154, 1e160, 1e200, 1e300, 1e308]


class Base(list):
    """The centre a part is drawn around, and the spread of its vertices."""

    def __init__(self, xy_, spread=None):
        super().__init__(xy_)
        self.spread = spread


def xy(r, base=None):
    if base is not None and r.random() < 0.6:
        s = getattr(base, "spread", None) or 10.0 ** r.randint(-3, 3)
        return [base[0] + r.uniform(-s, s), base[1] + r.uniform(-s, s)]
    return [number(r), number(r)]


def base_point(r):
    k = r.random()
    if k < 0.2:
        return Base([0.0, 0.0], r.choice(SCALES))
    if k < 0.6:
        return Base(xy(r))
    return Base([r.uniform(-100, 100), r.uniform(-60, 60)])


def coord(r, has_z, has_m, base=None):
    c = xy(r, base)
    if has_z:
        c.append(number(r))
    if has_m:
        c.append(number(r))
    return c


def curve_item(r, has_z, has_m, base):
    end = coord(r, has_z, has_m, base)
    k = r.randrange(4)
    if k == 0:
        return {"c": [end, xy(r, base)]}
    if k == 1:
        return {"a": [end, xy(r, base), r.randint(0, 1), r.randint(0, 1)]}
    if k == 2:
        return {"a": [end, xy(r, base), r.randint(0, 1), r.randint(0, 1), number(r), number(r), r.uniform(-0.5, 1.5)]}
    return {"b": [end, xy(r, base), xy(r, base)]}


def orderly_path(r, has_z, has_m, size, closed):
    """A large part that is not a tangle: a star-shaped ring or a meander
    that turns slowly (a tangle of n random vertices has about n^2
    crossings, which any overlay must produce, and so do the offset curves
    of a dense zigzag buffered far wider than itself, however long that
    takes)."""
    # Drawn at one scale about a centre of like size: far from its centre a
    # part rounds into collinear runs whose crossings grow with the square
    # of its size, whatever the engine.
    if r.random() < 0.3:
        base = Base([0.0, 0.0])
        spread = r.choice(SCALES)
    else:
        base = Base([r.uniform(-100, 100), r.uniform(-60, 60)])
        spread = 10.0 ** r.randint(-3, 3)
    out = []
    if closed or r.random() < 0.5:
        for k in range(size):
            a = 2 * math.pi * k / size
            rad = spread * r.uniform(0.9, 1.0)
            out.append([base[0] + rad * math.cos(a), base[1] + rad * math.sin(a)])
    else:
        x, y = base
        heading = r.uniform(0, 2 * math.pi)
        for _ in range(size):
            heading += r.uniform(-0.05, 0.05)
            x += spread / 100 * math.cos(heading)
            y += spread / 100 * math.sin(heading)
            out.append([x, y])
    for c in out:
        if has_z:
            c.append(number(r))
        if has_m:
            c.append(number(r))
    return out


def path(r, has_z, has_m, curves, size, closed=False):
    if size > 100:
        return orderly_path(r, has_z, has_m, size, closed)
    base = base_point(r)
    out = [coord(r, has_z, has_m, base)]
    for _ in range(size):
        if curves and r.random() < 0.4:
            out.append(curve_item(r, has_z, has_m, base))
        else:
            out.append(coord(r, has_z, has_m, base))
    if r.random() < 0.5 and isinstance(out[0], list):
        out.append(list(out[0]))
    return out


def size(r):
    k = r.random()
    if k < 0.05:
        return 0
    if k < 0.85:
        return r.randint(1, 8)
    if k < 0.98:
        return r.randint(9, 200)
    return r.randint(1000, 5000)


SR = [None, {"wkid": 4326}, {"wkid": 3857}, {"wkid": 102100}, {"wkid": 32633}, {"wkid": 4269}, {"wkid": 104971},
      {"wkid": 104905}, {"wkid": 2154}, {"wkid": 0}, {"wkid": 5555555}, {"wkid": 4326, "vcsWkid": 5773},
      {"wkt": 'GEOGCS["x",DATUM["y",SPHEROID["z",1,0]],PRIMEM["G",0],UNIT["d",0.0174532925199433]]'},
      {"wkt": "nonsense"}]


def geometry_dict(r, kind=None):
    kind = kind or r.choice(["point", "multipoint", "polyline", "polygon", "envelope"])
    has_z, has_m = r.random() < 0.3, r.random() < 0.2
    d = {}
    if has_z:
        d["hasZ"] = True
    if has_m:
        d["hasM"] = True
    sr = r.choice(SR)
    if sr is not None:
        d["spatialReference"] = sr
    if kind == "point":
        if r.random() < 0.9:
            d.update({"x": number(r), "y": number(r)})
        if has_z:
            d["z"] = number(r)
        if has_m:
            d["m"] = number(r)
    elif kind == "multipoint":
        base = base_point(r)
        d["points"] = [coord(r, has_z, has_m, base) for _ in range(size(r))]
    elif kind == "envelope":
        if r.random() < 0.9:
            d.update({"xmin": number(r), "ymin": number(r), "xmax": number(r), "ymax": number(r)})
    else:
        curves = r.random() < 0.4
        key = ("curvePaths" if curves else "paths") if kind == "polyline" else ("curveRings" if curves else "rings")
        parts = r.choice([0, 1, 1, 1, 2, 3, 40])
        d[key] = [path(r, has_z, has_m, curves, size(r) if parts < 40 else r.randint(0, 8), kind == "polygon")
                  for _ in range(parts)]
    return d


def geometry(r, og, kind=None):
    d = geometry_dict(r, kind)
    cls = {"point": og.Point, "multipoint": og.MultiPoint, "polyline": og.Polyline, "polygon": og.Polygon,
           "envelope": og.Envelope}
    if kind is None:
        return og.Geometry(d)
    return cls[kind](d)


# ---------------------------------------------------------------------------
# re-entrant argument objects


class ChangingNumber:
    """A number or an index whose conversion first calls `change`."""

    def __float__(self):
        self.change()
        return float(self.value)

    def __index__(self):
        self.change()
        return int(self.value) if math.isfinite(self.value) else 0

    def __int__(self):
        return self.__index__()


class Mutator(ChangingNumber):
    """A number or an index whose conversion changes a geometry of the pool."""

    def __init__(self, r, pool, og, value):
        self.r, self.pool, self.og, self.value = r, pool, og, value

    def change(self):
        mutate_something(self.r, self.pool, self.og)


class MutatingIterable:
    """An iterable that changes the pool while it is walked."""

    def __init__(self, r, pool, og, items):
        self.r, self.pool, self.og, self.items = r, pool, og, items

    def __repr__(self):
        return f"MutatingIterable({self.items!r})"

    def __iter__(self):
        for item in self.items:
            if self.r.random() < 0.3:
                mutate_something(self.r, self.pool, self.og)
            yield item


def mutate_something(r, pool, og):
    if not pool:
        return
    g = r.choice(pool)
    try:
        k = r.randrange(8)
        if k == 0 and hasattr(g, "paths"):
            g.paths = [path(r, False, False, False, r.randint(0, 5))]
        elif k == 1 and hasattr(g, "rings"):
            rings = g.rings
            if len(rings):
                rings[0].append(xy(r))
            else:
                rings.append([[0, 0], [1, 0], [1, 1]])
        elif k == 2 and hasattr(g, "points"):
            pts = g.points
            if len(pts):
                pts.pop()
            else:
                pts.append(xy(r))
        elif k == 3 and hasattr(g, "x"):
            g.x = number(r)
        elif k == 4:
            g.spatial_reference = r.choice(SR)
        elif k == 5 and hasattr(g, "curve_rings"):
            g.curve_rings = [path(r, g.has_z, g.has_m, True, 3)]
        elif k == 6 and hasattr(g, "xmin"):
            g.xmin = number(r)
        else:
            g.has_z = not g.has_z
    except Exception:
        pass


# ---------------------------------------------------------------------------
# arguments by parameter name

RELATIONS = ["T********", "FF*FF****", "****T****", "", "x", "TTTTTTTTT", "T*F**F***", "\u00e9" * 9, "*" * 9,
             "012FT*012", "T" * 100]


def enum_value(r, og, enum):
    names = [n for n in dir(enum) if not n.startswith("_")]
    return getattr(enum, r.choice(names))


def scalar(r, pool, og):
    v = small_number(r)
    k = r.random()
    if k < 0.05:
        return Mutator(r, pool, og, v)
    if k < 0.08:
        return r.choice([None, "1", [], 2 ** 70, -(2 ** 70), True])
    return v


def some_geometry(r, pool, og):
    if pool and r.random() < 0.7:
        return r.choice(pool)
    return geometry(r, og)


def collection(r, pool, og, kinds=None):
    items = [some_geometry(r, pool, og) if kinds is None else geometry(r, og, r.choice(kinds))
             for _ in range(r.choice([0, 1, 2, 3, 5, 20]))]
    if r.random() < 0.2:
        items.append(geometry_dict(r))
    k = r.random()
    if k < 0.15:
        return MutatingIterable(r, pool, og, items)
    if k < 0.25:
        return tuple(items)
    if k < 0.3:
        return (g for g in items)
    return items


def spatial_reference(r, og):
    sr = r.choice(SR)
    if sr is None:
        return None if r.random() < 0.3 else {"wkid": 4326}
    return og.SpatialReference(sr) if r.random() < 0.5 else sr


def transformation(r, og):
    try:
        ts = og.projection.get_transformations({"wkid": 4326}, r.choice([{"wkid": 4269}, {"wkid": 4267}, {"wkid": 4230}]))
        return r.choice(ts) if ts else None
    except Exception:
        return None


def argument(r, pool, og, name):
    if r.random() < 0.02:
        return r.choice([None, 1, "x", {}, [], object(), 1.5])
    if name in ("rhs", "other", "primary", "container", "polygon", "geometry"):
        return some_geometry(r, pool, og)
    if name in ("env", "envelope", "area_of_interest"):
        return geometry(r, og, "envelope")
    if name in ("cutter", "extender"):
        return geometry(r, og, "polyline")
    if name == "point":
        return geometry(r, og, "point")
    if name == "origin":
        return None if r.random() < 0.3 else geometry(r, og, "point")
    if name in ("geometries", "collection", "existing_boundaries", "new_boundaries"):
        return collection(r, pool, og)
    if name == "distances":
        return [small_number(r) for _ in range(r.choice([0, 1, 2, 5]))]
    if name in ("unit", "distance_unit"):
        return r.choice([None, enum_value(r, og, og.LinearUnitId), enum_value(r, og, og.AreaUnitId)])
    if name == "curve_type":
        return None if r.random() < 0.1 else enum_value(r, og, og.GeodeticCurveType)
    if name == "extend_options":
        return enum_value(r, og, og.GeometryExtendOptions)
    if name == "relation":
        return r.choice(RELATIONS)
    if name in ("spatial_reference", "input_spatial_reference", "output_spatial_reference"):
        return spatial_reference(r, og)
    if name in ("transformation", "datum_transformation"):
        return transformation(r, og)
    if name in ("remove_degenerate_parts", "union_result", "merge", "ignore_vertical"):
        return r.random() < 0.5
    if name in ("from_unit", "to_unit", "unit_id"):
        return enum_value(r, og, og.AreaUnitId)
    if name == "index":
        return r.choice([0, 1, -1, 5, 2 ** 63, Mutator(r, pool, og, 0)])
    if name == "value":
        return r.choice([xy(r), [number(r), number(r), number(r)], curve_item(r, False, False, None),
                         path(r, False, False, True, 3), [], {}])
    return scalar(r, pool, og)


def signature_names(fn):
    sig = getattr(fn, "__text_signature__", None)
    if not sig:
        return None
    inner = sig.strip()[1:-1]
    names = []
    for p in inner.split(","):
        p = p.strip()
        if not p or p.startswith("$") or p in ("/", "*"):
            continue
        names.append(p.split("=")[0].strip())
    return names


VERBOSE = False


def source(a):
    """Python text that rebuilds `a` (geometries through their zorvjson)."""
    import json

    import ostrel_geometry as og

    if isinstance(a, og.Geometry):
        return f"G({str(a)!r})"
    if isinstance(a, MutatingIterable):
        a = a.items
    if isinstance(a, (list, tuple)):
        return "[" + ", ".join(source(x) for x in a) + "]"
    if isinstance(a, dict):
        return f"json.loads({json.dumps(a)!r})"
    if isinstance(a, float) and not math.isfinite(a):
        return f"float({str(a)!r})"
    if isinstance(a, Mutator):
        return source(a.value)
    if type(a).__module__ == "ostrel_geometry" and "." in repr(a) and " " not in repr(a):
        return "og." + repr(a)
    return repr(a)


def show(what, *args):
    if VERBOSE:
        text = ", ".join(source(a) for a in args)
        print(f"# {what}\nimport json, re, ostrel_geometry as og\n"
              "G = lambda t: og.Geometry(json.loads(re.sub(r'(?<![\\w.])inf\\b', 'Infinity', t)))\n"
              f"args = [{text}]", file=sys.stderr)


def call_with(r, pool, og, fn):
    names = signature_names(fn)
    if names is None:
        show(getattr(fn, "__qualname__", fn), getattr(fn, "__self__", None))
        return fn()
    args = [argument(r, pool, og, n) for n in names]
    if r.random() < 0.05 and args:
        args.pop()  # a missing argument
    show(getattr(fn, "__qualname__", fn), getattr(fn, "__self__", None), *args)
    return fn(*args)


# ---------------------------------------------------------------------------
# one call

SKIP = {"set_projection_engine_dir"}


def module_functions(og):
    out = []
    for mod in (og, og.projection, og.utils):
        for n in dir(mod):
            f = getattr(mod, n)
            if n.startswith("_") or isinstance(f, type) or not callable(f) or n in SKIP:
                continue
            out.append((n, f))
    return out


def hostile_text(r):
    k = r.randrange(4)
    if k == 0:
        return r.choice(["POINT (1 2)", "LINESTRING (0 0, 1e308 1e308)", "POLYGON ((0 0, 1 0, 1 1, 0 0))",
                         "CIRCULARSTRING (0 0, 1 1, 2 0)", "POINT (nan inf)", "GEOMETRYCOLLECTION (POINT (1 2))",
                         "MULTIPOLYGON (((0 0, 1e-320 0, 0 1e-320, 0 0)))"])
    if k == 1:
        return "".join(r.choice("POINTLINESRG (),.0123456789e-+ZM") for _ in range(r.randint(0, 60)))
    if k == 2:
        return bytes(r.randrange(256) for _ in range(r.randint(0, 60)))
    return bytes.fromhex("0101000000") + struct.pack("<dd", number(r), number(r))


def one_call(r, pool, og, functions):
    k = r.random()
    if k < 0.45:
        g = r.choice(pool)
        names = [n for n in dir(g) if not n.startswith("_") or n in ("_area_geodetic", "_area_planear", "_buffer",
                 "_buffer_geodetic", "_densify", "_densify_geodetic")]
        n = r.choice(names)
        attr = getattr(type(g), n, None)
        if isinstance(attr, property) or type(attr).__name__ == "getset_descriptor":
            if r.random() < 0.25:
                value = r.choice([number(r), None, r.choice(SR), [path(r, g.has_z, g.has_m, False, 3)], True,
                                  Mutator(r, pool, og, number(r))])
                show(f"setattr {n}", g, value)
                setattr(g, n, value)
                return None
            show(f"getattr {n}", g)
            return getattr(g, n)
        return call_with(r, pool, og, getattr(g, n))
    if k < 0.75:
        n, f = r.choice(functions)
        if n.startswith("wk"):
            text = hostile_text(r)
            show(n, text)
            return f(text)
        if n == "is_clockwise":
            coords = path(r, False, False, False, size(r))
            show(n, coords)
            return f(coords)
        return call_with(r, pool, og, f)
    if k < 0.9:
        return containers(r, pool, og)
    if k < 0.95:
        g = r.choice(pool)
        return (str(g), repr(g), g == r.choice(pool), g.to_dict() if r.random() < 0.3 else None)
    pool[r.randrange(len(pool))] = geometry(r, og)
    return None


def count(v):
    """The number of items of a live view, also of those without a length
    (a part collection has none: len() raises TypeError)."""
    try:
        return len(v)
    except TypeError:
        return sum(1 for _ in v)


def containers(r, pool, og, length=len):
    g = r.choice(pool)
    views = [getattr(g, n) for n in ("paths", "rings", "curve_paths", "curve_rings", "points") if hasattr(g, n)]
    if not views:
        return g.to_dict() if r.random() < 0.5 else None
    v = r.choice(views)
    k = r.randrange(7)
    if k == 0:
        for item in v:  # changed while walked
            mutate_something(r, [g], og)
            if r.random() < 0.5 and length(v):
                v.pop()
            str(item)
    elif k == 1 and length(v):
        part = v[r.randrange(length(v))] if r.random() < 0.8 else v[-1]
        for c in part:
            if r.random() < 0.3:
                part.append(r.choice([xy(r), curve_item(r, False, False, None)]))
            if r.random() < 0.2 and length(part):
                part.pop()
            str(c)
            for attr in ("x", "y", "z", "m"):
                try:
                    setattr(c, attr, Mutator(r, pool, og, number(r)))
                except Exception:
                    pass
    elif k == 2:
        v.append(r.choice([path(r, g.has_z, g.has_m, True, size(r)), r.choice(pool), xy(r), []]))
    elif k == 3 and length(v):
        v.insert(Mutator(r, pool, og, r.randint(-3, 3)), path(r, g.has_z, g.has_m, False, 3))
    elif k == 4:
        v[r.randint(-3, 3)] = path(r, g.has_z, g.has_m, r.random() < 0.5, 3)
    elif k == 5:
        v.remove(r.randint(-3, 3))
    else:
        v.clear()
    return None


# ---------------------------------------------------------------------------
# the second stream: kinds the first one never draws
#
# Drawn from a generator and a pool of their own, so that adding them left
# every (seed, episode, call) of the first stream as it was: a replay of an
# older finding still repeats it.

HOSTILE_SR = [
    {"wkid": 2 ** 70}, {"wkid": -1}, {"wkid": 4326.5}, {"wkid": "4326"}, {"wkid": None}, {"wkid": True},
    {"latestWkid": 3857}, {"wkid": 4326, "latestWkid": 3857}, {"wkid": 4326, "vcsWkid": 115700},
    {"wkid": 4326, "vcsWkid": -5}, {"vcsWkid": 5773}, {}, {"wkt": ""}, {"wkt": "x" * 5000}, {"wkt": "[" * 5000},
    {"wkt": 'GEOGCS["a",' * 500}, {"wkt": "\x00"}, {"wkid": 4326, "wkt": "nonsense"}, {"wkid": 104971, "vcsWkid": 5773},
    {"wkid": 32761}, {"wkid": 102100, "latestWkid": 3857}, 4326, "4326", None, [],
]
ELLIPSOIDS = ["6378137,298.257", "inf,0", "nan,0", "-1,0", "0,0", "1e308,1", "1,1e-300", "6378137,0.5", "6378137,-1",
              "1e-300,0", "3396190,169.894"]
PROJECTIONS = ["Transverse_Mercator", "Mercator", "Lambert_Conformal_Conic", "Stereographic", "Nonsense",
               "Orthographic", "Albers"]


def hostile_sr(r):
    k = r.random()
    if k < 0.4:
        return r.choice(HOSTILE_SR)
    if k < 0.55:
        return r.choice([s for s in SR if s is not None])
    geog = (f'GEOGCS["x",DATUM["y",SPHEROID["z",{r.choice(ELLIPSOIDS)}]],PRIMEM["G",{number(r)!r}],'
            f'UNIT["d",{r.choice([0.0174532925199433, 1.0, 0.0, -1.0, number(r)])!r}]]')
    if k < 0.75:
        return {"wkt": geog.replace("inf", "Infinity") if r.random() < 0.3 else geog}
    params = "".join(f',PARAMETER["{n}",{number(r) if r.random() < 0.5 else small_number(r)!r}]'
                     for n in r.sample(["central_meridian", "scale_factor", "standard_parallel_1",
                                        "standard_parallel_2", "latitude_of_origin", "false_easting"],
                                       r.randint(0, 6)))
    return {"wkt": f'PROJCS["p",{geog},PROJECTION["{r.choice(PROJECTIONS)}"]{params},'
                   f'UNIT["m",{r.choice([1.0, 0.3048, 0.0, number(r)])!r}]]'}


def as_dict(g):
    import json

    return json.loads(str(g))


def subclass_of(r, pool, og, g):
    """An instance of a subclass of g's class whose geometry protocol changes
    the pool (and the instance itself) before it answers."""
    cls = type(g)
    if cls is og.Geometry or "__qxc_geo" not in vars(cls):
        return g
    own = vars(cls)["__qxc_geo"]

    def qxc_geo(self):
        mutate_something(r, pool + [self], og)
        return own(self)

    sub = type("Hostile" + cls.__name__, (cls,), {"__qxc_geo": qxc_geo})
    try:
        return sub(as_dict(g))
    except Exception:
        return g


class Trap(ChangingNumber):
    """A number inside a document being read whose conversion changes the
    lists and dictionaries that hold it."""

    def __init__(self, r, value, holders):
        self.r, self.value, self.holders = r, value, holders

    def __repr__(self):
        return f"Trap({self.value!r})"

    def change(self):
        victim = self.r.choice(self.holders)
        k = self.r.randrange(4)
        if isinstance(victim, list):
            if k == 0:
                victim.clear()
            elif k == 1 and victim:
                victim.pop(self.r.randrange(len(victim)))
            elif k == 2:
                victim.extend([None, [1e308, "x"], {}][: self.r.randint(1, 3)])
            else:
                victim[:] = victim[::-1] + [[0.0, 0.0]] * self.r.randint(0, 50)
        elif isinstance(victim, dict):
            if k == 0:
                victim.clear()
            elif k == 1 and victim:
                victim.pop(self.r.choice(list(victim)))
            else:
                victim[self.r.choice(list(victim) or ["x"])] = self.r.choice([None, [], {}, 1.0])


def booby_trap(r, doc):
    """A copy of `doc` (nested lists and dictionaries) with a few numbers
    replaced by Traps on the containers above them.  A copy: documents share
    dictionaries with the module's tables (spatial references above all),
    and a trap left in those would change every later episode of the
    process, which a replay could not repeat."""
    import copy

    doc = copy.deepcopy(doc)
    leaves = []

    def walk(x, chain):
        items = list(x.items()) if isinstance(x, dict) else list(enumerate(x)) if isinstance(x, list) else []
        for k, v in items:
            if isinstance(v, (int, float)) and not isinstance(v, bool):
                leaves.append((x, k, chain + [x]))
            else:
                walk(v, chain + [x])

    walk(doc, [])
    for _ in range(r.randint(1, 3)):
        if leaves:
            holder, key, chain = r.choice(leaves)
            if not isinstance(holder[key], Trap):
                holder[key] = Trap(r, holder[key], chain)
    return doc


def second_argument(r, pool, og, name):
    if name in ("rhs", "other", "primary", "container", "polygon", "geometry") and pool:
        return subclass_of(r, pool, og, r.choice(pool))
    if name in ("geometries", "collection"):
        return [subclass_of(r, pool, og, r.choice(pool)) if pool and r.random() < 0.5 else geometry(r, og)
                for _ in range(r.choice([1, 2, 3]))]
    if name in ("spatial_reference", "input_spatial_reference", "output_spatial_reference"):
        sr = hostile_sr(r)
        if isinstance(sr, dict) and r.random() < 0.5:
            try:
                return og.SpatialReference(sr)
            except Exception:
                pass
        return sr
    return argument(r, pool, og, name)


def extra_call(r, pool, og, functions):
    k = r.randrange(8)
    if k == 0:
        # Constructors, fed hostile values.
        cls = r.choice([og.Point, og.MultiPoint, og.Polyline, og.Polygon, og.Envelope, og.Geometry,
                        og.SpatialReference, og.AreaUnit])
        if cls is og.SpatialReference:
            value = hostile_sr(r)
        elif cls is og.AreaUnit:
            value = r.choice([enum_value(r, og, og.AreaUnitId), enum_value(r, og, og.LinearUnitId), 0, -1, 2 ** 70,
                              None, Mutator(r, pool, og, 1.0)])
        elif cls is og.Envelope and r.random() < 0.5:
            value = geometry(r, og, "point")
        else:
            d = geometry_dict(r)
            if r.random() < 0.5:
                d["spatialReference"] = hostile_sr(r)
            if r.random() < 0.4:
                d = booby_trap(r, d)
            value = r.choice([d, d, subclass_of(r, pool, og, r.choice(pool)) if pool else d,
                              str(d), None, [d], {"geometry": d}])
            if r.random() < 0.3 and pool:
                # The same documents through the setters of live geometries.
                g = r.choice(pool)
                names = [n for n in ("paths", "rings", "curve_paths", "curve_rings", "points") if hasattr(g, n)]
                if names:
                    n = r.choice(names)
                    parts = booby_trap(r, [path(r, g.has_z, g.has_m, n.startswith("curve"), size(r), n.endswith("rings"))
                                           for _ in range(r.randint(0, 3))])
                    if n == "points":
                        parts = booby_trap(r, [coord(r, g.has_z, g.has_m) for _ in range(r.randint(0, 6))])
                    show(f"setattr {n}", g, parts)
                    setattr(g, n, parts)
                    return str(g)
        show(cls.__name__, value)
        return cls(value)
    if k == 1:
        # Spatial references: every property, comparisons, hashes, and
        # geometries in them measured and projected.
        sr = hostile_sr(r)
        show("SpatialReference", sr)
        s = og.SpatialReference(sr)
        out = [getattr(s, a, None) for a in ("wkid", "latest_wkid", "vcs_wkid", "latest_vcs_wkid", "wkt", "wkt2")]
        other = og.SpatialReference(r.choice([x for x in SR if x is not None]))
        out += [s == other, s != s, str(s), repr(s)]
        for compare in (lambda: s < other, lambda: s >= other, lambda: hash(s)):
            try:
                out.append(compare())
            except TypeError:
                pass
        g = r.choice(pool)
        op = r.randrange(4)
        show(["project", "spatial_reference", "buffer", "calculate_area"][op], g, s)
        if op == 0:
            out.append(g.project(s))
        elif op == 1:
            g.spatial_reference = s
            out.append(g.calculate_length(enum_value(r, og, og.GeodeticCurveType), None))
        elif op == 2:
            h = og.Geometry(dict(as_dict(g), spatialReference=sr))
            out.append(h.buffer(small_number(r), enum_value(r, og, og.LinearUnitId), small_number(r),
                                enum_value(r, og, og.GeodeticCurveType)))
        else:
            h = og.Geometry(dict(as_dict(g), spatialReference=sr))
            out.append(h.calculate_area(enum_value(r, og, og.GeodeticCurveType), enum_value(r, og, og.AreaUnitId)))
        return out
    if k == 2:
        # Area units and their conversions.
        u = og.AreaUnit(enum_value(r, og, og.AreaUnitId))
        n = r.choice(["area_unit_id", "convert_from", "convert_to", "from_square_meters", "to_square_meters",
                      "try_clone"])
        f = getattr(u, n)
        if n in ("convert_from", "convert_to"):
            args = [r.choice([enum_value(r, og, og.AreaUnitId), og.AreaUnit(enum_value(r, og, og.AreaUnitId)),
                              enum_value(r, og, og.LinearUnitId), None, 7]), scalar(r, pool, og)]
        elif n in ("from_square_meters", "to_square_meters"):
            args = [scalar(r, pool, og)]
        else:
            args = []
        show(f"AreaUnit.{n}", u, *args)
        return f(*args)
    if k == 3:
        # Datum transformations: their properties and inverses, used on
        # geometries of the pool.
        t = transformation(r, og)
        if t is None:
            return None
        if r.random() < 0.5:
            t = t.get_inverse()
        out = [t.name, t.object_type, t.input_spatial_reference, t.output_spatial_reference,
               t.is_missing_projection_engine_files(), str(t), repr(t)]
        g = r.choice(pool)
        target = r.choice([t.output_spatial_reference, t.input_spatial_reference, hostile_sr(r)])
        show("project_with_transformation", g, target, t)
        out.append(g.project_with_transformation(target, t))
        return out
    if k == 4:
        # Segments of curve parts: every field read and written, by name and
        # by index, with numbers that may change the pool as they convert.
        g = r.choice(pool)
        views = [getattr(g, n) for n in ("curve_paths", "curve_rings", "paths", "rings", "points") if hasattr(g, n)]
        if not views:
            return None
        v = r.choice(views)
        n = count(v)
        if not n:
            return None
        part = v[r.randrange(n)]
        for seg in part:
            names = [n for n in dir(seg) if not n.startswith("_")]
            for _ in range(r.randint(1, 4)):
                n = r.choice(names)
                value = r.choice([number(r), Mutator(r, pool, og, number(r)), None, True, r.randint(-2, 2)])
                show(f"setattr {type(seg).__name__}.{n}", g, value)
                try:
                    setattr(seg, n, value)
                except Exception:
                    pass
                getattr(seg, n, None)
            i = r.choice([0, 1, 2, 3, -1, 99, Mutator(r, pool, og, 1)])
            try:
                seg[i] = r.choice([number(r), Mutator(r, pool, og, number(r)), None])
            except Exception:
                pass
            try:
                len(seg), seg[i]
            except Exception:
                pass
            if r.random() < 0.2:
                try:
                    del v[r.randint(-2, 2)]
                except Exception:
                    pass
        show("after segment writes", g)
        return call_with(r, pool, og, getattr(g, r.choice(["buffer", "calculate_area", "densify", "generalize",
                                                           "label_point", "intersect", "union", "to_dict"])))
    if k == 5:
        # Live part collections changed while they are walked (the first
        # stream asks their length, which they do not have).
        return containers(r, pool, og, length=count)
    # Methods and functions called by keyword, or with geometries whose
    # protocol changes the pool while they are read.
    keywords = k == 6
    if r.random() < 0.5:
        g = r.choice(pool)
        names = [n for n in dir(g) if not n.startswith("_") and callable(getattr(g, n))]
        fn = getattr(g, r.choice(names))
    else:
        fn = r.choice(functions)[1]
    names = signature_names(fn)
    if names is None:
        return None
    args = [second_argument(r, pool, og, n) for n in names]
    if keywords:
        kwargs = dict(zip(names, args))
        if kwargs and r.random() < 0.2:
            kwargs.pop(r.choice(list(kwargs)))
        if r.random() < 0.1:
            kwargs["unexpected"] = 1
        show(f"{getattr(fn, '__qualname__', fn)} by keyword {list(kwargs)}", getattr(fn, "__self__", None),
             *kwargs.values())
        return fn(**kwargs)
    show(getattr(fn, "__qualname__", fn), getattr(fn, "__self__", None), *args)
    return fn(*args)


# ---------------------------------------------------------------------------
# the third stream: shapes that once found costs following the input's debris
# rather than the output, and results that answered otherwise than their
# model.  A generator of its own leaves the first two streams as they were.

SHAPE_SHARE = 0.05


class Mismatch(BaseException):
    """A result and a second geometry built on its model answered differently."""


def missing_values(r, og):
    """A long zigzag that declares z or m and carries none, overlaid."""
    n = r.choice([50, 2000, 20000])
    declared = r.choice(["hasZ", "hasM"])
    zigzag = {declared: True, "paths": [[[float(i), float(i % 2)] for i in range(n)]]}
    if r.random() < 0.3:
        zigzag = {declared: True, "rings": [zigzag["paths"][0] + [[float(n // 2), 5.0]]]}
    g = og.Geometry(zigzag)
    other = og.Geometry(r.choice([{"paths": [[[0, 0.5], [n, 0.5]]]}, {"rings": [[[1, -1], [1, 2], [n, 2], [n, -1]]]},
                                  {"hasZ": True, "paths": [[[0, 9, 1], [n, 9, 2]]]}]))
    op = r.choice(["union", "intersect", "difference", "symmetric_difference", "collection", "clip"])
    show(f"{op} of declared but missing {declared}", g, other)
    if op == "collection":
        return og.Geometry.union_collection([g, other, g])
    if op == "clip":
        return g.clip(og.Envelope({"xmin": 0.5, "ymin": -1, "xmax": n / 2, "ymax": 1}))
    return getattr(g, op)(other)


def tiny_tangle(r, og):
    """A tiny self-crossing ring (or stack of copies of a ring) buffered or
    related far beyond its size."""
    k, step, period = r.randint(50, 800), 10.0 ** -r.randint(6, 12), r.randint(2, 11)
    x0 = r.choice([0.0, 1e6, 1e8])
    pts = [[x0 + i * step, x0 + (i % period) * step] for i in range(k)]
    kind = r.randrange(4)
    if kind == 0:
        g = og.Polygon({"rings": [pts + pts[:1]]})
    elif kind == 1:
        g = og.Polyline({"paths": [pts]})
    elif kind == 2:
        g = og.MultiPoint({"points": pts[:250]})
    else:
        ring = [[x0, x0], {"a": [[x0 + 1, x0], [x0 + 0.5, x0], 0, 1]}, [x0 + 0.5, x0 - 1], [x0, x0]]
        g = og.Polygon({"curveRings": [ring] * r.randint(2, 300)})
    distance = 10.0 ** r.uniform(-1, 4)
    op = r.randrange(4)
    show(["buffer", "buffer_collection", "difference with a point", "relation with itself"][op], g, distance)
    if op == 0:
        return g.buffer(distance)
    if op == 1:
        return og.Geometry.buffer_collection([g, g], [distance], r.random() < 0.5)
    if op == 2:
        return g.area, g.difference(og.Point({"x": x0, "y": x0}))
    return [getattr(g, n)(g) for n in ("contains", "within", "equals", "touches", "crosses", "overlaps")]


def model_twin(r, og):
    """A result against a second object built on its model: what one shows
    and answers, so does the other."""
    a, b = geometry(r, og), geometry(r, og)
    op = r.choice(["intersect", "union", "difference", "symmetric_difference", "clip", "convex_hull", "boundary",
                   "move_relative", "buffer", "generalize"])
    show(f"{op}, then the result against a twin on its model", a, b)
    if op == "clip":
        res = a.clip(og.Envelope({"xmin": -1, "ymin": -1, "xmax": 1, "ymax": 1}))
    elif op in ("convex_hull", "boundary"):
        res = getattr(a, op)()
    elif op == "move_relative":
        res = a.move_relative(0, 0)
    elif op in ("buffer", "generalize"):
        res = getattr(a, op)(small_number(r))
    else:
        res = getattr(a, op)(b)
    if not hasattr(res, "JSON"):
        return res
    twin = type(res)(res)
    probe = og.Polyline({"paths": [[[0, 0], [1, 1]]]})

    def answers(g):
        out = {"JSON": g.JSON, "has_z": g.has_z, "has_m": g.has_m, "is_empty": g.is_empty}
        for name, ask in (("is_simple", lambda: g.is_simple()), ("union has_z", lambda: g.union(probe).has_z),
                          ("union has_m", lambda: g.union(probe).has_m)):
            try:
                out[name] = ask()
            except Exception as e:
                out[name] = type(e).__name__
        return out

    mine, theirs = answers(res), answers(twin)
    if mine != theirs:
        differ = {k: (mine[k], theirs[k]) for k in mine if mine[k] != theirs[k]}
        raise Mismatch(f"{op}: the result and its twin differ in {differ}")
    return mine


def shaped_call(r, og):
    return r.choice([missing_values, tiny_tangle, model_twin])(r, og)


def episode(seed, ep, counter=None, only=None):
    import ostrel_geometry as og

    r = random.Random(seed * 1_000_003 + ep)
    pool = []
    for _ in range(6):
        try:
            pool.append(geometry(r, og))
        except Exception:
            pool.append(og.Point({"x": 1, "y": 2}))
    r2 = random.Random(f"second stream {seed} {ep}")
    r3 = random.Random(f"third stream {seed} {ep}")
    pool2 = []
    for _ in range(4):
        try:
            pool2.append(geometry(r2, og))
        except Exception:
            pool2.append(og.Point({"x": 1, "y": 2}))
    functions = module_functions(og)
    done = 0  # calls of both streams
    for i in range(CALLS_PER_EPISODE):
        if counter is not None:
            counter(ep, i, done)
        if only is not None and i == only:
            # Replaying: the state is rebuilt by the calls before; show this one.
            global VERBOSE
            VERBOSE = True
            print(f"replaying call {i} of episode {ep}; pool:", file=sys.stderr)
            for g in pool:
                print("  " + repr(g)[:2000], file=sys.stderr)
        try:
            one_call(r, pool, og, functions)
        except Exception:
            pass
        except BaseException as e:
            # PanicException: a broken invariant reached from the outside.
            if counter is None or type(e).__name__ != "PanicException":
                raise
            return done + 1, (i, traceback.format_exc())
        # The second stream, after call i and under the same number.
        if r2.random() < EXTRA_SHARE:
            if only is not None and i == only:
                print("# (second stream)", file=sys.stderr)
            done += 1
            try:
                extra_call(r2, pool2, og, functions)
            except Exception:
                pass
            except BaseException as e:
                if counter is None or type(e).__name__ != "PanicException":
                    raise
                return done + 1, (i, traceback.format_exc())
        # The third stream likewise.
        if r3.random() < SHAPE_SHARE:
            if only is not None and i == only:
                print("# (third stream)", file=sys.stderr)
            done += 1
            try:
                shaped_call(r3, og)
            except Exception:
                pass
            except BaseException as e:
                if counter is None or type(e).__name__ not in ("PanicException", "Mismatch"):
                    raise
                return done + 1, (i, traceback.format_exc())
        done += 1
        if only is not None and i == only:
            break
    return done, None


# ---------------------------------------------------------------------------
# worker and supervisor


def worker(seed, counter_path, first_episode, memory_limit):
    if memory_limit:
        import resource

        resource.setrlimit(resource.RLIMIT_AS, (memory_limit, memory_limit))
    fd = os.open(counter_path, os.O_RDWR)
    mm = mmap.mmap(fd, LAYOUT.size)
    total = 0

    def counter(ep, i, done):
        LAYOUT.pack_into(mm, 0, ep, i, total + done, time.monotonic())

    ep = first_episode
    while True:
        done, panic = episode(seed, ep, counter)
        total += done
        if panic:
            i, text = panic
            LAYOUT.pack_into(mm, 0, ep, i, total, time.monotonic())
            sys.stderr.write(text)
            sys.stderr.flush()
            os._exit(4 if text.rstrip().splitlines()[-1].split(":")[0].endswith("Mismatch") else 3)
        ep += 1


def supervise(args):
    deadline = time.monotonic() + args.seconds
    calls = crashes = hangs = panics = mismatches = 0
    findings = []
    slots = []
    # The slowest calls that finished: (seconds, seed, episode, call).
    slowest = []

    def finished(slot, now):
        ep, i, _ = slot["last"]
        took = now - slot["seen"]
        if i >= 0 and took >= args.slow:
            slowest.append((took, slot["seed"], ep, i))
            slowest.sort(reverse=True)
            del slowest[10:]
            if not slot.get("told"):
                print(f"slow ({took:.1f} s): replay with `driver.py replay {slot['seed']} {ep} {i}`", flush=True)
        slot["told"] = False

    def start(slot_seed, first_episode):
        fd, path_ = tempfile.mkstemp(prefix="ostrel-stress-")
        os.write(fd, b"\0" * LAYOUT.size)
        os.close(fd)
        env = dict(os.environ)
        cmd = [sys.executable, os.path.abspath(__file__), "worker", str(slot_seed), path_, str(first_episode),
               str(args.memory_limit)]
        # stderr goes to a file: a full pipe would stall the worker.
        err = tempfile.TemporaryFile()
        proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=err, env=env, start_new_session=True)
        return {"proc": proc, "path": path_, "seed": slot_seed, "last": (first_episode, -1, 0),
                "seen": time.monotonic(), "err": err}

    def read(slot):
        with open(slot["path"], "rb") as f:
            return LAYOUT.unpack(f.read(LAYOUT.size))

    for w in range(args.workers):
        slots.append(start(args.seed + w * 7919, 0))

    def finish(slot, kind, detail):
        nonlocal calls
        ep, i, total, _ = read(slot)
        calls += total
        finding = f"{kind}: replay with `driver.py replay {slot['seed']} {ep} {i}`\n{detail}"
        findings.append(finding)
        print(finding, file=sys.stderr, flush=True)
        os.unlink(slot["path"])
        return ep

    next_report = time.monotonic() + args.report
    try:
        while time.monotonic() < deadline:
            time.sleep(0.2)
            if time.monotonic() >= next_report:
                next_report += args.report
                running = sum(read(slot)[2] for slot in slots)
                print(f"progress: calls {calls + running} crashes {crashes} hangs {hangs} panics {panics}"
                      f" mismatches {mismatches}", flush=True)
            for n, slot in enumerate(slots):
                ep, i, total, beat = read(slot)
                now = time.monotonic()
                if (ep, i, total) != slot["last"]:
                    finished(slot, now)
                    slot["last"], slot["seen"] = (ep, i, total), now
                elif now - slot["seen"] > args.slow and not slot.get("told"):
                    # Still running: said now, in case it turns into a hang.
                    slot["told"] = True
                    print(f"slow (> {args.slow:g} s, running): `driver.py replay {slot['seed']} {ep} {i}`",
                          flush=True)
                rc = slot["proc"].poll()
                if rc is not None:
                    slot["err"].seek(0)
                    err = slot["err"].read().decode(errors="replace")[-3000:]
                    if rc == 3:
                        panics += 1
                        kind = "panic"
                    elif rc == 4:
                        mismatches += 1
                        kind = "mismatch"
                    else:
                        crashes += 1
                        kind = f"crash (exit {rc})"
                    last_ep = finish(slot, kind, err)
                    slots[n] = start(slot["seed"], last_ep + 1)
                elif now - slot["seen"] > args.ceiling:
                    os.killpg(slot["proc"].pid, signal.SIGKILL)
                    slot["proc"].wait()
                    hangs += 1
                    last_ep = finish(slot, f"hang (> {args.ceiling} s)", "")
                    slots[n] = start(slot["seed"], last_ep + 1)
    finally:
        for slot in slots:
            try:
                os.killpg(slot["proc"].pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            slot["proc"].wait()
            calls += read(slot)[2]
            os.unlink(slot["path"])
    for took, seed, ep, i in slowest:
        print(f"slowest: {took:.1f} s `driver.py replay {seed} {ep} {i}`", flush=True)
    print(f"calls {calls} crashes {crashes} hangs {hangs} panics {panics} mismatches {mismatches}", flush=True)
    return 1 if crashes or hangs or panics or mismatches else 0


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = p.add_subparsers(dest="mode", required=True)
    s = sub.add_parser("run", help="supervise workers for SECONDS")
    s.add_argument("seconds", type=float)
    s.add_argument("--workers", type=int, default=2)
    s.add_argument("--seed", type=int, default=int(time.time()) % 100000)
    s.add_argument("--ceiling", type=float, default=10.0, help="seconds one call may take")
    s.add_argument("--slow", type=float, default=5.0, help="seconds past which a call is printed as slow")
    s.add_argument("--memory-limit", type=int, default=0, help="address-space limit of a worker, bytes")
    s.add_argument("--report", type=float, default=60.0, help="seconds between progress lines")
    w = sub.add_parser("worker")
    w.add_argument("seed", type=int)
    w.add_argument("counter")
    w.add_argument("episode", type=int)
    w.add_argument("memory_limit", type=int)
    rp = sub.add_parser("replay", help="repeat one episode up to one call")
    rp.add_argument("seed", type=int)
    rp.add_argument("episode", type=int)
    rp.add_argument("call", type=int)
    a = p.parse_args()
    if a.mode == "run":
        sys.exit(supervise(a))
    if a.mode == "worker":
        worker(a.seed, a.counter, a.episode, a.memory_limit)
    else:
        episode(a.seed, a.episode, None, a.call)


if __name__ == "__main__":
    main()
