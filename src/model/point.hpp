// The model of one point.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include "model/coord.hpp"
#include "model/rt_fwd.hpp"
#include "model/spatial_reference.hpp"
#include "model/stamp.hpp"

namespace ostrel::model {

// Fields are open to their users; a NaN x marks the empty point.
struct ZorvGeometryPoint {
  double x = kNaN;
  double y = kNaN;
  std::optional<double> z;
  std::optional<double> m;
  std::optional<uint32_t> id;  // never set by the model; not passed to the runtime
  std::optional<SpatialReference> spatial_reference;

  bool is_empty() const { return std::isnan(x); }
  void set_sr(std::optional<SpatialReference> sr) { spatial_reference = std::move(sr); }

  void write_zorvjson(std::string& out) const;

  // Runtime conversions (throw ZorvGeoErr).
  rt::Point as_point() const;
  rt::GeometryOwned as_geometry_owned() const;
  std::string to_json() const;
  static ZorvGeometryPoint from_immutable_point(rt::Point p);
  static ZorvGeometryPoint try_from_owned(rt::GeometryOwned g);
  // The model of a runtime geometry of this kind, which stays with its owner.
  static ZorvGeometryPoint read_back(const rt::GeometryOwned& g);
  // A runtime geometry built from this model depends on nothing beyond the
  // geometry's own cell.
  void watch(Stamp&) const {}
};

}  // namespace ostrel::model
