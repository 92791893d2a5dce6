#include "engine/geodetic_frame.hpp"

#include <cmath>

#include "errors.hpp"

namespace vaskelith::geodetic {

namespace {

// Degrees a latitude may pass a pole by and still be the pole: the rounding
// of a reference's unit conversion.
constexpr double kBeyondPole = 1e-9;

const SpatialReferencePtr& require(const SpatialReferencePtr& sr) {
  if (!sr) fail(kInvalidArgument, "A geodetic operation needs a geometry with a spatial reference.");
  return sr;
}

}  // namespace

Frame::Frame(const SpatialReferencePtr& sr)
    : sr_(require(sr)), ellipsoid_(Ellipsoid::shared(sr->semi_major, sr->flattening())), op_(projection::plane_to_lonlat(*sr)) {
  if (sr_->geographic) deg_per_unit_ = sr_->unit_factor * 180.0 / kPi;
  plane_.angular = sr_->geographic;
  plane_.to_lonlat = [this](double x, double y) {
    const std::vector<LonLat> r = to_lonlat(std::vector<std::pair<double, double>>{{x, y}});
    return r.front();
  };
  plane_.to_lonlat_all = [this](const std::vector<std::pair<double, double>>& xy) { return to_lonlat(xy); };
  plane_.from_lonlat = [this](const LonLat& p, double& x, double& y) {
    const auto r = from_lonlat(std::vector<LonLat>{p});
    x = r.front().first;
    y = r.front().second;
  };
  degrees_ = sr_->geographic && from_lonlat({{1, 1}}).front().first == 1;
}

std::vector<LonLat> Frame::to_lonlat(const std::vector<Vertex>& pts) const {
  std::vector<std::pair<double, double>> xy;
  xy.reserve(pts.size());
  for (const Vertex& v : pts) xy.emplace_back(v.x, v.y);
  return to_lonlat(xy);
}

std::vector<LonLat> Frame::to_lonlat(const std::vector<std::pair<double, double>>& pts) const {
  std::vector<LonLat> out(pts.size());
  for (const auto& [x, y] : pts)
    if (!std::isfinite(x) || !std::isfinite(y))
      fail(kInvalidArgument, "The geometry holds a coordinate that is not a number.");
  if (!op_) {
    for (std::size_t i = 0; i < pts.size(); ++i) {
      out[i].lon = pts[i].first * deg_per_unit_;
      out[i].lat = pts[i].second * deg_per_unit_;
      if (std::fabs(out[i].lat) > 90.0 + kBeyondPole)
        fail(kInvalidArgument, "The geometry holds a latitude beyond the poles.");
      out[i].lat = std::clamp(out[i].lat, -90.0, 90.0);
    }
    return out;
  }
  std::vector<double> x(pts.size()), y(pts.size());
  for (std::size_t i = 0; i < pts.size(); ++i) {
    x[i] = pts[i].first;
    y[i] = pts[i].second;
  }
  op_->apply(x, y, PJ_FWD);
  for (std::size_t i = 0; i < pts.size(); ++i) out[i] = {x[i], y[i]};
  return out;
}

std::vector<std::pair<double, double>> Frame::from_lonlat(const std::vector<LonLat>& pts) const {
  std::vector<std::pair<double, double>> out(pts.size());
  if (!op_) {
    for (std::size_t i = 0; i < pts.size(); ++i)
      out[i] = {pts[i].lon / deg_per_unit_, pts[i].lat / deg_per_unit_};
    return out;
  }
  std::vector<double> x(pts.size()), y(pts.size());
  for (std::size_t i = 0; i < pts.size(); ++i) {
    x[i] = pts[i].lon;
    y[i] = pts[i].lat;
  }
  op_->apply(x, y, PJ_INV);
  for (std::size_t i = 0; i < pts.size(); ++i) out[i] = {x[i], y[i]};
  return out;
}

CurveType curve_type_from(int32_t code) {
  if (!valid_curve_type(code))
    fail(kInvalidArgument, "Unknown geodetic curve type " + std::to_string(code) + ".");
  return static_cast<CurveType>(code);
}

}  // namespace vaskelith::geodetic
