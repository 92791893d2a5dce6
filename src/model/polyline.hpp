// The model of one polyline: linear paths and curve paths.
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

// The dimensions are those recorded in `paths`; a replacement curve
// collection must carry the same.  Built through try_new_with_curves or the
// runtime read-back.
struct ZorvGeometryPolyline {
  ZorvGeometryPolyline(Cell<PartCollection> paths, Cell<CurvePartCollection> curve_paths,
                       std::optional<SpatialReference> sr)
      : paths(std::move(paths)), curve_paths(std::move(curve_paths)), spatial_reference(std::move(sr)) {}

  Cell<PartCollection> paths;
  Cell<CurvePartCollection> curve_paths;
  std::optional<SpatialReference> spatial_reference;

  // Two new collections with the flags, then every path, then every curve
  // path; the first error is thrown.
  static ZorvGeometryPolyline try_new_with_curves(bool has_z, bool has_m, std::vector<Cell<ZorvPart>> paths,
                                                  std::vector<Cell<ZorvCurvePart>> curve_paths,
                                                  std::optional<SpatialReference> sr);

  CoordDims dimensions() const;
  bool has_z() const { return dims_has_z(dimensions()); }
  bool has_m() const { return dims_has_m(dimensions()); }
  // No path and no curve path (parts are counted, not vertices).
  bool is_empty() const;

  void push_path(Cell<ZorvPart> part);
  void push_curve_path(Cell<ZorvCurvePart> part);
  // MismatchingDimensions unless the new collection has the polyline's dimensions.
  void set_paths(Cell<PartCollection> paths);
  void set_curve_paths(Cell<CurvePartCollection> curve_paths);
  void set_sr(std::optional<SpatialReference> sr) { spatial_reference = std::move(sr); }

  // The caller holds the geometry's own cell.
  void write_zorvjson(std::string& out) const;

  // Runtime conversions (throw ZorvGeoErr).  The runtime's parts are the
  // curve paths in order, then the linear paths in order.
  rt::PolylineBuilder as_mutable_polyline() const;
  rt::Polyline as_polyline() const;
  rt::GeometryOwned as_geometry_owned() const;
  std::string to_json() const;
  static ZorvGeometryPolyline from_immutable_polyline(rt::Polyline p);
  static ZorvGeometryPolyline try_from_owned(rt::GeometryOwned g);
  // The model of a runtime geometry of this kind, which stays with its owner.
  static ZorvGeometryPolyline read_back(const rt::GeometryOwned& g);
  // Records the cells a runtime geometry built from this model depends on
  // (beyond the geometry's own cell).
  void watch(Stamp& stamp) const;
};

}  // namespace ostrel::model
