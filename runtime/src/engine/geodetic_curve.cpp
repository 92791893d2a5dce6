#include "engine/geodetic_curve.hpp"

#include "bounded_store.hpp"
#include "engine/gauss_legendre.hpp"
#include "engine/input_limits.hpp"

#include <GeographicLib/GeodesicLine.hpp>
#include <GeographicLib/PolygonArea.hpp>
#include <algorithm>
#include <cmath>
#include <limits>
#include <type_traits>
#include <utility>

namespace vaskelith::geodetic {

namespace {

// Central angles (radians) below which two points coincide, and within
// which of a half turn they are antipodal: either way they fix no plane of
// a section, and the geodesic stands in.
constexpr double kCoincident = 1e-15;
constexpr double kAntipodal = 1e-9;
// Flattening up to which loxodromes are computed from series in the third
// flattening rather than from elliptic integrals: the series is good to
// rounding there (its first term left out is n^7, 4e-20 for the earth), and
// the integrals cost several times more at every point of a loxodrome.
constexpr double kRhumbSeriesFlattening = 0.01;
// A normal of the section plane shorter than this fraction of the chord
// (or of 1 for a shorter chord) is no normal: the end lies on the start's
// normal line.
constexpr double kNoNormal = 1e-9;
// A Newton step on a curve's parameter this small has settled at
// rounding.
constexpr double kParamSettled = 1e-15;
// Halves of a piece of a length integral that agree with it to this
// fraction of the whole: a few hundred units in the last place, well
// within what the quadrature reaches and far below any use of a length.
constexpr double kLengthAgreement = 1e-13;

double dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
void cross(const double a[3], const double b[3], double out[3]) {
  out[0] = a[1] * b[2] - a[2] * b[1];
  out[1] = a[2] * b[0] - a[0] * b[2];
  out[2] = a[0] * b[1] - a[1] * b[0];
}
double norm(const double a[3]) { return std::sqrt(dot(a, a)); }
bool normalize(double a[3]) {
  const double n = norm(a);
  if (!(n > 0)) return false;
  a[0] /= n;
  a[1] /= n;
  a[2] /= n;
  return true;
}

// Longitude `lon` moved by whole turns to lie within 180 degrees of `ref`.
double unroll(double lon, double ref) {
  double d = std::remainder(lon - ref, 360.0);
  return ref + d;
}

// Number of pieces used to integrate a sampled curve: pieces of about 20 km,
// never fewer than 16.
std::size_t integration_pieces(double approx_length) {
  const double n = std::ceil(approx_length / 20000.0);
  return static_cast<std::size_t>(std::clamp(n, 16.0, 4096.0));
}

}  // namespace

bool valid_curve_type(int code) { return code >= 0 && code <= 4; }

Ellipsoid::Ellipsoid(double semi_major, double flattening)
    : a_(semi_major),
      f_(flattening),
      geodesic_(semi_major, flattening),
      rhumb_(semi_major, flattening, std::fabs(flattening) > kRhumbSeriesFlattening),
      geocentric_(semi_major, flattening) {
  geod_init(&solver_, semi_major, flattening);
}

std::shared_ptr<const Ellipsoid> Ellipsoid::shared(double semi_major, double flattening) {
  static BoundedStore<std::pair<double, double>, std::shared_ptr<const Ellipsoid>> made;
  return made.get(std::make_pair(semi_major, flattening),
                  [&] { return std::make_shared<const Ellipsoid>(semi_major, flattening); });
}

double Ellipsoid::distance(const LonLat& p, const LonLat& q) const {
  double s12 = 0;
  geod_geninverse(&solver_, p.lat, p.lon, q.lat, q.lon, &s12, nullptr, nullptr, nullptr, nullptr, nullptr,
                  nullptr);
  return s12;
}

// The ring is handed over as it lies in memory, longitude and latitude
// alternating.
static_assert(sizeof(LonLat) == 2 * sizeof(double) && std::is_standard_layout_v<LonLat>);

double Ellipsoid::geodesic_ring_area(const std::vector<LonLat>& pts) const {
  if (pts.empty()) return 0;
  return geod_ringarea(&solver_, &pts.front().lon, pts.size());
}

Segment::Segment(const Ellipsoid& ellipsoid, CurveType type, const LonLat& start, const LonLat& end,
                 const PlaneMap* plane, double sx, double sy, double ex, double ey)
    : e_(ellipsoid),
      type_(type),
      start_(start),
      end_(end),
      plane_(plane),
      sx_(sx),
      sy_(sy),
      ex_(ex),
      ey_(ey) {
  if (type_ == CurveType::ShapePreserving && plane_ == nullptr) type_ = CurveType::Geodesic;
  switch (type_) {
    case CurveType::Geodesic:
      use_geodesic();
      break;
    case CurveType::Loxodrome:
      e_.rhumb().Inverse(start.lat, start.lon, end.lat, end.lon, line_length_, azimuth_);
      // Set up once: the line's start costs more than a point along it.
      rhumb_line_.emplace(e_.rhumb().Line(start.lat, start.lon, azimuth_));
      break;
    case CurveType::GreatElliptic: {
      double p1[3], p2[3];
      e_.geocentric().Forward(start.lat, start.lon, 0, p1[0], p1[1], p1[2]);
      e_.geocentric().Forward(end.lat, end.lon, 0, p2[0], p2[1], p2[2]);
      double d1[3] = {p1[0], p1[1], p1[2]}, d2[3] = {p2[0], p2[1], p2[2]};
      normalize(d1);
      normalize(d2);
      double normal[3], sine[3];
      cross(p1, p2, normal);
      // The angle from both its sine and its cosine: the arc cosine alone
      // reads a dot product rounded just below 1 as 1.5e-8, and points a
      // few ulps apart would then fix a plane of rounding noise.
      cross(d1, d2, sine);
      const double omega = std::atan2(norm(sine), dot(d1, d2));
      // Coincident or antipodal points fix no plane: the geodesic stands in.
      if (omega < kCoincident || kPi - omega < kAntipodal || !set_section(normal)) use_geodesic();
      break;
    }
    case CurveType::NormalSection: {
      double p1[3], p2[3];
      e_.geocentric().Forward(start.lat, start.lon, 0, p1[0], p1[1], p1[2]);
      e_.geocentric().Forward(end.lat, end.lon, 0, p2[0], p2[1], p2[2]);
      const double phi = start.lat * kPi / 180, lam = start.lon * kPi / 180;
      const double up[3] = {std::cos(phi) * std::cos(lam), std::cos(phi) * std::sin(lam), std::sin(phi)};
      const double chord[3] = {p2[0] - p1[0], p2[1] - p1[1], p2[2] - p1[2]};
      double normal[3];
      cross(up, chord, normal);
      // The end point on the start point's normal line fixes no plane.
      if (!(norm(normal) > kNoNormal * std::max(1.0, norm(chord))) || !set_section(normal)) use_geodesic();
      break;
    }
    case CurveType::ShapePreserving:
      angular_ = plane_->angular;
      break;
  }
  degenerate_ = (start.lon == end.lon && start.lat == end.lat) &&
                (type_ != CurveType::ShapePreserving || (sx_ == ex_ && sy_ == ey_));
}

void Segment::use_geodesic() {
  type_ = CurveType::Geodesic;
  line_ =
      e_.geodesic().InverseLine(start_.lat, start_.lon, end_.lat, end_.lon,
                                GeographicLib::Geodesic::LATITUDE | GeographicLib::Geodesic::LONGITUDE |
                                    GeographicLib::Geodesic::DISTANCE_IN | GeographicLib::Geodesic::DISTANCE);
  line_length_ = line_.Distance();
}

bool Segment::set_section(const double normal[3]) {
  const double a = e_.semi_major(), b = a * (1 - e_.flattening());
  z_scale_ = a / b;
  double p1[3], p2[3];
  e_.geocentric().Forward(start_.lat, start_.lon, 0, p1[0], p1[1], p1[2]);
  e_.geocentric().Forward(end_.lat, end_.lon, 0, p2[0], p2[1], p2[2]);
  p1[2] *= z_scale_;
  p2[2] *= z_scale_;
  // Normals scale by the inverse of the points' scaling.
  double n[3] = {normal[0], normal[1], normal[2] / z_scale_};
  if (!normalize(n)) return false;
  const double d = dot(n, p1);
  for (int i = 0; i < 3; ++i) {
    c_[i] = d * n[i];
    u_[i] = p1[i] - c_[i];
  }
  r_ = norm(u_);
  if (!normalize(u_)) return false;
  cross(n, u_, v_);
  const double w[3] = {p2[0] - c_[0], p2[1] - c_[1], p2[2] - c_[2]};
  w_end_ = std::atan2(dot(w, v_), dot(w, u_));
  return std::isfinite(w_end_);
}

double Segment::section_speed(double angle) const {
  const double cw = std::cos(angle), sw = std::sin(angle);
  const double dx = r_ * (-sw * u_[0] + cw * v_[0]), dy = r_ * (-sw * u_[1] + cw * v_[1]),
               dz = r_ * (-sw * u_[2] + cw * v_[2]) / z_scale_;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

double Segment::section_length(double from, double to) const {
  // The speed varies with the flattening only, smoothly: 16 Gauss-Legendre
  // nodes per sixteenth of a turn integrate it to rounding.
  const int pieces = clamped_cast(std::ceil(std::fabs(to - from) / (kPi / 8)), 1, std::numeric_limits<int>::max());
  const double h = (to - from) / pieces;
  double total = 0;
  for (int k = 0; k < pieces; ++k) {
    total += quadrature::gauss([this](double t) { return section_speed(t); }, from + k * h, from + (k + 1) * h);
  }
  return total;
}

double Segment::angular_speed(double t) const {
  const double f = e_.flattening(), e2 = f * (2 - f);
  const double to_rad = kPi / 180;
  const double dlat = (end_.lat - start_.lat) * to_rad, dlon = (end_.lon - start_.lon) * to_rad;
  // The angle from the nearer pole, interpolated as such: its cosine near
  // the pole, multiplied by a longitude that may wind round it many times,
  // then keeps its relative precision.
  const double pole = start_.lat + end_.lat >= 0 ? 90.0 : -90.0;
  const double from_pole = ((pole - start_.lat) + ((pole - end_.lat) - (pole - start_.lat)) * t) * to_rad;
  const double sin_lat = std::cos(from_pole), cos_lat = std::fabs(std::sin(from_pole));
  const double w = 1 - e2 * sin_lat * sin_lat;
  // The radii of curvature of the prime vertical and of the meridian.
  const double n = e_.semi_major() / std::sqrt(w), m = n * (1 - e2) / w;
  return std::hypot(m * dlat, n * cos_lat * dlon);
}

bool Segment::by_quadrature() const {
  return type_ == CurveType::GreatElliptic || type_ == CurveType::NormalSection || angular_;
}

double Segment::param_speed(double t) const {
  return angular_ ? angular_speed(t) : section_speed(t * w_end_) * std::fabs(w_end_);
}

double Segment::param_length(double t0, double t1) const {
  if (!angular_) return (w_end_ < 0 ? -1.0 : 1.0) * section_length(t0 * w_end_, t1 * w_end_);
  const double sign = t1 < t0 ? -1.0 : 1.0;
  return sign * quadrature::adaptive_gauss([this](double t) { return angular_speed(t); }, std::min(t0, t1),
                                           std::max(t0, t1), kLengthAgreement);
}

void Segment::plane_at(double t, double& x, double& y) const {
  x = sx_ + (ex_ - sx_) * t;
  y = sy_ + (ey_ - sy_) * t;
}

LonLat Segment::at(double t) const {
  if (t <= 0) return start_;
  if (t >= 1) return end_;
  LonLat out;
  switch (type_) {
    case CurveType::Geodesic: {
      double lat = 0, lon = 0, azi = 0, s12 = 0, m12 = 0, mm12 = 0, mm21 = 0, area = 0;
      line_.GenPosition(false, t * line_length_,
                        GeographicLib::Geodesic::LATITUDE | GeographicLib::Geodesic::LONGITUDE |
                            GeographicLib::Geodesic::LONG_UNROLL,
                        lat, lon, azi, s12, m12, mm12, mm21, area);
      out = {lon, lat};
      break;
    }
    case CurveType::Loxodrome: {
      double lat = 0, lon = 0, s12 = 0;
      rhumb_line_->GenPosition(t * line_length_,
                               GeographicLib::Rhumb::LATITUDE | GeographicLib::Rhumb::LONGITUDE |
                                   GeographicLib::Rhumb::LONG_UNROLL,
                               lat, lon, s12);
      out = {lon, lat};
      break;
    }
    case CurveType::GreatElliptic:
    case CurveType::NormalSection: {
      const double w = t * w_end_, cw = std::cos(w), sw = std::sin(w);
      const double x = c_[0] + r_ * (cw * u_[0] + sw * v_[0]), y = c_[1] + r_ * (cw * u_[1] + sw * v_[1]),
                   z = (c_[2] + r_ * (cw * u_[2] + sw * v_[2])) / z_scale_;
      // A point of the surface: its normal gives the latitude directly.
      const double f = e_.flattening(), e2 = f * (2 - f);
      out = {unroll(std::atan2(y, x) * 180 / kPi, start_.lon),
             std::atan2(z, std::hypot(x, y) * (1 - e2)) * 180 / kPi};
      break;
    }
    case CurveType::ShapePreserving: {
      double x, y;
      plane_at(t, x, y);
      out = plane_->to_lonlat(x, y);
      out.lon = unroll(out.lon, start_.lon);
      break;
    }
  }
  return out;
}

double Segment::rough_length() const {
  // Through the middle: a straight line of the plane can run a long way
  // round between end points that lie close together.
  const LonLat mid = at(0.5);
  return e_.distance(start_, mid) + e_.distance(mid, end_);
}

void Segment::at_steps(std::size_t first, std::size_t m, std::vector<LonLat>& out) const {
  const auto t_of = [m](std::size_t i) { return static_cast<double>(i) / static_cast<double>(m); };
  if (type_ != CurveType::ShapePreserving) {
    for (std::size_t q = 0; q < out.size(); ++q) out[q] = at(t_of(first + q));
    return;
  }
  // As at() does point by point: the ends are the segment's own, the plane
  // points between them converted in one batch.
  std::vector<std::pair<double, double>> xy;
  xy.reserve(out.size());
  for (std::size_t q = 0; q < out.size(); ++q) {
    const double t = t_of(first + q);
    if (!(t > 0 && t < 1)) continue;
    double x = 0, y = 0;
    plane_at(t, x, y);
    xy.emplace_back(x, y);
  }
  const std::vector<LonLat> ll = xy.empty() ? std::vector<LonLat>{} : plane_->to_lonlat_all(xy);
  std::size_t k = 0;
  for (std::size_t q = 0; q < out.size(); ++q) {
    const double t = t_of(first + q);
    if (t <= 0) {
      out[q] = start_;
    } else if (t >= 1) {
      out[q] = end_;
    } else {
      out[q] = ll[k++];
      out[q].lon = unroll(out[q].lon, start_.lon);
    }
  }
}

void Segment::sample(std::size_t m, std::vector<double>& cumulative) const {
  // Samples are made a batch at a time: converting many plane points at
  // once costs far less per point than one by one.
  constexpr std::size_t kBatch = 1024;
  cumulative.assign(m + 1, 0.0);
  LonLat prev = at(0);
  std::vector<LonLat> batch;
  for (std::size_t i = 1; i <= m; i += kBatch) {
    batch.resize(std::min(kBatch, m + 1 - i));
    at_steps(i, m, batch);
    for (std::size_t q = 0; q < batch.size(); ++q) {
      cumulative[i + q] = cumulative[i + q - 1] + e_.distance(prev, batch[q]);
      prev = batch[q];
    }
  }
}

std::size_t Segment::pieces_for_length() const {
  if (degenerate_ || type_ != CurveType::ShapePreserving || angular_) return 0;
  return integration_pieces(rough_length());
}

double Segment::length(std::size_t pieces) const {
  if (degenerate_) return 0;
  if (type_ == CurveType::Geodesic || type_ == CurveType::Loxodrome) return line_length_;
  if (by_quadrature()) return std::fabs(param_length(0, 1));
  const std::size_t n = pieces ? pieces : integration_pieces(rough_length());
  std::vector<double> coarse, fine;
  sample(n, coarse);
  sample(2 * n, fine);
  // Joining samples by geodesics shortens the curve by a term in the square
  // of the step; Richardson extrapolation removes it.
  return (4 * fine.back() - coarse.back()) / 3;
}

std::vector<double> Segment::equal_length_params(std::size_t n) const {
  std::vector<double> params(n + 1);
  if (by_quadrature()) {
    // Newton's method on the length along the curve, piece after piece.
    const double total = length();
    double prev = 0;
    for (std::size_t k = 1; k < n; ++k) {
      const double want = total / static_cast<double>(n);
      double t = prev + want / total;
      for (int it = 0; it < 20; ++it) {
        const double got = param_length(prev, t);
        const double step = (want - got) / param_speed(t);
        t += step;
        if (std::fabs(step) < kParamSettled) break;
      }
      params[k] = prev = t;
    }
    params[n] = 1;
    return params;
  }
  const std::size_t m = std::max<std::size_t>(integration_pieces(rough_length()), 8 * n);
  std::vector<double> cum;
  sample(m, cum);
  const double total = cum.back();
  std::size_t j = 0;
  for (std::size_t k = 0; k <= n; ++k) {
    if (k == 0) {
      params[k] = 0;
      continue;
    }
    if (k == n) {
      params[k] = 1;
      continue;
    }
    const double target = total * static_cast<double>(k) / static_cast<double>(n);
    while (j + 1 < m && cum[j + 1] < target) ++j;
    const double span = cum[j + 1] - cum[j];
    const double frac = span > 0 ? (target - cum[j]) / span : 0;
    params[k] = (static_cast<double>(j) + frac) / static_cast<double>(m);
  }
  return params;
}

std::vector<LonLat> Segment::divide(std::size_t n) const {
  if (n == 0) n = 1;
  std::vector<LonLat> out;
  out.reserve(n + 1);
  if (type_ == CurveType::Geodesic || type_ == CurveType::Loxodrome || degenerate_) {
    for (std::size_t k = 0; k <= n; ++k) out.push_back(at(static_cast<double>(k) / static_cast<double>(n)));
  } else {
    for (double t : equal_length_params(n)) out.push_back(at(t));
  }
  out.front() = start_;
  out.back() = end_;
  return out;
}

std::vector<std::pair<double, double>> Segment::divide_plane(std::size_t n) const {
  if (n == 0) n = 1;
  std::vector<std::pair<double, double>> out;
  out.reserve(n + 1);
  for (double t : equal_length_params(n)) {
    double x, y;
    plane_at(t, x, y);
    out.emplace_back(x, y);
  }
  out.front() = {sx_, sy_};
  out.back() = {ex_, ey_};
  return out;
}

namespace {

// The first `count` edges of a path (the last one closing it when count is
// the number of points), straight in the plane when shape preserving.
std::vector<Segment> edges_of(const Ellipsoid& e, CurveType type, const std::vector<LonLat>& pts,
                              std::size_t count, const PlaneMap* plane,
                              const std::vector<std::pair<double, double>>* plane_xy) {
  const std::size_t n = pts.size();
  std::vector<Segment> out;
  out.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t j = (i + 1) % n;
    if (type == CurveType::ShapePreserving && plane && plane_xy)
      out.emplace_back(e, type, pts[i], pts[j], plane, (*plane_xy)[i].first, (*plane_xy)[i].second,
                       (*plane_xy)[j].first, (*plane_xy)[j].second);
    else
      out.emplace_back(e, type, pts[i], pts[j]);
  }
  return out;
}

}  // namespace

double path_length(const Ellipsoid& e, CurveType type, const std::vector<LonLat>& pts, bool closed,
                   const PlaneMap* plane, const std::vector<std::pair<double, double>>* plane_xy) {
  const std::size_t n = pts.size();
  if (n < 2) return 0;
  const std::size_t segs = closed ? n : n - 1;
  double total = 0;
  if (type == CurveType::ShapePreserving && plane && plane_xy) {
    // Edges straight in the plane are integrated piece by piece, as many as
    // their length asks for, unless the path would need more than the
    // budget of them (edges that wind round the globe many times over):
    // then fewer, in proportion.
    const std::vector<Segment> edges = edges_of(e, type, pts, segs, plane, plane_xy);
    std::vector<double> pieces;
    double count = 0;
    for (const Segment& edge : edges) {
      pieces.push_back(static_cast<double>(edge.pieces_for_length()));
      count += pieces.back();
    }
    const double thin = count > limits::kMaxLengthPieces ? limits::kMaxLengthPieces / count : 1.0;
    for (std::size_t i = 0; i < segs; ++i)
      total += edges[i].length(pieces[i] == 0 ? 0 : static_cast<std::size_t>(std::max(16.0, pieces[i] * thin)));
    return total;
  }
  for (std::size_t i = 0; i < segs; ++i) {
    const std::size_t j = (i + 1) % n;
    if (type == CurveType::Geodesic) {
      // The distance alone: no line needs to be set up for it.
      total += e.distance(pts[i], pts[j]);
    } else {
      total += Segment(e, type, pts[i], pts[j]).length();
    }
  }
  return total;
}

namespace {

// Area between the equator and latitude `lat` (degrees) per radian of
// longitude, on the ellipsoid: b^2/2 (sin p / (1 - e^2 sin^2 p) + atanh(e sin p) / e).
double strip(const Ellipsoid& e, double lat) {
  const double f = e.flattening(), a = e.semi_major(), b = a * (1 - f), e2 = f * (2 - f);
  const double s = std::sin(lat * kPi / 180);
  if (e2 == 0) return a * a * s;
  const double ecc = std::sqrt(e2);
  return b * b / 2 * (s / (1 - e2 * s * s) + std::atanh(ecc * s) / ecc);
}

// Area of a ring whose edges are straight in the plane: the sum over the
// edges of the integral of strip(lat) d(lon), by the trapezoid rule at two
// densities with Richardson extrapolation.  A ring that winds once around a
// pole (possible in a polar plane) is corrected by the pole's strip.
double shape_preserving_area(const Ellipsoid& e, const std::vector<LonLat>& pts, const PlaneMap& plane,
                             const std::vector<std::pair<double, double>>& xy) {
  const std::size_t n = pts.size();
  double total_coarse = 0, total_fine = 0, turn = 0, mean_lat = 0;
  double prev_lon = plane.angular ? 0 : pts[0].lon;
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t j = (i + 1) % n;
    const double len = e.distance(pts[i], pts[j]);
    const std::size_t m = clamped_cast<std::size_t>(std::ceil(len / 50000.0), 2, 4000) * 2;
    std::vector<LonLat> samples(m + 1);
    for (std::size_t k = 0; k <= m; ++k) {
      const double t = static_cast<double>(k) / static_cast<double>(m);
      const double x = xy[i].first + (xy[j].first - xy[i].first) * t;
      const double y = xy[i].second + (xy[j].second - xy[i].second) * t;
      LonLat p = (k == 0) ? pts[i] : (k == m ? pts[j] : plane.to_lonlat(x, y));
      if (plane.angular) {
        // The coordinates themselves are the angles, including past +-180.
        p = plane.to_lonlat(x, y);
      } else {
        p.lon = prev_lon + std::remainder(p.lon - prev_lon, 360.0);
        prev_lon = p.lon;
      }
      samples[k] = p;
    }
    double fine = 0, coarse = 0;
    for (std::size_t k = 0; k < m; ++k)
      fine += (strip(e, samples[k].lat) + strip(e, samples[k + 1].lat)) / 2 *
              (samples[k + 1].lon - samples[k].lon) * kPi / 180;
    for (std::size_t k = 0; k < m; k += 2)
      coarse += (strip(e, samples[k].lat) + strip(e, samples[k + 2].lat)) / 2 *
                (samples[k + 2].lon - samples[k].lon) * kPi / 180;
    total_fine += fine;
    total_coarse += coarse;
    turn += samples[m].lon - samples[0].lon;
    mean_lat += pts[i].lat;
  }
  double area = (4 * total_fine - total_coarse) / 3;
  if (!plane.angular) {
    const double turns = std::round(turn / 360.0);
    if (turns != 0) area -= strip(e, mean_lat >= 0 ? 90.0 : -90.0) * turns * 2 * kPi;
  }
  return area;
}

}  // namespace

