// Owning handles of runtime geometries.
//
// GeometryOwned holds a geometry of any kind; Point, Envelope, Polyline,
// Polygon and Multipoint hold one of a known kind.  Typed handles convert into
// GeometryOwned (and polylines/polygons into MultipartOwned) without a runtime
// call; the way back is `downcast`, which asks the runtime for the kind.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "binding/handle.hpp"
#include "binding/spatial_reference.hpp"

namespace ostrel::rt {

class Envelope;
class ImmutablePartCollection;
class ImmutablePointCollection;

// The kind code the runtime reports for a geometry.
enum class GeometryType : int32_t {
  Point = 1,
  Envelope = 2,
  Polyline = 3,
  Polygon = 4,
  Multipoint = 5,
  Unknown = -1,
};

// The kind of a code, or the conversion error naming "bindings::QX_GeometryType"
// and "GeometryType" (thrown).
GeometryType geometry_type_try_from(int32_t code);

// The read operations every geometry handle offers.  Runtime errors are fatal.
class GeometryBase : public detail::RawHandle<QX_GeometryHandle> {
 public:
  Envelope extent() const;
  bool has_curves() const;
  bool has_m() const;
  bool has_z() const;
  GeometryType object_type() const;
  // Absent when the geometry has no spatial reference.
  std::optional<SpatialReference> spatial_reference() const;
  // The runtime's own JSON text of the geometry.
  std::string to_json() const;

 protected:
  using RawHandle::RawHandle;
  ~GeometryBase() = default;
};

// The read operations of polylines and polygons.
class MultipartBase : public GeometryBase {
 public:
  ImmutablePartCollection parts() const;

 protected:
  using GeometryBase::GeometryBase;
  ~MultipartBase() = default;
};

template <class Derived, class Base = GeometryBase>
using GeometryHandle = Handle<Derived, QX_GeometryHandle, fn::QX_Geometry_destroy, "Geometry", Base>;

class Point : public GeometryHandle<Point>, public KindOf<1, "geometry::point::Point"> {
 public:
  using Handle::Handle;

  // Constructors run the environment initialisation; runtime errors are fatal.
  static Point with_x_y(double x, double y);
  static Point with_x_y_spatial_reference(double x, double y, const SpatialReference& sr);
  static Point with_x_y_z_m(double x, double y, std::optional<double> z, std::optional<double> m);
  static Point with_x_y_z_m_spatial_reference(double x, double y, std::optional<double> z,
                                              std::optional<double> m, const SpatialReference& sr);

  double x() const;
  double y() const;
  // Absent (without asking for the value) when the point has no z / m.
  std::optional<double> z() const;
  std::optional<double> m() const;
};

// A bounds pair (min, max) of z or m.
using Range = std::pair<double, double>;

class Envelope : public GeometryHandle<Envelope>, public KindOf<2, "geometry::envelope::Envelope"> {
 public:
  using Handle::Handle;

  // Bounds go in the order x_min, x_max, y_min, y_max.  Runtime errors are fatal.
  static Envelope with_x_y(double x_min, double x_max, double y_min, double y_max);
  static Envelope with_x_y_spatial_reference(double x_min, double x_max, double y_min, double y_max,
                                             const SpatialReference& sr);
  static Envelope with_x_y_z_m(double x_min, double x_max, double y_min, double y_max, std::optional<Range> z,
                               std::optional<Range> m);
  static Envelope with_x_y_z_m_spatial_reference(double x_min, double x_max, double y_min, double y_max,
                                                 std::optional<Range> z, std::optional<Range> m,
                                                 const SpatialReference& sr);

