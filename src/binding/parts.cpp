#include "binding/parts.hpp"

#include "binding/call.hpp"
#include "binding/environment.hpp"

namespace ostrel::rt {
// ---- MutablePart ----

MutablePart MutablePart::with_spatial_reference(const SpatialReference* sr) {
  environment::init();
  return from_handle(OSTREL_RT_CALL_FATAL(QX_MutablePart_createWithSpatialReference, raw_or_null(sr)));
}

int64_t MutablePart::add_point(const Point& point) {
  return OSTREL_RT_CALL_FATAL(QX_MutablePart_addPoint, raw(), point.raw());
}

int64_t MutablePart::add_point_x_y(double x, double y) {
  return OSTREL_RT_CALL_FATAL(QX_MutablePart_addPointXY, raw(), x, y);
}

int64_t MutablePart::add_point_x_y_z_m(double x, double y, std::optional<double> z, std::optional<double> m) {
  if (m) {
    // The runtime has no add with m: the point is made first.
    Point point = Point::with_x_y_z_m(x, y, z, m);
    return add_point(point);
  }
  if (z) return OSTREL_RT_CALL_FATAL(QX_MutablePart_addPointXYZ, raw(), x, y, *z);
  return add_point_x_y(x, y);
}

void MutablePart::add_points(const double* xs, const double* ys, const double* zs, std::size_t n) {
  // The table entry is fetched once per part, not per vertex.
  CallError err;
  const QX_MutablePartHandle h = raw();
  if (zs) {
    auto add = QX(QX_MutablePart_addPointXYZ);
    for (std::size_t i = 0; i < n; ++i) {
      add(h, xs[i], ys[i], zs[i], err.handler());
      if (err.failed()) detail::fatal_call("QX_MutablePart_addPointXYZ", *err.slot());
    }
    return;
  }
  auto add = QX(QX_MutablePart_addPointXY);
  for (std::size_t i = 0; i < n; ++i) {
    add(h, xs[i], ys[i], err.handler());
    if (err.failed()) detail::fatal_call("QX_MutablePart_addPointXY", *err.slot());
  }
}

void MutablePart::add_segment(const SegmentBase& segment) {
  OSTREL_RT_CALL_FATAL(QX_MutablePart_addSegment, raw(), segment.raw());
}

// ---- MutablePartCollection ----

MutablePartCollection MutablePartCollection::with_spatial_reference(const SpatialReference* sr) {
  environment::init();
  return from_handle(
      OSTREL_RT_CALL_FATAL(QX_MutablePartCollection_createWithSpatialReference, raw_or_null(sr)));
}

int64_t MutablePartCollection::size() const {
  return OSTREL_RT_CALL_FATAL(QX_MutablePartCollection_getSize, raw());
}

int64_t MutablePartCollection::add_part(const MutablePart& part) {
  return OSTREL_RT_CALL_FATAL(QX_MutablePartCollection_addPart, raw(), part.raw());
}

MutablePart MutablePartCollection::get_part(int64_t index) const {
  return MutablePart::from_handle(OSTREL_RT_CALL(QX_MutablePartCollection_getPart, raw(), index));
}

// ---- MutablePointCollection ----

MutablePointCollection MutablePointCollection::with_spatial_reference(const SpatialReference* sr) {
  environment::init();
  return from_handle(
      OSTREL_RT_CALL_FATAL(QX_MutablePointCollection_createWithSpatialReference, raw_or_null(sr)));
}

int64_t MutablePointCollection::add_point(const Point& point) {
  return OSTREL_RT_CALL_FATAL(QX_MutablePointCollection_addPoint, raw(), point.raw());
}

// ---- ImmutablePart ----

bool ImmutablePart::has_curves() const { return OSTREL_RT_CALL_FATAL(QX_ImmutablePart_getHasCurves, raw()); }
bool ImmutablePart::is_empty() const { return OSTREL_RT_CALL_FATAL(QX_ImmutablePart_getIsEmpty, raw()); }
int64_t ImmutablePart::point_count() const {
  return OSTREL_RT_CALL_FATAL(QX_ImmutablePart_getPointCount, raw());
}

Point ImmutablePart::get_point(int64_t point_index) const {
  return Point::from_handle(OSTREL_RT_CALL(QX_ImmutablePart_getPoint, raw(), point_index));
}

SegmentOwned ImmutablePart::get_segment(int64_t segment_index) const {
  return SegmentOwned::from_handle(OSTREL_RT_CALL(QX_ImmutablePart_getSegment, raw(), segment_index));
}

int64_t ImmutablePart::get_segment_index_from_end_point_index(int64_t point_index) const {
  return OSTREL_RT_CALL(QX_ImmutablePart_getSegmentIndexFromEndPointIndex, raw(), point_index);
}

ImmutablePointCollection ImmutablePart::get_points() const {
  return ImmutablePointCollection::from_handle(OSTREL_RT_CALL_FATAL(QX_ImmutablePart_getPoints, raw()));
}

ImmutablePointCollection ImmutablePart::points() const { return get_points(); }

// ---- ImmutablePartCollection ----

int64_t ImmutablePartCollection::size() const {
  return OSTREL_RT_CALL_FATAL(QX_ImmutablePartCollection_getSize, raw());
}

ImmutablePart ImmutablePartCollection::get_part(int64_t index) const {
  return ImmutablePart::from_handle(OSTREL_RT_CALL(QX_ImmutablePartCollection_getPart, raw(), index));
}

ImmutablePartIntoIter ImmutablePartCollection::into_iter() && {
  return ImmutablePartIntoIter(std::move(*this));
}

// ---- ImmutablePointCollection ----

int64_t ImmutablePointCollection::size() const {
  return OSTREL_RT_CALL_FATAL(QX_ImmutablePointCollection_getSize, raw());
}

Point ImmutablePointCollection::get_point(int64_t index) const {
  return Point::from_handle(OSTREL_RT_CALL(QX_ImmutablePointCollection_getPoint, raw(), index));
}

ImmutablePointIntoIter ImmutablePointCollection::into_iter() && {
  return ImmutablePointIntoIter(std::move(*this));
}

}  // namespace ostrel::rt
