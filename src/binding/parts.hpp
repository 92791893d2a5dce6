// Runtime parts and point collections: the mutable ones a conversion fills
// for a builder, and the read-only ones a geometry hands out.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "binding/geometry.hpp"
#include "binding/handle.hpp"
#include "binding/segments.hpp"
#include "binding/spatial_reference.hpp"

namespace ostrel::rt {

// Constructors run the environment initialisation; `sr` may be null.  Unless
// noted, runtime errors are fatal; "throws" means the runtime's Error is thrown.

class MutablePart : public Handle<MutablePart, QX_MutablePartHandle> {
 public:
  using Handle::Handle;
  static constexpr std::string_view kFamily = "MutablePart";
  static constexpr std::string_view kName = "MutablePart";
  static void destroy(QX_MutablePartHandle h, const QX_ErrorHandler* eh);

  static MutablePart with_spatial_reference(const SpatialReference* sr);
  // The point, segment or part added stays the caller's.
  int64_t add_point(const Point& point);
  int64_t add_point_x_y(double x, double y);
  // m given: a temporary point; z only: addPointXYZ; neither: addPointXY.
  int64_t add_point_x_y_z_m(double x, double y, std::optional<double> z, std::optional<double> m);
  void add_segment(const SegmentBase& segment);
};

class MutablePartCollection : public Handle<MutablePartCollection, QX_MutablePartCollectionHandle> {
 public:
  using Handle::Handle;
  static constexpr std::string_view kFamily = "MutablePartCollection";
  static constexpr std::string_view kName = "MutablePartCollection";
  static void destroy(QX_MutablePartCollectionHandle h, const QX_ErrorHandler* eh);

  static MutablePartCollection with_spatial_reference(const SpatialReference* sr);
  int64_t size() const;
  int64_t add_part(const MutablePart& part);
  // Throws.
  MutablePart get_part(int64_t index) const;
};

class MutablePointCollection : public Handle<MutablePointCollection, QX_MutablePointCollectionHandle> {
 public:
  using Handle::Handle;
  static constexpr std::string_view kFamily = "MutablePointCollection";
  static constexpr std::string_view kName = "MutablePointCollection";
  static void destroy(QX_MutablePointCollectionHandle h, const QX_ErrorHandler* eh);

  static MutablePointCollection with_spatial_reference(const SpatialReference* sr);
  int64_t add_point(const Point& point);
};

class ImmutablePointCollection;

class ImmutablePart : public Handle<ImmutablePart, QX_ImmutablePartHandle> {
 public:
  using Handle::Handle;
  static constexpr std::string_view kFamily = "ImmutablePart";
  static constexpr std::string_view kName = "ImmutablePart";
  static void destroy(QX_ImmutablePartHandle h, const QX_ErrorHandler* eh);

  bool has_curves() const;
  bool is_empty() const;
  int64_t point_count() const;
  // Throw.
  Point get_point(int64_t point_index) const;
  SegmentOwned get_segment(int64_t segment_index) const;
  // -1 when no segment ends at the point.
  int64_t get_segment_index_from_end_point_index(int64_t point_index) const;
  ImmutablePointCollection get_points() const;
  ImmutablePointCollection points() const;
};

class ImmutablePartIntoIter;
class ImmutablePointIntoIter;

class ImmutablePartCollection : public Handle<ImmutablePartCollection, QX_ImmutablePartCollectionHandle> {
 public:
  using Handle::Handle;
  static constexpr std::string_view kFamily = "ImmutablePartCollection";
  static constexpr std::string_view kName = "ImmutablePartCollection";
  static void destroy(QX_ImmutablePartCollectionHandle h, const QX_ErrorHandler* eh);

  int64_t size() const;
  // Throws.
  ImmutablePart get_part(int64_t index) const;
  ImmutablePartIntoIter into_iter() &&;
};

class ImmutablePointCollection : public Handle<ImmutablePointCollection, QX_ImmutablePointCollectionHandle> {
 public:
  using Handle::Handle;
  static constexpr std::string_view kFamily = "ImmutablePointCollection";
  static constexpr std::string_view kName = "ImmutablePointCollection";
  static void destroy(QX_ImmutablePointCollectionHandle h, const QX_ErrorHandler* eh);

  int64_t size() const;
  // Throws.
  Point get_point(int64_t index) const;
  ImmutablePointIntoIter into_iter() &&;
};

// Yields the parts of a collection in order; the size is read once, when the
// iterator is made.  A part the runtime fails to give is fatal
// ("Internal error: Index of part out of range: ...").
class ImmutablePartIntoIter {
 public:
  explicit ImmutablePartIntoIter(ImmutablePartCollection parts);
  std::optional<ImmutablePart> next();
  uint64_t size() const { return size_; }

 private:
  ImmutablePartCollection parts_;
  uint64_t index_ = 0;
  uint64_t size_ = 0;
};

// The same for points ("Internal error: Index of point out of range: ...").
class ImmutablePointIntoIter {
 public:
  explicit ImmutablePointIntoIter(ImmutablePointCollection points);
  std::optional<Point> next();
  uint64_t size() const { return size_; }

 private:
  ImmutablePointCollection points_;
  uint64_t index_ = 0;
  uint64_t size_ = 0;
};

}  // namespace ostrel::rt
