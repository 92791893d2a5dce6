// Owning handles of runtime segments.
//
// A part hands out SegmentOwned; the typed handles are seen through
// `downcast_ref`, or made by the constructors below (which, unlike geometry
// constructors, do not run the environment initialisation).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "binding/geometry.hpp"
#include "binding/handle.hpp"
#include "binding/spatial_reference.hpp"

namespace ostrel::rt {

class SegmentBase : public detail::RawHandle<QX_SegmentHandle> {
 protected:
  using RawHandle::RawHandle;
  ~SegmentBase() = default;
};

template <class Derived>
using SegmentHandle = Handle<Derived, QX_SegmentHandle, fn::QX_Segment_destroy, "Segment", SegmentBase>;

// Only borrowed views of line segments exist.
class LineSegment : public SegmentHandle<LineSegment>, public KindOf<1, "geometry::line_segment::LineSegment"> {
 public:
  using Handle::Handle;
};

class CubicBezierSegment : public SegmentHandle<CubicBezierSegment>,
                           public KindOf<2, "geometry::cubic_bezier_segment::CubicBezierSegment"> {
 public:
  using Handle::Handle;

  // Points are borrowed; a runtime error throws Error.
  static CubicBezierSegment with_start_point_control_point1_control_point2_end_point_spatial_reference(
      const Point& start, const Point& control_point1, const Point& control_point2, const Point& end,
      const SpatialReference* sr);

  // Runtime errors are fatal.
  Point control_point1() const;
  Point control_point2() const;
};

class EllipticArcSegment : public SegmentHandle<EllipticArcSegment>,
                           public KindOf<3, "geometry::elliptic_arc_segment::EllipticArcSegment"> {
 public:
  using Handle::Handle;

  // Points are borrowed; a runtime error throws Error.
  static EllipticArcSegment with_start_and_end_points(const Point& start, const Point& end, bool is_minor,
                                                      bool is_counter_clockwise, const SpatialReference* sr,
                                                      double rotation, double semi_major_axis,
                                                      double minor_major_ratio);
  static EllipticArcSegment with_circular_elliptic_arc_with_center(const Point& start, const Point& end,
                                                                   const Point& center, bool is_minor,
                                                                   bool is_counter_clockwise,
                                                                   const SpatialReference* sr);
  static EllipticArcSegment with_circular_elliptic_arc_with_start_end_and_interior(
      const Point& start, const Point& end, const Point& interior, const SpatialReference* sr);

  // Runtime errors are fatal.
  Point center_point() const;
  double central_angle() const;
  double end_angle() const;
  bool is_circular() const;
  bool is_counter_clockwise() const;
  double minor_major_ratio() const;
  double rotation_angle() const;
  double semi_major_axis() const;
  double start_angle() const;
};

template <class T>
concept TypedSegment = std::is_same_v<T, LineSegment> || std::is_same_v<T, CubicBezierSegment> ||
                       std::is_same_v<T, EllipticArcSegment>;

// A segment of any kind, as a part hands it out; downcast_ref and
// try_downcast_ref (DowncastRef) give a typed view.
class SegmentOwned : public SegmentHandle<SegmentOwned>, public DowncastRef<SegmentOwned> {
 public:
  using Handle::Handle;
  static constexpr std::string_view kName = "SegmentOwned";

  template <TypedSegment T>
  SegmentOwned(T&& s) noexcept : Handle(adopt, s.into_raw()) {}

 private:
  friend class DowncastRef<SegmentOwned>;
  int32_t kind_for_downcast_ref() const;
};

}  // namespace ostrel::rt
