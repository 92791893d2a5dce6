"""A short tour of ostrel_geometry: build, edit, measure, combine, project, convert."""
import json
import struct

import ostrel_geometry as og
from ostrel_geometry import projection, utils

print("ostrel_geometry", og.__version__)

# Geometries come from zorvjson dictionaries and print as zorvjson text.
square = og.Polygon({
    "rings": [[[0, 0], [0, 10], [10, 10], [10, 0], [0, 0]]],
    "spatialReference": {"wkid": 3857},
})
print("square:", square)
print("area:", square.calculate_area(), "length:", square.calculate_length())

# Parts are live views: editing a ring changes the polygon.
ring = square.rings[0]
ring[2] = [10, 20]           # move a corner up
ring.insert(2, [5, 15])      # add one before it
print("edited:", square)
print("edited area:", square.calculate_area())

# Overlay and relations.
other = og.Polygon({"rings": [[[5, 5], [5, 25], [25, 25], [25, 5], [5, 5]]],
                    "spatialReference": {"wkid": 3857}})
print("intersects:", square.intersects(other), "contains:", square.contains(other))
overlap = square.intersect(other)
print("intersection:", overlap)   # rings of results do not repeat their first vertex
print("intersection area:", overlap.calculate_area(), "as dict:", overlap.to_dict())
print("union area:", square.union(other).calculate_area())
print("buffer(1) area:", round(square.buffer(1).calculate_area(), 3))

# True curves: a half-disc bounded by a circular arc.
half_disc = og.Polygon({"curveRings": [[[1, 0], {"c": [[-1, 0], [0, 1]]}, [1, 0]]]})
print("half disc area (pi/2):", half_disc.calculate_area())

# Geodetic measurement on WGS 84 (lengths in a LinearUnitId, areas in an AreaUnit)
# and projection between spatial references.
line = og.Polyline({"paths": [[[0, 0], [1, 0]]], "spatialReference": {"wkid": 4326}})
print("one degree along the equator (m):",
      round(line.calculate_length(og.GeodeticCurveType.Geodesic, og.LinearUnitId.Meters), 3))
cell = og.Polygon({"rings": [[[0, 0], [0, 1], [1, 1], [1, 0], [0, 0]]],
                   "spatialReference": {"wkid": 4326}})
km2 = og.AreaUnit(og.AreaUnitId.SquareKilometers)
print("one-degree cell (km2):", round(cell.calculate_area(og.GeodeticCurveType.Geodesic, km2), 3))
paris = og.Point({"x": 2.35, "y": 48.86, "spatialReference": {"wkid": 4326}})
disc = paris.buffer(10, og.LinearUnitId.Kilometers, 0.001, og.GeodeticCurveType.Geodesic)
print("geodetic 10 km buffer around Paris (km2; a flat disc has 314.16):",
      round(disc.calculate_area(og.GeodeticCurveType.Geodesic, km2), 2))
print("in Web Mercator:", line.project({"wkid": 3857}))
print("in UTM zone 31N:", og.Point({"x": 3, "y": 45, "spatialReference": {"wkid": 4326}})
      .project({"wkid": 32631}))
ts = projection.get_transformations({"wkid": 4326}, {"wkid": 4267})
print("WGS 84 -> NAD27:", len(ts), "transformations, best:", ts[0].name if ts else None)

# WKT and WKB become dictionaries without the runtime. Their coordinates are
# tuples, which the constructors refuse: a JSON round trip turns them into lists.
d = utils.wkt_to_zorvjson_dict("POLYGON ((0 0, 10 0, 10 10, 0 10, 0 0))")
print(d)
print("as a geometry:", og.Geometry(json.loads(json.dumps(d))).calculate_area())
print(utils.wkt_to_geojson_dict("LINESTRING ZM (30 10 1 2, 10 30 3 4)"))
wkb = struct.pack("<BIdd", 1, 1, 3.0, 4.0)    # little-endian WKB point (3 4)
print(utils.wkb_to_zorvjson_dict(wkb))
print("clockwise:", utils.is_clockwise([[0, 0], [0, 1], [1, 1]]))
