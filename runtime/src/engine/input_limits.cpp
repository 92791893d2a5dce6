#include "engine/input_limits.hpp"

#include <algorithm>
#include <cmath>

#include "errors.hpp"

namespace vaskelith::limits {

namespace {

template <class F>
void each_vertex(const Geometry& g, F&& f) {
  switch (g.kind) {
    case GeometryKind::Point: f(g.point); break;
    case GeometryKind::Multipoint:
      for (const Vertex& v : g.points) f(v);
      break;
    case GeometryKind::Envelope:
      if (!g.envelope.empty()) {
        f(Vertex{g.envelope.xmin, g.envelope.ymin, kNaN, kNaN});
        f(Vertex{g.envelope.xmax, g.envelope.ymax, kNaN, kNaN});
      }
      break;
    default:
      for (const Part& p : g.parts)
        for (const Vertex& v : p.vertices) f(v);
  }
}

// |c| for a finite c, infinity for any other.
double magnitude(double c) { return std::isfinite(c) ? std::fabs(c) : INFINITY; }

double largest_curve_datum(const Curve& c) {
  switch (c.kind) {
    case SegmentKind::CubicBezier:
      return std::max({magnitude(c.bezier.c1x), magnitude(c.bezier.c1y), magnitude(c.bezier.c2x),
                       magnitude(c.bezier.c2y)});
    case SegmentKind::EllipticArc: {
      const EllipticArc& a = c.arc;
      // The arc reaches |centre| + semi-major axis.
      const double reach = std::max(magnitude(a.cx), magnitude(a.cy)) + magnitude(a.semi_major);
      return std::isfinite(a.ratio) && std::isfinite(a.rotation) && std::isfinite(a.start_param) &&
                     std::isfinite(a.sweep)
                 ? reach
                 : INFINITY;
    }
    default: return 0;
  }
}

}  // namespace

double largest_coordinate(const Geometry& g) {
  double largest = 0;
  each_vertex(g, [&](const Vertex& v) {
    for (double c : {v.x, v.y})
      if (std::isfinite(c)) largest = std::max(largest, std::fabs(c));
  });
  if (g.is_multipart())
    for (const Part& p : g.parts)
      for (const Curve& c : p.curves) largest = std::max(largest, largest_curve_datum(c));
  return largest;
}

void check_engine_range(const VertexList& vs) {
  const double* xy = vs.xy_data();
  for (std::size_t i = 0; i < 2 * vs.size(); ++i)
    if (std::fabs(xy[i]) > kLargestCoordinate)
      fail(kInvalidArgument, "The coordinates are too large for the geometry engine.");
}

void check_buffer_range(const Geometry& g, double distance) {
  if (!std::isfinite(distance)) fail(kInvalidArgument, "The buffer distance must be a finite number.");
  double largest = std::fabs(distance);
  if (!g.is_empty()) {
    const EnvelopeBounds e = extent_of(g);
    for (double v : {e.xmin, e.xmax, e.ymin, e.ymax})
      if (!std::isnan(v)) largest = std::max(largest, std::fabs(v));
  }
  if (!(largest <= kLargestCoordinate))
    fail(kInvalidArgument, "The coordinates or the buffer distance are too large to buffer.");
}

void check_geodetic_range(const Geometry& g, bool geographic) {
  const double limit = geographic ? kLargestGeographic : kLargestProjected;
  bool outside = !(largest_coordinate(g) < limit);
  if (!outside && !g.is_empty()) {
    // Curves reach beyond their vertices.
    const EnvelopeBounds box = extent_of(g);
    for (double v : {box.xmin, box.xmax, box.ymin, box.ymax})
      if (!(std::fabs(v) < limit)) outside = true;
  }
  if (outside) fail(kInvalidArgument, "The coordinates lie far outside the range of the coordinate system.");
}

double range_scale(const Geometry& g) {
  const double largest = largest_coordinate(g);
  if (!std::isfinite(largest) || largest == 0 || (largest >= kSmallestScaled && largest <= kLargestScaled)) return 1;
  // The largest coordinate to within a factor two of 1, as far as one
  // finite factor reaches (2^1074 to lift the smallest denormal is not one).
  return std::ldexp(1.0, std::clamp(-std::ilogb(largest), -1000, 1000));
}

}  // namespace vaskelith::limits
