// The model of one envelope.
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

// Fields are open to their users; a NaN xmin marks the empty envelope.
struct ZorvGeometryEnvelope : GeometryModel<ZorvGeometryEnvelope, rt::Envelope> {
  double xmin = kNaN;
  double ymin = kNaN;
  double xmax = kNaN;
  double ymax = kNaN;
  std::optional<double> zmin, zmax, mmin, mmax;
  std::optional<uint32_t> idmin, idmax;  // never set by the model; not passed to the runtime
  OptionalSpatialReference spatial_reference;

  bool is_empty() const { return std::isnan(xmin); }

  void write_zorvjson(std::string& out) const;

  // Runtime conversions (throw ZorvGeoErr).  A z (m) range reaches the
  // runtime only when both of its bounds are present.
  rt::Envelope as_runtime() const;
  static ZorvGeometryEnvelope from_runtime(const rt::Envelope& e);
  // A runtime geometry built from this model depends on nothing beyond the
  // geometry's own cell.
  void watch(Stamp&) const {}
  // The vertices a runtime geometry built from this model holds.
  std::size_t vertex_count() const { return 0; }
};

}  // namespace ostrel::model