  Point center() const;
  double x_min() const;
  double x_max() const;
  double y_min() const;
  double y_max() const;
  std::optional<double> z_min() const;
  std::optional<double> z_max() const;
  std::optional<double> m_min() const;
  std::optional<double> m_max() const;
};

class Polyline : public GeometryHandle<Polyline, MultipartBase>,
                 public KindOf<3, "geometry::polyline::Polyline"> {
 public:
  using Handle::Handle;
};

class Polygon : public GeometryHandle<Polygon, MultipartBase>, public KindOf<4, "geometry::polygon::Polygon"> {
 public:
  using Handle::Handle;
};

class Multipoint : public GeometryHandle<Multipoint>, public KindOf<5, "geometry::multipoint::Multipoint"> {
 public:
  using Handle::Handle;
  ImmutablePointCollection points() const;
};

// A polyline or a polygon; it only converts on into GeometryOwned.
class MultipartOwned : public GeometryHandle<MultipartOwned> {
 public:
  using Handle::Handle;
  static constexpr std::string_view kName = "MultipartOwned";
  MultipartOwned(Polyline&& p) noexcept : Handle(adopt, p.into_raw()) {}
  MultipartOwned(Polygon&& p) noexcept : Handle(adopt, p.into_raw()) {}
};

template <class T>
concept TypedGeometry =
    std::is_same_v<T, Point> || std::is_same_v<T, Envelope> || std::is_same_v<T, Polyline> ||
    std::is_same_v<T, Polygon> || std::is_same_v<T, Multipoint>;

class GeometryOwned : public GeometryHandle<GeometryOwned>, public DowncastRef<GeometryOwned> {
 public:
  using Handle::Handle;
  static constexpr std::string_view kName = "GeometryOwned";

  template <TypedGeometry T>
  GeometryOwned(T&& g) noexcept : Handle(adopt, g.into_raw()) {}
  GeometryOwned(MultipartOwned&& g) noexcept : Handle(adopt, g.into_raw()) {}

  // Runs the environment initialisation and parses the runtime's JSON form;
  // text the runtime rejects throws its Error; a NUL byte is fatal.
  static GeometryOwned from_json(std::string_view json);

  // Consumes the handle: the same handle as T when the kind matches; otherwise
  // the handle is released and the conversion error is thrown.  A failed kind
  // query is fatal.  T = GeometryOwned accepts every kind.
  template <class T>
  T downcast() &&;

  // downcast_ref / try_downcast_ref (DowncastRef) borrow: the handle stays
  // with its owner whatever the kind.

 private:
  friend class DowncastRef<GeometryOwned>;
  // Kind code for downcast / downcast_ref (each with its own fatal message).
  int32_t kind_for_downcast() const;
  int32_t kind_for_downcast_ref() const;
};

// A runtime geometry kept for later operations.  Runtime geometries never
// change, so one handle serves every holder; it is released with the last.
using KeptGeometry = std::shared_ptr<const GeometryOwned>;
// Takes the handle over.  A failed release at the end is reported on
// standard error, since no caller is left to receive it.
KeptGeometry keep(GeometryOwned geometry);

// A runtime geometry lent to one operation: either made for it, and released
// with the lease, or kept by its Python geometry, which the lease shares
// until the operation is done (so a change to that geometry meanwhile cannot
// release it under the operation).
class GeometryLease {
 public:
  GeometryLease(GeometryOwned made) noexcept : made_(std::move(made)) {}
  explicit GeometryLease(KeptGeometry kept) noexcept : made_(adopt, nullptr), kept_(std::move(kept)) {}

  const GeometryOwned& get() const noexcept { return kept_ ? *kept_ : made_; }
  operator const GeometryOwned&() const noexcept { return get(); }
  const GeometryOwned* operator->() const noexcept { return &get(); }

  // The geometry for a holder of its own: the kept one shared, or the made
  // one taken over.
  KeptGeometry into_kept() && { return kept_ ? std::move(kept_) : keep(std::move(made_)); }

 private:
  GeometryOwned made_;
  KeptGeometry kept_;
};

// A lease of a geometry known to be of kind T, seen as T.
template <TypedGeometry T>
class TypedLease {
 public:
  explicit TypedLease(GeometryLease lease) noexcept : lease_(std::move(lease)), view_(lease_.get().raw()) {}

  const T& get() const noexcept { return view_.get(); }
  operator const T&() const noexcept { return get(); }
  const T* operator->() const noexcept { return &get(); }

 private:
  GeometryLease lease_;
  Borrowed<T> view_;
};

template <class T>
T GeometryOwned::downcast() && {
  GeometryOwned owned(std::move(*this));  // released on every path that does not hand it on
  if constexpr (std::is_same_v<T, GeometryOwned>) {
    (void)owned.kind_for_downcast();
    return owned;
  } else {
    if (owned.kind_for_downcast() == T::kKind) return T(adopt, owned.into_raw());
    throw Error::new_conversion_error("GeometryOwned", std::string(T::kTypePath));
  }
}

}  // namespace ostrel::rt
