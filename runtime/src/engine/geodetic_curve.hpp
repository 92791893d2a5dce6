// Curves between two points on an ellipsoid, and measurement along them.
//
// The five curve types of the geodetic engine calls:
//   Geodesic         the shortest path (GeographicLib Geodesic, exact to
//                    rounding);
//   Loxodrome        the line of constant azimuth (GeographicLib Rhumb);
//   GreatElliptic    the section of the ellipsoid by the plane through its
//                    center and both points;
//   NormalSection    the section by the plane that holds the start point's
//                    normal and the end point;
//   ShapePreserving  the straight line of the spatial reference's own plane;
//                    the caller supplies that plane as a PlaneMap.
//
// The two plane sections are ellipses: scaling z by a/b turns the ellipsoid
// into a sphere and the section into a circle, which gives their points in
// closed form; their lengths are integrals of the speed along that circle,
// taken by Gauss-Legendre quadrature to rounding.  A shape-preserving
// segment of a geographic reference is straight in longitude and latitude:
// its speed, from the radii of curvature, depends on the latitude alone and
// its length is integrated to rounding the same way, adaptively where the
// line winds round a pole close by.  Those of a projected plane are
// sampled, consecutive samples joined by geodesics, and two sample
// densities combined by Richardson extrapolation, which leaves an error far
// below a millimeter for segments of any length.
#pragma once

#include <GeographicLib/Geocentric.hpp>
#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/GeodesicLine.hpp>
#include <GeographicLib/Rhumb.hpp>
#include <geodesic/geodesic.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace vaskelith::geodetic {

enum class CurveType : int {
  Geodesic = 0,
  Loxodrome = 1,
  GreatElliptic = 2,
  NormalSection = 3,
  ShapePreserving = 4
};

// Whether the code names one of the five curve types.
bool valid_curve_type(int code);

// Degrees.
struct LonLat {
  double lon = 0;
  double lat = 0;
};

// The plane of a spatial reference: plane coordinates to and from longitude
// and latitude in degrees.  Shape-preserving segments are straight in it.
struct PlaneMap {
  std::function<LonLat(double x, double y)> to_lonlat;
  // The same for many points at once, as exactly as one at a time: curves
  // sampled densely convert their samples in batches.
  std::function<std::vector<LonLat>(const std::vector<std::pair<double, double>>& xy)> to_lonlat_all;
  std::function<void(const LonLat&, double& x, double& y)> from_lonlat;
  // The plane's coordinates are longitude and latitude themselves (scaled):
  // longitudes run on past +-180 exactly as the coordinates do.
  bool angular = false;
};

class Ellipsoid {
 public:
  Ellipsoid(double semi_major, double flattening);
  Ellipsoid(const Ellipsoid&) = delete;
  Ellipsoid& operator=(const Ellipsoid&) = delete;

  // The ellipsoid of a size, kept for the next caller (a bounded number of
  // sizes): its solvers cost more to set up than a short measurement takes.
  static std::shared_ptr<const Ellipsoid> shared(double semi_major, double flattening);

  double semi_major() const { return a_; }
  double flattening() const { return f_; }
  const GeographicLib::Geodesic& geodesic() const { return geodesic_; }
  const GeographicLib::Rhumb& rhumb() const { return rhumb_; }
  const GeographicLib::Geocentric& geocentric() const { return geocentric_; }

  // Geodesic distance in meters.
  double distance(const LonLat& p, const LonLat& q) const;
  // The signed area (square meters) of the ring of geodesics through `pts`,
  // the last joined to the first, counter-clockwise positive, reduced to
  // within half the ellipsoid's area: PolygonArea's with the ring's points.
  double geodesic_ring_area(const std::vector<LonLat>& pts) const;

 private:
  double a_, f_;
  GeographicLib::Geodesic geodesic_;
  // The same geodesics, solved by the runtime's own compiled copy of the C
  // routines: the per-edge solutions of lengths and areas (distance and
  // geodesic_ring_area) come from these, equal to geodesic_'s to the bit.
  geod_geodesic solver_;
  GeographicLib::Rhumb rhumb_;
  GeographicLib::Geocentric geocentric_;
};

// One segment of a given curve type from `start` to `end`.  For
// ShapePreserving, `plane` must be given and the segment is straight between
// the plane points (sx, sy) and (ex, ey); start and end are then their
// longitude and latitude.
class Segment {
 public:
  Segment(const Ellipsoid& ellipsoid, CurveType type, const LonLat& start, const LonLat& end,
          const PlaneMap* plane = nullptr, double sx = 0, double sy = 0, double ex = 0, double ey = 0);

