// The members of MultipartGeometry that cross the runtime boundary.  Private
// to the model's sources; polyline.cpp and polygon.cpp instantiate them for
// their kind.
#pragma once

#include <optional>

#include "model/convert_common.hpp"
#include "model/multipart_geometry.hpp"

namespace ostrel::model {

// Curve parts first, then linear parts, each group in its own order.  Both
// groups go straight into one runtime collection, which holds the same parts
// in the same order as converting the linear group on its own and appending
// its parts afterwards; the spatial reference is made once for the builder,
// the collection and every part and segment.
template <class Kind>
typename Kind::Runtime MultipartGeometry<Kind>::as_runtime() const {
  using Builder = typename Kind::Builder;
  std::optional<rt::SpatialReference> rsr = to_geom_sr(spatial_reference);
  Builder builder = Builder::with_spatial_reference(convert::ptr(rsr));
  {
    std::optional<Cell<CurvePartCollection>::ReadGuard> curve_guard;
    if (const Cell<CurvePartCollection>* curves = curve_parts())
      curve_guard.emplace(curves->read_or_fatal("Lock poisoned"));
    auto linear_guard = linear_parts.read_or_fatal("Lock poisoned");
    if ((!curve_guard || (*curve_guard)->len() == 0) && !linear_guard->has_m) {
      convert::add_straight_parts(*linear_guard, builder);
      return convert::downcast<Runtime>(builder.take_geometry());
    }
    rt::MutablePartCollection parts = rt::MutablePartCollection::with_spatial_reference(convert::ptr(rsr));
    if (curve_guard) convert::add_parts(**curve_guard, parts, convert::ptr(rsr));
    convert::add_parts(*linear_guard, parts, convert::ptr(rsr));
    builder.set_parts(parts);
  }
  return convert::downcast<Runtime>(builder.to_geometry());
}

// Every part is read first; then the parts enter by the kind's rules, the
// linear ones first.
template <class Kind>
MultipartGeometry<Kind> MultipartGeometry<Kind>::from_runtime(const Runtime& geometry) {
  const bool has_z = geometry.has_z();
  const bool has_m = geometry.has_m();
  std::vector<Cell<ZorvPart>> linear;
  std::vector<Cell<ZorvCurvePart>> curves;
  rt::ImmutablePartIntoIter it = geometry.parts().into_iter();
  while (std::optional<rt::ImmutablePart> part = it.next()) {
    if (part->has_curves())
      curves.emplace_back(Kind::read_curve(std::move(*part), has_z, has_m));
    else
      linear.emplace_back(ZorvPart::from_immutable_part(std::move(*part), has_z, has_m));
  }
  return try_new_with_curves(has_z, has_m, std::move(linear), std::move(curves), convert::read_sr(geometry));
}

}  // namespace ostrel::model
