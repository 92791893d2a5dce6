// Helpers of the model's runtime conversions.  Private to the model's sources.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "binding/runtime.hpp"
#include "core/fatal.hpp"
#include "model/cell.hpp"
#include "model/collection.hpp"
#include "model/geoerr.hpp"
#include "model/geometry_model.hpp"
#include "model/spatial_reference.hpp"

namespace ostrel::model::convert {

// Runs a runtime call whose Error is a model error (VaskelithLibraryError).
template <class F>
decltype(auto) lib(F&& f) {
  try {
    return std::forward<F>(f)();
  } catch (const rt::Error& e) {
    throw ZorvGeoErr::from_runtime(e);
  }
}

// Runs a runtime call whose Error breaks an invariant: fatal, with the
// unwrap text and the error's debug form.
template <class F>
decltype(auto) unwrap(F&& f) {
  try {
    return std::forward<F>(f)();
  } catch (const rt::Error& e) {
    core::fatal("called `Result::unwrap()` on an `Err` value: " + e.debug());
  }
}

inline const rt::SpatialReference* ptr(const std::optional<rt::SpatialReference>& sr) {
  return sr ? &*sr : nullptr;
}

// The runtime's spatial reference of a geometry, read back; absent when it has none.
inline std::optional<SpatialReference> read_sr(const rt::GeometryBase& g) {
  std::optional<rt::SpatialReference> sr = g.spatial_reference();
  if (!sr) return std::nullopt;
  return sr_convert(std::move(*sr));
}

template <class T>
T downcast(rt::GeometryOwned g) {
  return lib([&] { return std::move(g).downcast<T>(); });
}

// A borrowed view of a geometry whose kind is known, as that kind.
template <class T>
rt::Borrowed<T> view_as(const rt::GeometryOwned& g) {
  return rt::Borrowed<T>(g.raw());
}

// The conversions below take the runtime spatial reference already made: one
// geometry's parts and segments all share the reference its conversion made
// once, which is the same runtime value as one made afresh for each of them
// (and making one is far dearer than anything else a part costs).
// A linear part vertex by vertex; a curve part with a segment for each
// curved vertex.
rt::MutablePart part_to_runtime(const ZorvPart& part, const rt::SpatialReference* sr);
rt::MutablePart part_to_runtime(const ZorvCurvePart& part, const rt::SpatialReference* sr);
// Converts every part of `parts` in order and appends it to `out`; each part is
// locked only while it converts.
template <class P>
void add_parts(const DimensionedCollection<P>& parts, rt::MutablePartCollection& out,
               const rt::SpatialReference* sr);
// Straight parts with x, y and perhaps z straight into the builder, each
// vertex copied once: the geometry take_geometry then makes is the one
// add_parts and set_parts give.  Each part is locked only while it is added.
void add_straight_parts(const PartCollection& parts, rt::MultipartBuilderBase& out);

}  // namespace ostrel::model::convert

namespace ostrel::model {

template <class Self, class R>
rt::GeometryOwned GeometryModel<Self, R>::as_geometry_owned() const {
  return rt::GeometryOwned(static_cast<const Self&>(*this).as_runtime());
}

template <class Self, class R>
std::string GeometryModel<Self, R>::to_json() const {
  return static_cast<const Self&>(*this).as_runtime().to_json();
}

template <class Self, class R>
Self GeometryModel<Self, R>::try_from_owned(rt::GeometryOwned g) {
  return Self::from_runtime(convert::downcast<R>(std::move(g)));
}

template <class Self, class R>
Self GeometryModel<Self, R>::read_back(const rt::GeometryOwned& g) {
  return Self::from_runtime(convert::view_as<R>(g));
}

}  // namespace ostrel::model