double ring_area(const Ellipsoid& e, CurveType type, const std::vector<LonLat>& pts, const PlaneMap* plane,
                 const std::vector<std::pair<double, double>>* plane_xy, double* rounding) {
  const std::size_t n = pts.size();
  // The sums below add one term per point, each an angle of up to a turn
  // times the squared radius and good to a few units in the last place
  // (and the sum is taken modulo the whole ellipsoid).
  const double per_term = 16 * std::numeric_limits<double>::epsilon() * e.semi_major() * e.semi_major();
  if (rounding) *rounding = per_term * static_cast<double>(n);
  if (n < 3) return 0;
  // Straight edges of the plane: clockwise rings come out positive already.
  if (type == CurveType::ShapePreserving && plane && plane_xy)
    return shape_preserving_area(e, pts, *plane, *plane_xy);
  double area = 0, perimeter = 0;
  if (type == CurveType::Geodesic || (type == CurveType::ShapePreserving && !(plane && plane_xy))) {
    area = e.geodesic_ring_area(pts);
  } else if (type == CurveType::Loxodrome) {
    GeographicLib::PolygonAreaRhumb poly(e.rhumb(), false);
    for (const LonLat& p : pts) poly.AddPoint(p.lat, p.lon);
    poly.Compute(false, true, perimeter, area);
  } else {
    // The other curves are followed by short geodesic pieces, at two
    // densities; the area between a curve and its geodesic chords falls
    // with the square of the piece length, so Richardson extrapolation of
    // the two areas leaves far less than a square meter.
    GeographicLib::PolygonArea coarse(e.geodesic(), false), fine(e.geodesic(), false);
    const std::vector<Segment> segs = edges_of(e, type, pts, n, plane, plane_xy);
    std::vector<double> pieces;
    double total = 0;
    for (const Segment& seg : segs) {
      const double len = seg.length();
      pieces.push_back(std::isfinite(len) ? std::clamp(std::ceil(len / 5000.0), 1.0, 10000.0) : 1.0);
      total += pieces.back();
    }
    // Pieces of 5 km, unless the ring would need more than the budget of
    // them (edges that wind round the globe many times over): then longer
    // pieces, in proportion, still at least one per edge.
    const double thin = total > limits::kMaxAreaPieces ? limits::kMaxAreaPieces / total : 1.0;
    // The extrapolation weighs the rounding of the fine sum (two points a
    // piece) by 4/3 and of the coarse one (one a piece) by 1/3.
    double terms = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const Segment& seg = segs[i];
      const std::size_t count = static_cast<std::size_t>(std::max(1.0, std::floor(pieces[i] * thin)));
      terms += 3 * static_cast<double>(count);
      const std::vector<LonLat> div = seg.divide(2 * count);
      for (std::size_t k = 0; k + 1 < div.size(); ++k) {
        fine.AddPoint(div[k].lat, div[k].lon);
        if (k % 2 == 0) coarse.AddPoint(div[k].lat, div[k].lon);
      }
    }
    double area_coarse = 0, area_fine = 0;
    coarse.Compute(false, true, perimeter, area_coarse);
    fine.Compute(false, true, perimeter, area_fine);
    area = (4 * area_fine - area_coarse) / 3;
    if (rounding) *rounding = per_term * terms;
  }
  // PolygonArea counts counter-clockwise rings as positive; the runtime's
  // exterior rings run clockwise.
  return -area;
}

}  // namespace vaskelith::geodetic
