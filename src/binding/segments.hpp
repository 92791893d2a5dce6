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

void destroy_segment(QX_SegmentHandle h, const QX_ErrorHandler* eh);

class SegmentBase : public detail::RawHandle<QX_SegmentHandle> {
 protected:
  using RawHandle::RawHandle;
  ~SegmentBase() = default;
};

template <class Derived>
class SegmentHandle : public Handle<Derived, QX_SegmentHandle, SegmentBase> {
 public:
  using Handle<Derived, QX_SegmentHandle, SegmentBase>::Handle;
  static constexpr std::string_view kFamily = "Segment";
  static void destroy(QX_SegmentHandle h, const QX_ErrorHandler* eh) { destroy_segment(h, eh); }
};

// Only borrowed views of line segments exist.
class LineSegment : public SegmentHandle<LineSegment> {
 public:
  using SegmentHandle::SegmentHandle;
  static constexpr std::string_view kName = "LineSegment";
  static constexpr std::string_view kTypePath = "geometry::line_segment::LineSegment";
  static constexpr int32_t kKind = 1;
};

class CubicBezierSegment : public SegmentHandle<CubicBezierSegment> {
 public:
  using SegmentHandle::SegmentHandle;
  static constexpr std::string_view kName = "CubicBezierSegment";
  static constexpr std::string_view kTypePath = "geometry::cubic_bezier_segment::CubicBezierSegment";
  static constexpr int32_t kKind = 2;

  // Points are borrowed; a runtime error throws Error.
  static CubicBezierSegment with_start_point_control_point1_control_point2_end_point_spatial_reference(
      const Point& start, const Point& control_point1, const Point& control_point2, const Point& end,
      const SpatialReference* sr);

  // Runtime errors are fatal.
  Point control_point1() const;
  Point control_point2() const;
};

class EllipticArcSegment : public SegmentHandle<EllipticArcSegment> {
 public:
  using SegmentHandle::SegmentHandle;
  static constexpr std::string_view kName = "EllipticArcSegment";
  static constexpr std::string_view kTypePath = "geometry::elliptic_arc_segment::EllipticArcSegment";
  static constexpr int32_t kKind = 3;

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

class SegmentOwned : public SegmentHandle<SegmentOwned> {
 public:
  using SegmentHandle::SegmentHandle;
  static constexpr std::string_view kName = "SegmentOwned";

  template <TypedSegment T>
  SegmentOwned(T&& s) noexcept : SegmentHandle(adopt, s.into_raw()) {}

  // A view of the same handle as T, or the conversion error thrown; a failed
  // kind query is fatal.  Nothing is released either way.
  template <TypedSegment T>
  Borrowed<T> downcast_ref() const {
    if (kind_for_downcast_ref() != T::kKind)
      throw Error::new_conversion_error("SegmentOwned", std::string(T::kTypePath));
    return Borrowed<T>(raw());
  }
  // The same without the exception: absent on a kind mismatch.
  template <TypedSegment T>
  std::optional<Borrowed<T>> try_downcast_ref() const {
    if (kind_for_downcast_ref() != T::kKind) return std::nullopt;
    return std::optional<Borrowed<T>>(std::in_place, raw());
  }

 private:
  int32_t kind_for_downcast_ref() const;
};

}  // namespace ostrel::rt
