// Runtime parts and point collections: the mutable ones a conversion fills
// for a builder, and the read-only ones a geometry hands out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "binding/geometry.hpp"
#include "binding/handle.hpp"
#include "binding/segments.hpp"
#include "binding/spatial_reference.hpp"

namespace ostrel::rt {

// Constructors run the environment initialisation; `sr` may be null.  Unless
// noted, runtime errors are fatal; "throws" means the runtime's Error is thrown.

class MutablePart : public Handle<MutablePart, QX_MutablePartHandle, fn::QX_MutablePart_destroy> {
 public:
  using Handle::Handle;
  static constexpr std::string_view kName = "MutablePart";

  static MutablePart with_spatial_reference(const SpatialReference* sr);
  // The point, segment or part added stays the caller's.
  int64_t add_point(const Point& point);
  int64_t add_point_x_y(double x, double y);
  // m given: a temporary point; z only: addPointXYZ; neither: addPointXY.
  int64_t add_point_x_y_z_m(double x, double y, std::optional<double> z, std::optional<double> m);
  // The `n` vertices of the columns `xs`, `ys` and, when not null, `zs`: the
  // same part as one point per vertex, without making those points.
  void add_points(const double* xs, const double* ys, const double* zs, std::size_t n);
  void add_segment(const SegmentBase& segment);
};

class MutablePartCollection : public Handle<MutablePartCollection, QX_MutablePartCollectionHandle,
                                            fn::QX_MutablePartCollection_destroy> {
 public:
  using Handle::Handle;
  static constexpr std::string_view kName = "MutablePartCollection";

  static MutablePartCollection with_spatial_reference(const SpatialReference* sr);
  int64_t size() const;
  int64_t add_part(const MutablePart& part);
  // Throws.
  MutablePart get_part(int64_t index) const;
};

class MutablePointCollection : public Handle<MutablePointCollection, QX_MutablePointCollectionHandle,
                                             fn::QX_MutablePointCollection_destroy> {
 public:
  using Handle::Handle;
  static constexpr std::string_view kName = "MutablePointCollection";

  static MutablePointCollection with_spatial_reference(const SpatialReference* sr);
  int64_t add_point(const Point& point);
};

class ImmutablePointCollection;

class ImmutablePart : public Handle<ImmutablePart, QX_ImmutablePartHandle, fn::QX_ImmutablePart_destroy> {
 public:
  using Handle::Handle;
  static constexpr std::string_view kName = "ImmutablePart";

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

// Yields the items of a read-only collection in order; the size is read
// once, when the iterator is made, and an item the runtime fails to give is
// fatal ("Internal error: Index of part out of range: ..." or "... of point
// ...").  Releasing the iterator releases the collection.
template <class Collection>
class IntoIter {
 public:
  using Item = decltype(item_at(std::declval<const Collection&>(), int64_t{}));
  explicit IntoIter(Collection items) : items_(std::move(items)) {
    size_ = static_cast<uint64_t>(items_.size());
  }
  std::optional<Item> next() {
    if (index_ >= size_) return std::nullopt;
    try {
      Item item = item_at(items_, static_cast<int64_t>(index_));
      ++index_;
      return item;
    } catch (const Error& e) {
      core::fatal(std::string(Collection::kIndexMessage) + ": " + e.debug());
    }
  }
  uint64_t size() const { return size_; }

 private:
  Collection items_;
  uint64_t index_ = 0;
  uint64_t size_ = 0;
};

class ImmutablePartCollection;
using ImmutablePartIntoIter = IntoIter<ImmutablePartCollection>;
using ImmutablePointIntoIter = IntoIter<ImmutablePointCollection>;

class ImmutablePartCollection : public Handle<ImmutablePartCollection, QX_ImmutablePartCollectionHandle,
                                              fn::QX_ImmutablePartCollection_destroy> {
 public:
  using Handle::Handle;
  static constexpr std::string_view kName = "ImmutablePartCollection";
  static constexpr std::string_view kIndexMessage = "Internal error: Index of part out of range";

  int64_t size() const;
  // Throws.
  ImmutablePart get_part(int64_t index) const;
  ImmutablePartIntoIter into_iter() &&;
};

class ImmutablePointCollection : public Handle<ImmutablePointCollection, QX_ImmutablePointCollectionHandle,
                                               fn::QX_ImmutablePointCollection_destroy> {
 public:
  using Handle::Handle;
  static constexpr std::string_view kName = "ImmutablePointCollection";
  static constexpr std::string_view kIndexMessage = "Internal error: Index of point out of range";

  int64_t size() const;
  // Throws.
  Point get_point(int64_t index) const;
  ImmutablePointIntoIter into_iter() &&;
};

// The item an iterator yields at an index.
inline ImmutablePart item_at(const ImmutablePartCollection& parts, int64_t index) {
  return parts.get_part(index);
}
inline Point item_at(const ImmutablePointCollection& points, int64_t index) { return points.get_point(index); }

}  // namespace ostrel::rt
