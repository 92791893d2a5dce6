// Segments: construction of Bezier curves and elliptic arcs, and their
// getters.
#include <cmath>

#include "curves.hpp"
#include "errors.hpp"
#include "handles.hpp"

using namespace vaskelith;

namespace {

const Geometry& point_of(QX_GeometryHandle h, const char* argument) {
  const Geometry& g = geometry_of(h, argument);
  if (g.kind != GeometryKind::Point) fail(kWrongType, std::string("The ") + argument + " is not a point.");
  if (std::isnan(g.point.x) || std::isnan(g.point.y))
    fail(kInvalidArgument, std::string("The ") + argument + " is empty.");
  return g;
}

QX_SegmentHandle new_segment(const Geometry& start, const Geometry& end, const Curve& curve,
                             QX_SpatialReferenceHandle sr) {
  auto s = std::make_shared<Segment>();
  s->start = start.point;
  s->end = end.point;
  s->curve = curve;
  s->has_z = start.has_z || end.has_z;
  s->has_m = start.has_m || end.has_m;
  s->spatial_reference = spatial_reference_of(sr);
  return make_handle(SegmentPtr(std::move(s)));
}

const Segment& segment_of(QX_SegmentHandle h) { return *deref(h, "segment").segment; }

const EllipticArc& arc_of(QX_SegmentHandle h) {
  const Segment& s = segment_of(h);
  if (s.curve.kind != SegmentKind::EllipticArc) fail(kWrongType, "The segment is not an elliptic arc.");
  return s.curve.arc;
}

const Segment& bezier_of(QX_SegmentHandle h) {
  const Segment& s = segment_of(h);
  if (s.curve.kind != SegmentKind::CubicBezier) fail(kWrongType, "The segment is not a cubic Bezier curve.");
  return s;
}

QX_GeometryHandle xy_point(double x, double y, const SpatialReferencePtr& sr) {
  auto p = std::make_shared<Geometry>();
  p->kind = GeometryKind::Point;
  p->point = Vertex{x, y, kNaN, kNaN};
  p->spatial_reference = sr;
  return make_handle(std::move(p));
}

Curve arc_curve(const EllipticArc& a) {
  Curve c;
  c.kind = SegmentKind::EllipticArc;
  c.arc = a;
  return c;
}

}  // namespace

extern "C" {

QX_EXPORT void QX_Segment_destroy(QX_SegmentHandle segment, const QX_ErrorHandler* handler) {
  destroy_handle(segment, handler, "QX_Segment_destroy", "segment");
}

QX_EXPORT int32_t QX_Segment_getObjectType(QX_SegmentHandle segment, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Segment_getObjectType", int32_t{-1},
                 [&] { return static_cast<int32_t>(segment_of(segment).curve.kind); });
}

/* ---- CubicBezierSegment ---- */

QX_EXPORT QX_SegmentHandle QX_CubicBezierSegment_create(QX_GeometryHandle start_point,
                                                        QX_GeometryHandle control_point1,
                                                        QX_GeometryHandle control_point2,
                                                        QX_GeometryHandle end_point,
                                                        QX_SpatialReferenceHandle spatial_reference,
                                                        const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_CubicBezierSegment_create", QX_SegmentHandle{}, [&] {
    const Geometry& s = point_of(start_point, "start point");
    const Geometry& c1 = point_of(control_point1, "first control point");
    const Geometry& c2 = point_of(control_point2, "second control point");
    const Geometry& e = point_of(end_point, "end point");
    Curve c;
    c.kind = SegmentKind::CubicBezier;
    c.bezier = BezierCurve{c1.point.x, c1.point.y, c2.point.x, c2.point.y};
    return new_segment(s, e, c, spatial_reference);
  });
}

QX_EXPORT QX_GeometryHandle QX_CubicBezierSegment_getControlPoint1(QX_SegmentHandle segment,
                                                                   const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_CubicBezierSegment_getControlPoint1", QX_GeometryHandle{}, [&] {
    const Segment& s = bezier_of(segment);
    return xy_point(s.curve.bezier.c1x, s.curve.bezier.c1y, s.spatial_reference);
  });
}

QX_EXPORT QX_GeometryHandle QX_CubicBezierSegment_getControlPoint2(QX_SegmentHandle segment,
                                                                   const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_CubicBezierSegment_getControlPoint2", QX_GeometryHandle{}, [&] {
    const Segment& s = bezier_of(segment);
    return xy_point(s.curve.bezier.c2x, s.curve.bezier.c2y, s.spatial_reference);
  });
}

/* ---- EllipticArcSegment ---- */

