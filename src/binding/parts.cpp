#include "binding/parts.hpp"

#include "binding/call.hpp"
#include "binding/environment.hpp"

namespace ostrel::rt {
namespace {

QX_SpatialReferenceHandle raw_or_null(const SpatialReference* sr) { return sr ? sr->raw() : nullptr; }

}  // namespace

// ---- MutablePart ----

void MutablePart::destroy(QX_MutablePartHandle h, const QX_ErrorHandler* eh) {
  QX(QX_MutablePart_destroy)(h, eh);
}

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

void MutablePart::add_segment(const SegmentBase& segment) {
  OSTREL_RT_CALL_FATAL(QX_MutablePart_addSegment, raw(), segment.raw());
}

// ---- MutablePartCollection ----

void MutablePartCollection::destroy(QX_MutablePartCollectionHandle h, const QX_ErrorHandler* eh) {
  QX(QX_MutablePartCollection_destroy)(h, eh);
}

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

void MutablePointCollection::destroy(QX_MutablePointCollectionHandle h, const QX_ErrorHandler* eh) {
  QX(QX_MutablePointCollection_destroy)(h, eh);
}

MutablePointCollection MutablePointCollection::with_spatial_reference(const SpatialReference* sr) {
  environment::init();
  return from_handle(
      OSTREL_RT_CALL_FATAL(QX_MutablePointCollection_createWithSpatialReference, raw_or_null(sr)));
}

int64_t MutablePointCollection::add_point(const Point& point) {
  return OSTREL_RT_CALL_FATAL(QX_MutablePointCollection_addPoint, raw(), point.raw());
}

// ---- ImmutablePart ----

void ImmutablePart::destroy(QX_ImmutablePartHandle h, const QX_ErrorHandler* eh) {
  QX(QX_ImmutablePart_destroy)(h, eh);
}

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

void ImmutablePartCollection::destroy(QX_ImmutablePartCollectionHandle h, const QX_ErrorHandler* eh) {
  QX(QX_ImmutablePartCollection_destroy)(h, eh);
}

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

void ImmutablePointCollection::destroy(QX_ImmutablePointCollectionHandle h, const QX_ErrorHandler* eh) {
  QX(QX_ImmutablePointCollection_destroy)(h, eh);
}

int64_t ImmutablePointCollection::size() const {
  return OSTREL_RT_CALL_FATAL(QX_ImmutablePointCollection_getSize, raw());
}

Point ImmutablePointCollection::get_point(int64_t index) const {
  return Point::from_handle(OSTREL_RT_CALL(QX_ImmutablePointCollection_getPoint, raw(), index));
}

ImmutablePointIntoIter ImmutablePointCollection::into_iter() && {
  return ImmutablePointIntoIter(std::move(*this));
}

// ---- iterators ----

ImmutablePartIntoIter::ImmutablePartIntoIter(ImmutablePartCollection parts) : parts_(std::move(parts)) {
  size_ = static_cast<uint64_t>(parts_.size());
}

std::optional<ImmutablePart> ImmutablePartIntoIter::next() {
  if (index_ >= size_) return std::nullopt;
  try {
    ImmutablePart part = parts_.get_part(static_cast<int64_t>(index_));
    ++index_;
    return part;
  } catch (const Error& e) {
    detail::fatal_with("Internal error: Index of part out of range", e);
  }
}

ImmutablePointIntoIter::ImmutablePointIntoIter(ImmutablePointCollection points) : points_(std::move(points)) {
  size_ = static_cast<uint64_t>(points_.size());
}

std::optional<Point> ImmutablePointIntoIter::next() {
  if (index_ >= size_) return std::nullopt;
  try {
    Point point = points_.get_point(static_cast<int64_t>(index_));
    ++index_;
    return point;
  } catch (const Error& e) {
    detail::fatal_with("Internal error: Index of point out of range", e);
  }
}

}  // namespace ostrel::rt
