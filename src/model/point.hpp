// The model of one point.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "model/coord.hpp"
#include "model/geometry_model.hpp"
#include "model/rt_fwd.hpp"
#include "model/spatial_reference.hpp"
#include "model/stamp.hpp"

namespace ostrel::model {

// Fields are open to their users; a NaN x marks the empty point.
struct ZorvGeometryPoint : GeometryModel<ZorvGeometryPoint, rt::Point> {
  double x = kNaN;
  double y = kNaN;
  std::optional<double> z;
  std::optional<double> m;
  std::optional<uint32_t> id;  // never set by the model; not passed to the runtime
  OptionalSpatialReference spatial_reference;

  bool is_empty() const { return std::isnan(x); }

  void write_zorvjson(std::string& out) const;

  // Runtime conversions (throw ZorvGeoErr).
  rt::Point as_runtime() const;
  static ZorvGeometryPoint from_runtime(const rt::Point& p);
  // A runtime geometry built from this model depends on nothing beyond the
  // geometry's own cell.
  void watch(Stamp&) const {}
  // The vertices a runtime geometry built from this model holds.
  std::size_t vertex_count() const { return 1; }
};

}  // namespace ostrel::model
