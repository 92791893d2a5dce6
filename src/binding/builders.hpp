// Runtime geometry builders: a conversion fills one with parts or points and
// takes the geometry out.
#pragma once

#include <cstddef>
#include <string_view>

#include "binding/geometry.hpp"
#include "binding/handle.hpp"
#include "binding/parts.hpp"
#include "binding/spatial_reference.hpp"

namespace ostrel::rt {

// Operations shared by the builders; runtime errors are fatal.
class GeometryBuilderBase : public detail::RawHandle<QX_GeometryBuilderHandle> {
 public:
  // A new geometry; the builder stays usable.  Narrow it with downcast.
  GeometryOwned to_geometry() const;

 protected:
  using RawHandle::RawHandle;
  ~GeometryBuilderBase() = default;
};

// The builders of polylines and polygons.
class MultipartBuilderBase : public GeometryBuilderBase {
 public:
  void set_parts(const MutablePartCollection& parts);
  // The other way to fill the builder, for straight parts: one part of n
  // vertices from its columns (zs may be null), kept as to_geometry keeps
  // the parts given by set_parts; take_geometry then makes the geometry and
  // leaves the builder empty.  The two ways are not mixed.
  void add_part(const double* xs, const double* ys, const double* zs, std::size_t n);
  GeometryOwned take_geometry();

 protected:
  using GeometryBuilderBase::GeometryBuilderBase;
  ~MultipartBuilderBase() = default;
};

template <class Derived, class Base>
using BuilderHandle =
    Handle<Derived, QX_GeometryBuilderHandle, fn::QX_GeometryBuilder_destroy, "GeometryBuilder", Base>;

// Constructors run the environment initialisation; `sr` may be null; runtime
// errors and null handles are fatal.
class PolygonBuilder : public BuilderHandle<PolygonBuilder, MultipartBuilderBase> {
 public:
  using Handle::Handle;
  static constexpr std::string_view kName = "PolygonBuilder";
  static PolygonBuilder with_spatial_reference(const SpatialReference* sr);
};

class PolylineBuilder : public BuilderHandle<PolylineBuilder, MultipartBuilderBase> {
 public:
  using Handle::Handle;
  static constexpr std::string_view kName = "PolylineBuilder";
  static PolylineBuilder with_spatial_reference(const SpatialReference* sr);
};

class MultipointBuilder : public BuilderHandle<MultipointBuilder, GeometryBuilderBase> {
 public:
  using Handle::Handle;
  static constexpr std::string_view kName = "MultipointBuilder";
  static MultipointBuilder with_spatial_reference(const SpatialReference* sr);
  void set_points(const MutablePointCollection& points);
};

}  // namespace ostrel::rt
