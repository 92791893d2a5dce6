// A spatial reference seen from the ellipsoid: its ellipsoid, and the way
// between its own coordinates and longitude/latitude in degrees on its
// geographic base.  A projected reference is measured on that base.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "engine/geodetic_curve.hpp"
#include "engine/projection_transform.hpp"
#include "geometry.hpp"
#include "spatial_reference.hpp"

namespace vaskelith::geodetic {

class Frame {
 public:
  // Fails (kInvalidArgument) when the reference is null: geodetic work needs
  // an ellipsoid.
  explicit Frame(const SpatialReferencePtr& sr);
  // The plane map points back at this frame.
  Frame(const Frame&) = delete;
  Frame& operator=(const Frame&) = delete;

  const Ellipsoid& ellipsoid() const { return *ellipsoid_; }
  bool geographic() const { return sr_->geographic; }
  const SpatialReferencePtr& spatial_reference() const { return sr_; }
  const PlaneMap& plane() const { return plane_; }
  // The coordinates are longitude and latitude in degrees themselves: a
  // point in degrees needs no conversion into the reference's plane.
  bool degrees() const { return degrees_; }

  std::vector<LonLat> to_lonlat(const std::vector<Vertex>& pts) const;
  std::vector<LonLat> to_lonlat(const std::vector<std::pair<double, double>>& pts) const;
  // Plane coordinates of longitude/latitude points.
  std::vector<std::pair<double, double>> from_lonlat(const std::vector<LonLat>& pts) const;

 private:
  SpatialReferencePtr sr_;
  std::shared_ptr<const Ellipsoid> ellipsoid_;
  projection::OperationPtr op_;  // plane -> lon/lat; null when geographic
  double deg_per_unit_ = 1.0;    // geographic only
  PlaneMap plane_;
  bool degrees_ = false;
};

// Curve type from its code; kInvalidArgument for an unknown code.
CurveType curve_type_from(int32_t code);

}  // namespace vaskelith::geodetic
