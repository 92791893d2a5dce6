// The model of one multipoint.
#pragma once

#include <optional>
#include <string>

#include "model/cell.hpp"
#include "model/geometry_model.hpp"
#include "model/part.hpp"
#include "model/rt_fwd.hpp"
#include "model/spatial_reference.hpp"
#include "model/stamp.hpp"

namespace ostrel::model {

// Has z (m) exactly when the points part has that column.
struct ZorvGeometryMultipoint : GeometryModel<ZorvGeometryMultipoint, rt::Multipoint> {
  explicit ZorvGeometryMultipoint(bool has_z = false, bool has_m = false) : points(ZorvPart(has_z, has_m)) {}
  ZorvGeometryMultipoint(Cell<ZorvPart> points, std::optional<SpatialReference> sr)
      : points(std::move(points)), spatial_reference(std::move(sr)) {}

  Cell<ZorvPart> points;
  OptionalSpatialReference spatial_reference;

  // Read under the points part's lock (poisoned: fatal "Rings lock poisoned").
  CoordDims dimensions() const;
  bool has_z() const { return dims_has_z(dimensions()); }
  bool has_m() const { return dims_has_m(dimensions()); }
  bool is_empty() const;
  // Takes over the part; MismatchingDimensions (multipoint unchanged) when
  // its columns differ.
  void set_points(Cell<ZorvPart> part);

  void write_zorvjson(std::string& out) const;

  // Runtime conversions (throw ZorvGeoErr).
  rt::Multipoint as_runtime() const;
  static ZorvGeometryMultipoint from_runtime(const rt::Multipoint& mp);
  // Records the cells a runtime geometry built from this model depends on
  // (beyond the geometry's own cell).
  void watch(Stamp& stamp) const;
  // The vertices a runtime geometry built from this model holds.
  std::size_t vertex_count() const;
};

}  // namespace ostrel::model
