// Parts, curve parts and part collections across the runtime boundary.
#include <cmath>
#include <numbers>

#include "binding/call.hpp"
#include "model/collection.hpp"
#include "model/convert_common.hpp"
#include "model/curvepart.hpp"
#include "model/part.hpp"

namespace ostrel::model {

using convert::lib;
using convert::unwrap;

// ---- model to runtime ----

namespace {

// Appends vertices [from, len) of `part` to `out` by their coordinates: the
// runtime part is the same as from one runtime point per vertex, without
// making and releasing those points.
void add_vertices(rt::MutablePart& out, const ZorvPart& part) {
  const std::size_t n = part.len();
  const double* xs = part.xs.data();
  const double* ys = part.ys.data();
  if (part.ms()) {
    // The runtime has no add with m: each vertex goes in as a point.
    for (std::size_t i = 0; i < n; ++i)
      out.add_point_x_y_z_m(xs[i], ys[i], part.zs() ? std::optional<double>((*part.zs())[i]) : std::nullopt,
                            (*part.ms())[i]);
    return;
  }
  out.add_points(xs, ys, part.zs() ? part.zs()->data() : nullptr, n);
}

void add_vertex(rt::MutablePart& out, const ZorvCoord& c) { out.add_point_x_y_z_m(c.x(), c.y(), c.z(), c.m()); }

// Segment construction: the segment gets the spatial reference, its points
// none.
rt::EllipticArcSegment circular_segment(const CircularArc& a, const ZorvCoord& start, const ZorvCoord& end,
                                        const rt::SpatialReference* sr) {
  rt::Point s = start.as_point();
  rt::Point e = end.as_point();
  rt::Point interior = rt::Point::with_x_y(a.interior_x, a.interior_y);
  return lib([&] {
    return rt::EllipticArcSegment::with_circular_elliptic_arc_with_start_end_and_interior(s, e, interior, sr);
  });
}

rt::EllipticArcSegment elliptic_segment(const EllipticArc& a, const ZorvCoord& start, const ZorvCoord& end,
                                        const rt::SpatialReference* sr) {
  rt::Point s = start.as_point();
  rt::Point e = end.as_point();
  return lib([&] {
    return rt::EllipticArcSegment::with_start_and_end_points(s, e, a.minor, !a.clockwise, sr, a.rotation,
                                                             a.axis, a.ratio);
  });
}

rt::CubicBezierSegment bezier_segment(const BezierCurve& b, const ZorvCoord& start, const ZorvCoord& end,
                                      const rt::SpatialReference* sr) {
  rt::Point s = start.as_point();
  rt::Point c1 = rt::Point::with_x_y(b.ctrl1_x, b.ctrl1_y);
  rt::Point c2 = rt::Point::with_x_y(b.ctrl2_x, b.ctrl2_y);
  rt::Point e = end.as_point();
  return lib([&] {
    return rt::CubicBezierSegment::with_start_point_control_point1_control_point2_end_point_spatial_reference(
        s, c1, c2, e, sr);
  });
}

void add_curve(const CurveData& curve, rt::MutablePart& part, const ZorvCoord& start, const ZorvCoord& end,
               const rt::SpatialReference* sr) {
  struct Adder {
    rt::MutablePart& part;
    const ZorvCoord& start;
    const ZorvCoord& end;
    const rt::SpatialReference* sr;
    void operator()(const Linear&) const { add_vertex(part, end); }
    void operator()(const CircularArc& a) const { part.add_segment(circular_segment(a, start, end, sr)); }
    void operator()(const EllipticArc& a) const { part.add_segment(elliptic_segment(a, start, end, sr)); }
    void operator()(const BezierCurve& b) const { part.add_segment(bezier_segment(b, start, end, sr)); }
  };
  std::visit(Adder{part, start, end, sr}, curve);
}

}  // namespace

rt::MutablePart convert::part_to_runtime(const ZorvPart& part, const rt::SpatialReference* sr) {
  rt::MutablePart out = rt::MutablePart::with_spatial_reference(sr);
  add_vertices(out, part);
  return out;
}

rt::MutablePart convert::part_to_runtime(const ZorvCurvePart& part, const rt::SpatialReference* sr) {
  rt::MutablePart out = rt::MutablePart::with_spatial_reference(sr);
  if (part.is_empty()) return out;
  // Vertex 0 starts the part; its curve data describes nothing.
  ZorvCoord prev = *part.part.get_coord(0);
  add_vertex(out, prev);
  for (std::size_t i = 1; i < part.len(); ++i) {
    std::optional<ZorvCurvePart::Vertex> v = part.get(i);
    add_curve(v->second, out, prev, v->first, sr);
    prev = v->first;
  }
  return out;
}

template <class P>
void convert::add_parts(const DimensionedCollection<P>& parts, rt::MutablePartCollection& out,
                        const rt::SpatialReference* sr) {
  for (const Cell<P>& cell : parts.lines) {
    Cell<P> share = cell;
    auto g = share.read_or_fatal("Lock poisoned");
    rt::MutablePart part = part_to_runtime(*g, sr);
    out.add_part(part);
  }
}

void convert::add_straight_parts(const PartCollection& parts, rt::MultipartBuilderBase& out) {
  for (const Cell<ZorvPart>& cell : parts.lines) {
    auto g = cell.read_or_fatal("Lock poisoned");
    const ZorvPart& part = *g;
    if (part.ms()) core::fatal("Internal error: a part with m among straight parts without m");
    out.add_part(part.xs.data(), part.ys.data(), part.zs() ? part.zs()->data() : nullptr, part.len());
  }
}

template void convert::add_parts(const PartCollection&, rt::MutablePartCollection&, const rt::SpatialReference*);
template void convert::add_parts(const CurvePartCollection&, rt::MutablePartCollection&,
                                 const rt::SpatialReference*);

// ---- runtime to model ----

ZorvPart ZorvPart::from_immutable_part(rt::ImmutablePart part, bool has_z, bool has_m) {
  ZorvPart out(has_z, has_m);
  const auto n = static_cast<std::size_t>(part.point_count());
  out.reserve(n);
  rt::ImmutablePointIntoIter it = part.points().into_iter();
  // A z or m without its column would be dropped, so it is not asked for.
  while (std::optional<rt::Point> p = it.next())
    out.push_coord(p->x(), p->y(), has_z ? p->z() : std::nullopt, has_m ? p->m() : std::nullopt);
  return out;
}

CurveData curve_from_segment(const rt::SegmentOwned& segment, const ZorvCoord& start, const ZorvCoord& end) {
  if (segment.try_downcast_ref<rt::LineSegment>()) return Linear{};
  if (auto arc = segment.try_downcast_ref<rt::EllipticArcSegment>()) {
    const rt::EllipticArcSegment& a = arc->get();
    const double central = a.central_angle();
    if (a.is_circular() && std::fabs(central) < std::numbers::pi / 2) {
      // The middle of the arc lies off the chord's middle by the sagitta,
      // (chord / 2) tan(central / 4), to the right of the chord when the arc
      // turns counter-clockwise.  Not from the center: that of a nearly
      // straight arc is so far away that its coordinates round by more than
      // the arc bulges.  From a quarter turn on the center is within the
      // chord's length and gives the point as well.
      const double qx = end.x() - start.x(), qy = end.y() - start.y();
      const double off = std::tan(central / 4) / 2;
      return CircularArc{start.x() + qx / 2 + off * qy, start.y() + qy / 2 - off * qx};
    }
    rt::Point center = a.center_point();
    if (a.is_circular()) {
      const double mid = (a.start_angle() + a.end_angle()) * 0.5;
      const double radius = a.semi_major_axis();
      return CircularArc{center.x() + std::cos(mid) * radius, center.y() + std::sin(mid) * radius};
    }
    EllipticArc out;
    out.center_x = center.x();
    out.center_y = center.y();
    out.rotation = a.rotation_angle();
    out.axis = a.semi_major_axis();
    out.ratio = a.minor_major_ratio();
    out.minor = std::fabs(central) < std::numbers::pi;
    out.clockwise = !a.is_counter_clockwise();
    return out;
  }
  if (auto bez = segment.try_downcast_ref<rt::CubicBezierSegment>()) {
    rt::Point c1 = bez->get().control_point1();
    rt::Point c2 = bez->get().control_point2();
    return BezierCurve{c1.x(), c1.y(), c2.x(), c2.y()};
  }
  throw ZorvGeoErr(ZorvGeoErr::Kind::VaskelithLibraryError, "Got segment of invalid type from vaskelith");
}

ZorvCurvePart::Vertex ZorvCurvePart::convert_segment_helper(const rt::ImmutablePart& part, std::size_t i) {
  const auto idx = static_cast<int64_t>(i);
  rt::Point p = unwrap([&] { return part.get_point(idx); });
  ZorvCoord c = ZorvCoord::make(p.x(), p.y(), p.z(), p.m());
  const int64_t seg = unwrap([&] { return part.get_segment_index_from_end_point_index(idx); });
  if (seg == -1) return {c, Linear{}};
  rt::SegmentOwned s = lib([&] { return part.get_segment(seg); });
  // The segment ending at vertex 0 is a ring's closing one, from its last.
  const int64_t before = idx == 0 ? part.point_count() - 1 : idx - 1;
  rt::Point q = unwrap([&] { return part.get_point(before); });
  return {c, curve_from_segment(s, ZorvCoord::make(q.x(), q.y(), q.z(), q.m()), c)};
}

ZorvCurvePart ZorvCurvePart::from_immutable_part(rt::ImmutablePart part, bool has_z, bool has_m) {
  ZorvCurvePart out(has_z, has_m);
  const int64_t n = part.point_count();
  for (int64_t i = 0; i < n; ++i) {
    Vertex v = convert_segment_helper(part, static_cast<std::size_t>(i));
    out.push(v.first, std::move(v.second));
  }
  return out;
}

ZorvCurvePart ZorvCurvePart::from_immutable_ring(rt::ImmutablePart part, bool has_z, bool has_m) {
  ZorvCurvePart out(has_z, has_m);
  if (part.is_empty()) return out;
  // The segment ending at vertex 0 is the ring's closing one.
  Vertex first = convert_segment_helper(part, 0);
  out.push(first.first, Linear{});
  const int64_t n = part.point_count();
  for (int64_t i = 1; i < n; ++i) {
    Vertex v = convert_segment_helper(part, static_cast<std::size_t>(i));
    out.push(v.first, std::move(v.second));
  }
  // A curved closing segment needs its end vertex spelled out; a straight one
  // is implied.
  if (!is_linear(first.second)) out.push(first.first, std::move(first.second));
  return out;
}

}  // namespace ostrel::model
