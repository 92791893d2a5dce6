// The model of one polygon: linear rings and curve rings.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/cell.hpp"
#include "model/collection.hpp"
#include "model/rt_fwd.hpp"
#include "model/spatial_reference.hpp"
#include "model/stamp.hpp"

namespace ostrel::model {

// The dimensions are those recorded in `rings`; a replacement curve
// collection must carry the same.  Built through try_new_with_curves or the
// runtime read-back.
struct ZorvGeometryPolygon {
  ZorvGeometryPolygon(Cell<PartCollection> rings, Cell<CurvePartCollection> curve_rings,
                      std::optional<SpatialReference> sr)
      : rings(std::move(rings)), curve_rings(std::move(curve_rings)), spatial_reference(std::move(sr)) {}

  Cell<PartCollection> rings;
  Cell<CurvePartCollection> curve_rings;
  std::optional<SpatialReference> spatial_reference;

  // Two new collections with the flags, then every ring, then every curve
  // ring; the first error is thrown.
  static ZorvGeometryPolygon try_new_with_curves(bool has_z, bool has_m, std::vector<Cell<ZorvPart>> rings,
                                                 std::vector<Cell<ZorvCurvePart>> curve_rings,
                                                 std::optional<SpatialReference> sr);

  CoordDims dimensions() const;
  bool has_z() const { return dims_has_z(dimensions()); }
  bool has_m() const { return dims_has_m(dimensions()); }
  // No ring and no curve ring (parts are counted, not vertices).
  bool is_empty() const;

  // The ring rules: a linear ring needs 3 vertices; a curve ring needs 2,
  // and with exactly 2 a curved segment to vertex 1 (InsufficientRing).
  void push_ring(Cell<ZorvPart> part);
  void push_curve_ring(Cell<ZorvCurvePart> part);
  // MismatchingDimensions unless the new collection has the polygon's dimensions.
  void set_rings(Cell<PartCollection> rings);
  void set_curve_rings(Cell<CurvePartCollection> curve_rings);
  void set_sr(std::optional<SpatialReference> sr) { spatial_reference = std::move(sr); }

  // The caller holds the geometry's own cell.
  void write_zorvjson(std::string& out) const;

  // Runtime conversions (throw ZorvGeoErr).  The runtime's parts are the
  // curve rings in order, then the linear rings in order.
  rt::PolygonBuilder as_mutable_polygon() const;
  rt::Polygon as_polygon() const;
  rt::GeometryOwned as_geometry_owned() const;
  std::string to_json() const;
  static ZorvGeometryPolygon from_immutable_polygon(rt::Polygon p);
  static ZorvGeometryPolygon try_from_owned(rt::GeometryOwned g);
  // The model of a runtime geometry of this kind, which stays with its owner.
  static ZorvGeometryPolygon read_back(const rt::GeometryOwned& g);
  // Records the cells a runtime geometry built from this model depends on
  // (beyond the geometry's own cell).
  void watch(Stamp& stamp) const;
  // The polygon's parts and spatial reference as a runtime polyline.
  rt::Polyline to_polyline() const;
};

}  // namespace ostrel::model
