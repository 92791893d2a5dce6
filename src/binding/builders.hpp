// Runtime geometry builders: a conversion fills one with parts or points and
// takes the geometry out.
#pragma once

#include <string_view>

#include "binding/geometry.hpp"
#include "binding/handle.hpp"
#include "binding/parts.hpp"
#include "binding/spatial_reference.hpp"

namespace ostrel::rt {

void destroy_builder(QX_GeometryBuilderHandle h, const QX_ErrorHandler* eh);

// Operations shared by the builders; runtime errors are fatal.
class GeometryBuilderBase : public detail::RawHandle<QX_GeometryBuilderHandle> {
 public:
  // A new geometry; the builder stays usable.  Narrow it with downcast.
  GeometryOwned to_geometry() const;

 protected:
  using RawHandle::RawHandle;
  ~GeometryBuilderBase() = default;
  void set_parts_impl(const MutablePartCollection& parts);
};

template <class Derived>
class BuilderHandle : public Handle<Derived, QX_GeometryBuilderHandle, GeometryBuilderBase> {
 public:
  using Handle<Derived, QX_GeometryBuilderHandle, GeometryBuilderBase>::Handle;
  static constexpr std::string_view kFamily = "GeometryBuilder";
  static void destroy(QX_GeometryBuilderHandle h, const QX_ErrorHandler* eh) { destroy_builder(h, eh); }
};

// Constructors run the environment initialisation; `sr` may be null; runtime
// errors and null handles are fatal.
class PolygonBuilder : public BuilderHandle<PolygonBuilder> {
 public:
  using BuilderHandle::BuilderHandle;
  static constexpr std::string_view kName = "PolygonBuilder";
  static PolygonBuilder with_spatial_reference(const SpatialReference* sr);
  void set_parts(const MutablePartCollection& parts) { set_parts_impl(parts); }
};

class PolylineBuilder : public BuilderHandle<PolylineBuilder> {
 public:
  using BuilderHandle::BuilderHandle;
  static constexpr std::string_view kName = "PolylineBuilder";
  static PolylineBuilder with_spatial_reference(const SpatialReference* sr);
  void set_parts(const MutablePartCollection& parts) { set_parts_impl(parts); }
};

class MultipointBuilder : public BuilderHandle<MultipointBuilder> {
 public:
  using BuilderHandle::BuilderHandle;
  static constexpr std::string_view kName = "MultipointBuilder";
  static MultipointBuilder with_spatial_reference(const SpatialReference* sr);
  void set_points(const MutablePointCollection& points);
};

}  // namespace ostrel::rt
