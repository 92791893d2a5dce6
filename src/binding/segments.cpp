#include "binding/segments.hpp"

#include "binding/call.hpp"

namespace ostrel::rt {

int32_t SegmentOwned::kind_for_downcast_ref() const {
  return detail::call_or_fatal_with(
      "Internal error: Unexpectedly failed to get object type for downcast_ref of SegmentOwned",
      QX(QX_Segment_getObjectType), raw());
}

// ---- CubicBezierSegment ----

CubicBezierSegment
CubicBezierSegment::with_start_point_control_point1_control_point2_end_point_spatial_reference(
    const Point& start, const Point& control_point1, const Point& control_point2, const Point& end,
    const SpatialReference* sr) {
  return from_handle(OSTREL_RT_CALL(QX_CubicBezierSegment_create, start.raw(), control_point1.raw(),
                                    control_point2.raw(), end.raw(), raw_or_null(sr)));
}

Point CubicBezierSegment::control_point1() const {
  return Point::from_handle(OSTREL_RT_CALL_FATAL(QX_CubicBezierSegment_getControlPoint1, raw()));
}

Point CubicBezierSegment::control_point2() const {
  return Point::from_handle(OSTREL_RT_CALL_FATAL(QX_CubicBezierSegment_getControlPoint2, raw()));
}

// ---- EllipticArcSegment ----

EllipticArcSegment EllipticArcSegment::with_start_and_end_points(const Point& start, const Point& end,
                                                                 bool is_minor, bool is_counter_clockwise,
                                                                 const SpatialReference* sr, double rotation,
                                                                 double semi_major_axis,
                                                                 double minor_major_ratio) {
  return from_handle(OSTREL_RT_CALL(QX_EllipticArcSegment_createWithStartAndEndpoints, start.raw(), end.raw(),
                                    is_minor, is_counter_clockwise, raw_or_null(sr), rotation,
                                    semi_major_axis, minor_major_ratio));
}

EllipticArcSegment EllipticArcSegment::with_circular_elliptic_arc_with_center(
    const Point& start, const Point& end, const Point& center, bool is_minor, bool is_counter_clockwise,
    const SpatialReference* sr) {
  return from_handle(OSTREL_RT_CALL(QX_EllipticArcSegment_createCircularEllipticArcWithCenter, start.raw(),
                                    end.raw(), center.raw(), is_minor, is_counter_clockwise,
                                    raw_or_null(sr)));
}

EllipticArcSegment EllipticArcSegment::with_circular_elliptic_arc_with_start_end_and_interior(
    const Point& start, const Point& end, const Point& interior, const SpatialReference* sr) {
  return from_handle(OSTREL_RT_CALL(QX_EllipticArcSegment_createCircularEllipticArcWithStartEndAndInterior,
                                    start.raw(), end.raw(), interior.raw(), raw_or_null(sr)));
}

Point EllipticArcSegment::center_point() const {
  return Point::from_handle(OSTREL_RT_CALL_FATAL(QX_EllipticArcSegment_getCenterPoint, raw()));
}
double EllipticArcSegment::central_angle() const {
  return OSTREL_RT_CALL_FATAL(QX_EllipticArcSegment_getCentralAngle, raw());
}
double EllipticArcSegment::end_angle() const {
  return OSTREL_RT_CALL_FATAL(QX_EllipticArcSegment_getEndAngle, raw());
}
bool EllipticArcSegment::is_circular() const {
  return OSTREL_RT_CALL_FATAL(QX_EllipticArcSegment_getIsCircular, raw());
}
bool EllipticArcSegment::is_counter_clockwise() const {
  return OSTREL_RT_CALL_FATAL(QX_EllipticArcSegment_getIsCounterClockwise, raw());
}
double EllipticArcSegment::minor_major_ratio() const {
  return OSTREL_RT_CALL_FATAL(QX_EllipticArcSegment_getMinorMajorRatio, raw());
}
double EllipticArcSegment::rotation_angle() const {
  return OSTREL_RT_CALL_FATAL(QX_EllipticArcSegment_getRotationAngle, raw());
}
double EllipticArcSegment::semi_major_axis() const {
  return OSTREL_RT_CALL_FATAL(QX_EllipticArcSegment_getSemiMajorAxis, raw());
}
double EllipticArcSegment::start_angle() const {
  return OSTREL_RT_CALL_FATAL(QX_EllipticArcSegment_getStartAngle, raw());
}

}  // namespace ostrel::rt
