// The model of one envelope.
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

// Fields are open to their users; a NaN xmin marks the empty envelope.
struct ZorvGeometryEnvelope {
  double xmin = kNaN;
  double ymin = kNaN;
  double xmax = kNaN;
  double ymax = kNaN;
  std::optional<double> zmin, zmax, mmin, mmax;
  std::optional<uint32_t> idmin, idmax;  // never set by the model; not passed to the runtime
  std::optional<SpatialReference> spatial_reference;

  bool is_empty() const { return std::isnan(xmin); }
  void set_sr(std::optional<SpatialReference> sr) { spatial_reference = std::move(sr); }

  void write_zorvjson(std::string& out) const;

  // Runtime conversions (throw ZorvGeoErr).  A z (m) range reaches the
  // runtime only when both of its bounds are present.
  rt::Envelope as_envelope() const;
  rt::GeometryOwned as_geometry_owned() const;
  static ZorvGeometryEnvelope from_immutable_envelope(rt::Envelope e);
  static ZorvGeometryEnvelope try_from_owned(rt::GeometryOwned g);
  // The model of a runtime geometry of this kind, which stays with its owner.
  static ZorvGeometryEnvelope read_back(const rt::GeometryOwned& g);
  // A runtime geometry built from this model depends on nothing beyond the
  // geometry's own cell.
  void watch(Stamp&) const {}
};

}  // namespace ostrel::model