QX_EXPORT QX_SegmentHandle QX_EllipticArcSegment_createWithStartAndEndpoints(
    QX_GeometryHandle start_point, QX_GeometryHandle end_point, bool is_minor, bool is_counter_clockwise,
    QX_SpatialReferenceHandle spatial_reference, double rotation, double semi_major_axis,
    double minor_major_ratio, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_EllipticArcSegment_createWithStartAndEndpoints", QX_SegmentHandle{}, [&] {
    const Geometry& s = point_of(start_point, "start point");
    const Geometry& e = point_of(end_point, "end point");
    const EllipticArc a =
        elliptic_arc_from_endpoints(s.point.x, s.point.y, e.point.x, e.point.y, is_minor,
                                    is_counter_clockwise, rotation, semi_major_axis, minor_major_ratio);
    return new_segment(s, e, arc_curve(a), spatial_reference);
  });
}

QX_EXPORT QX_SegmentHandle QX_EllipticArcSegment_createCircularEllipticArcWithCenter(
    QX_GeometryHandle start_point, QX_GeometryHandle end_point, QX_GeometryHandle center_point, bool is_minor,
    bool is_counter_clockwise, QX_SpatialReferenceHandle spatial_reference, const QX_ErrorHandler* handler) {
  (void)is_minor;  // the center already picks the arc; the direction picks the side
  return guarded(handler, "QX_EllipticArcSegment_createCircularEllipticArcWithCenter", QX_SegmentHandle{},
                 [&] {
                   const Geometry& s = point_of(start_point, "start point");
                   const Geometry& e = point_of(end_point, "end point");
                   const Geometry& c = point_of(center_point, "center point");
                   const EllipticArc a = circular_arc_with_center(s.point.x, s.point.y, e.point.x, e.point.y,
                                                                  c.point.x, c.point.y, is_counter_clockwise);
                   return new_segment(s, e, arc_curve(a), spatial_reference);
                 });
}

QX_EXPORT QX_SegmentHandle QX_EllipticArcSegment_createCircularEllipticArcWithStartEndAndInterior(
    QX_GeometryHandle start_point, QX_GeometryHandle end_point, QX_GeometryHandle interior_point,
    QX_SpatialReferenceHandle spatial_reference, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_EllipticArcSegment_createCircularEllipticArcWithStartEndAndInterior",
                 QX_SegmentHandle{}, [&] {
                   const Geometry& s = point_of(start_point, "start point");
                   const Geometry& e = point_of(end_point, "end point");
                   const Geometry& i = point_of(interior_point, "interior point");
                   const EllipticArc a =
                       circular_arc_through(s.point.x, s.point.y, e.point.x, e.point.y, i.point.x, i.point.y);
                   return new_segment(s, e, arc_curve(a), spatial_reference);
                 });
}

QX_EXPORT QX_GeometryHandle QX_EllipticArcSegment_getCenterPoint(QX_SegmentHandle segment,
                                                                 const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_EllipticArcSegment_getCenterPoint", QX_GeometryHandle{}, [&] {
    const EllipticArc& a = arc_of(segment);
    return xy_point(a.cx, a.cy, segment_of(segment).spatial_reference);
  });
}

QX_EXPORT double QX_EllipticArcSegment_getCentralAngle(QX_SegmentHandle segment,
                                                       const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_EllipticArcSegment_getCentralAngle", kNaN,
                 [&] { return arc_central_angle(arc_of(segment)); });
}

QX_EXPORT double QX_EllipticArcSegment_getStartAngle(QX_SegmentHandle segment,
                                                     const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_EllipticArcSegment_getStartAngle", kNaN,
                 [&] { return arc_start_angle(arc_of(segment)); });
}

QX_EXPORT double QX_EllipticArcSegment_getEndAngle(QX_SegmentHandle segment, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_EllipticArcSegment_getEndAngle", kNaN,
                 [&] { return arc_end_angle(arc_of(segment)); });
}

QX_EXPORT bool QX_EllipticArcSegment_getIsCircular(QX_SegmentHandle segment, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_EllipticArcSegment_getIsCircular", false,
                 [&] { return arc_of(segment).is_circular(); });
}

QX_EXPORT bool QX_EllipticArcSegment_getIsCounterClockwise(QX_SegmentHandle segment,
                                                           const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_EllipticArcSegment_getIsCounterClockwise", false,
                 [&] { return arc_of(segment).is_counter_clockwise(); });
}

QX_EXPORT double QX_EllipticArcSegment_getMinorMajorRatio(QX_SegmentHandle segment,
                                                          const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_EllipticArcSegment_getMinorMajorRatio", kNaN,
                 [&] { return arc_of(segment).ratio; });
}

QX_EXPORT double QX_EllipticArcSegment_getRotationAngle(QX_SegmentHandle segment,
                                                        const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_EllipticArcSegment_getRotationAngle", kNaN,
                 [&] { return arc_of(segment).rotation; });
}

QX_EXPORT double QX_EllipticArcSegment_getSemiMajorAxis(QX_SegmentHandle segment,
                                                        const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_EllipticArcSegment_getSemiMajorAxis", kNaN,
                 [&] { return arc_of(segment).semi_major; });
}

}  // extern "C"
