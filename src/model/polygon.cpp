#include "model/polygon.hpp"

#include "model/convert_multipart.hpp"
#include "model/multipart_impl.hpp"

namespace ostrel::model {

namespace {

[[noreturn]] void insufficient(std::string detail) {
  throw ZorvGeoErr(ZorvGeoErr::Kind::InsufficientRing, std::move(detail));
}

}  // namespace

void PolygonKind::admit(const Cell<ZorvPart>& ring) {
  std::size_t n;
  {
    auto g = ring.read_or_fatal("Lock poisoned");
    n = g->len();
  }
  if (n <= 2) insufficient("Linear ring requires len >= 3, but got: " + std::to_string(n));
}

void PolygonKind::admit(const Cell<ZorvCurvePart>& ring) {
  auto g = ring.read_or_fatal("Lock poisoned");
  const std::size_t n = g->len();
  if (n < 2) insufficient("Curved ring requires at least 2 vertices, but got: " + std::to_string(n));
  if (n == 2) {
    std::optional<CurveData> closing = g->curves.get(1);
    if (!closing || is_linear(*closing))
      insufficient(
          "Curved ring with only two vertices requires a curved segment in order to enclose an area");
  }
}

// The runtime's polygon builder always yields a polygon, so the polyline is
// built from the same parts with a polyline builder.  Rings are implicitly
// closed while paths are not: each ring whose last vertex is not its first
// gets its first vertex repeated, so the polyline traces the whole boundary.
template <class Kind>
rt::Polyline MultipartGeometry<Kind>::to_polyline() const
  requires Kind::kRings
{
  std::optional<rt::SpatialReference> rsr = to_geom_sr(spatial_reference);
  rt::PolylineBuilder builder = rt::PolylineBuilder::with_spatial_reference(convert::ptr(rsr));
  std::optional<Cell<CurvePartCollection>::ReadGuard> curve_guard;
  if (const Cell<CurvePartCollection>* curves = curve_parts())
    curve_guard.emplace(curves->read_or_fatal("Lock poisoned"));
  auto linear_guard = linear_parts.read_or_fatal("Lock poisoned");
  rt::MutablePartCollection parts = rt::MutablePartCollection::with_spatial_reference(convert::ptr(rsr));
  auto add_closed = [&](const auto& cell, auto vertices) {
    auto share = cell;
    auto g = share.read_or_fatal("Lock poisoned");
    const ZorvPart& v = vertices(*g);
    rt::MutablePart part = convert::part_to_runtime(*g, convert::ptr(rsr));
    if (v.len() >= 2) {
      const std::size_t last = v.len() - 1;
      if (v.xs[0] != v.xs[last] || v.ys[0] != v.ys[last]) {
        ZorvCoord first = *v.get_coord(0);
        part.add_point_x_y_z_m(first.x(), first.y(), first.z(), first.m());
      }
    }
    parts.add_part(part);
  };
  if (curve_guard)
    for (const auto& cell : (*curve_guard)->lines)
      add_closed(cell, [](const ZorvCurvePart& c) -> const ZorvPart& { return c.part; });
  for (const auto& cell : linear_guard->lines)
    add_closed(cell, [](const ZorvPart& p) -> const ZorvPart& { return p; });
  builder.set_parts(parts);
  return convert::downcast<rt::Polyline>(builder.to_geometry());
}

template struct MultipartGeometry<PolygonKind>;
template struct GeometryModel<ZorvGeometryPolygon, rt::Polygon>;

}  // namespace ostrel::model