  // Length in meters.  Edges straight in the plane (shape preserving) are
  // integrated in `pieces` pieces, or, with 0, in as many as their length
  // asks for (pieces_for_length).
  double length(std::size_t pieces = 0) const;
  // The pieces length() integrates this segment in by default; 0 when it
  // takes no samples.
  std::size_t pieces_for_length() const;

  // Points dividing the segment into n pieces of equal length: n + 1 points,
  // the first and the last being start and end.  Longitudes run on from the
  // start's without a jump at the antimeridian.
  std::vector<LonLat> divide(std::size_t n) const;

  // For ShapePreserving: the plane points dividing the segment into n pieces
  // of equal ground length (n + 1 points as (x, y) pairs).
  std::vector<std::pair<double, double>> divide_plane(std::size_t n) const;

 private:
  // Point at parameter t in [0, 1] (not proportional to length, except for
  // the geodesic and the loxodrome).
  LonLat at(double t) const;
  // at(i / m) for i = first .. first + out.size() - 1, the plane's samples
  // converted together.
  void at_steps(std::size_t first, std::size_t m, std::vector<LonLat>& out) const;
  void use_geodesic();
  // A lower bound of the length, good to a few percent, to size sampling.
  double rough_length() const;
  void plane_at(double t, double& x, double& y) const;
  // Samples of the parameter with equal steps, with cumulative lengths.
  void sample(std::size_t m, std::vector<double>& cumulative) const;
  // Plane sections: speed (meters per radian of the circle's angle) and
  // length between two angles.
  double section_speed(double angle) const;
  double section_length(double from, double to) const;
  // Speed along a line straight in longitude and latitude, in meters per
  // unit of the parameter.
  double angular_speed(double t) const;
  // Curves measured by quadrature of their speed (plane sections and lines
  // straight in longitude and latitude): meters per unit of the parameter
  // t, and the length from t0 to t1, negative when t1 < t0.
  bool by_quadrature() const;
  double param_speed(double t) const;
  double param_length(double t0, double t1) const;
  // The parameter values at which the cumulative length reaches k/n of the
  // total, for k = 0..n.
  std::vector<double> equal_length_params(std::size_t n) const;

  const Ellipsoid& e_;
  CurveType type_;
  LonLat start_, end_;
  const PlaneMap* plane_;
  double sx_, sy_, ex_, ey_;
  // Geodesic and loxodrome: the line and its length.
  GeographicLib::GeodesicLine line_;
  std::optional<GeographicLib::RhumbLine> rhumb_line_;
  double line_length_ = 0;
  double azimuth_ = 0;
  bool degenerate_ = false;
  // Shape preserving in a plane of longitude and latitude themselves.
  bool angular_ = false;
  // Plane sections, in earth-centered coordinates with z scaled by a/b:
  // the circle c + r (cos w u + sin w v) for w from 0 (start) to w_end_.
  double c_[3] = {0, 0, 0}, u_[3] = {0, 0, 0}, v_[3] = {0, 0, 0};
  double r_ = 0, w_end_ = 0, z_scale_ = 1;
  // Sets up the circle of the plane through the start with this normal;
  // false when the plane meets the ellipsoid in no usable circle.
  bool set_section(const double normal[3]);
};

// Length in meters of a path or ring of longitude/latitude points, each edge
// following `type`.  For ShapePreserving, `plane_xy` holds the plane points
// (same count as `pts`) and `plane` their plane.
double path_length(const Ellipsoid& e, CurveType type, const std::vector<LonLat>& pts, bool closed,
                   const PlaneMap* plane = nullptr,
                   const std::vector<std::pair<double, double>>* plane_xy = nullptr);

// Signed area in square meters of one ring of longitude/latitude points
// (open: the closing edge is implied), each edge following `type`.
// Clockwise rings are positive, counter-clockwise rings negative.  With
// `rounding`, also the size of area the computation's own rounding can
// make up for this ring: a ring measuring no more has no measurable area,
// and the sign of its area tells nothing.
double ring_area(const Ellipsoid& e, CurveType type, const std::vector<LonLat>& pts,
                 const PlaneMap* plane = nullptr,
                 const std::vector<std::pair<double, double>>* plane_xy = nullptr, double* rounding = nullptr);

}  // namespace vaskelith::geodetic
