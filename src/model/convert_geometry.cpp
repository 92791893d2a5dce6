// The five geometry kinds across the runtime boundary.
#include <type_traits>

#include "model/convert_common.hpp"
#include "model/envelope.hpp"
#include "model/multipoint.hpp"
#include "model/point.hpp"
#include "model/polygon.hpp"
#include "model/polyline.hpp"

namespace ostrel::model {

using convert::lib;
using convert::ptr;

namespace {

// The runtime's spatial reference of a geometry, read back; absent when it has none.
std::optional<SpatialReference> read_sr(const rt::GeometryBase& g) {
  std::optional<rt::SpatialReference> sr = g.spatial_reference();
  if (!sr) return std::nullopt;
  return sr_convert(std::move(*sr));
}

template <class T>
T downcast(rt::GeometryOwned g) {
  return lib([&] { return std::move(g).downcast<T>(); });
}

// Curve parts first, then linear parts, each group in its own order.  Both
// groups go straight into one runtime collection, which holds the same parts
// in the same order as converting the linear group on its own and appending
// its parts afterwards; the spatial reference is made once for the builder,
// the collection and every part and segment.
template <class Builder>
Builder build_multipart(const Cell<PartCollection>& linear, const Cell<CurvePartCollection>& curves,
                        const std::optional<SpatialReference>& sr) {
  std::optional<rt::SpatialReference> rsr = to_geom_sr(sr);
  Builder builder = Builder::with_spatial_reference(ptr(rsr));
  auto curve_guard = curves.read_or_fatal("Lock poisoned");
  auto linear_guard = linear.read_or_fatal("Lock poisoned");
  rt::MutablePartCollection parts = rt::MutablePartCollection::with_spatial_reference(ptr(rsr));
  convert::add_parts(*curve_guard, parts, ptr(rsr));
  convert::add_parts(*linear_guard, parts, ptr(rsr));
  builder.set_parts(parts);
  return builder;
}

// Reads a runtime polyline or polygon back, applying the kind's entry rules.
template <class Kind, class Runtime, class PushLinear, class PushCurve, class ReadCurve>
Kind read_multipart(const Runtime& geom, PushLinear push_linear, PushCurve push_curve, ReadCurve read_curve) {
  const bool has_z = geom.has_z();
  const bool has_m = geom.has_m();
  std::vector<Cell<ZorvPart>> linear;
  std::vector<Cell<ZorvCurvePart>> curves;
  rt::ImmutablePartIntoIter it = geom.parts().into_iter();
  while (std::optional<rt::ImmutablePart> part = it.next()) {
    if (part->has_curves())
      curves.emplace_back(read_curve(std::move(*part), has_z, has_m));
    else
      linear.emplace_back(ZorvPart::from_immutable_part(std::move(*part), has_z, has_m));
  }
  Kind out(Cell<PartCollection>(PartCollection(has_z, has_m)),
           Cell<CurvePartCollection>(CurvePartCollection(has_z, has_m)), read_sr(geom));
  for (auto& p : linear) (out.*push_linear)(std::move(p));
  for (auto& p : curves) (out.*push_curve)(std::move(p));
  return out;
}

// A borrowed view of a geometry whose kind is known, as that kind.
template <class T>
rt::Borrowed<T> view_as(const rt::GeometryOwned& g) {
  return rt::Borrowed<T>(g.raw());
}

ZorvGeometryPoint read_point(const rt::Point& p) {
  ZorvGeometryPoint out;
  out.x = p.x();
  out.y = p.y();
  out.z = p.z();
  out.m = p.m();
  out.spatial_reference = read_sr(p);
  return out;
}

ZorvGeometryEnvelope read_envelope(const rt::Envelope& e) {
  ZorvGeometryEnvelope out;
  out.xmin = e.x_min();
  out.xmax = e.x_max();
  out.ymin = e.y_min();
  out.ymax = e.y_max();
  out.zmin = e.z_min();
  out.zmax = e.z_max();
  out.mmin = e.m_min();
  out.mmax = e.m_max();
  out.spatial_reference = read_sr(e);
  return out;
}

ZorvGeometryMultipoint read_multipoint(const rt::Multipoint& mp) {
  const bool has_z = mp.has_z();
  const bool has_m = mp.has_m();
  ZorvPart part(has_z, has_m);
  rt::ImmutablePointIntoIter it = mp.points().into_iter();
  // A z or m without its column would be dropped, so it is not asked for.
  while (std::optional<rt::Point> p = it.next())
    part.push_coord(p->x(), p->y(), has_z ? p->z() : std::nullopt, has_m ? p->m() : std::nullopt);
  return ZorvGeometryMultipoint(Cell<ZorvPart>(std::move(part)), read_sr(mp));
}

ZorvGeometryPolyline read_polyline(const rt::Polyline& p) {
  return read_multipart<ZorvGeometryPolyline>(p, &ZorvGeometryPolyline::push_path,
                                              &ZorvGeometryPolyline::push_curve_path,
                                              &ZorvCurvePart::from_immutable_part);
}

ZorvGeometryPolygon read_polygon(const rt::Polygon& p) {
  return read_multipart<ZorvGeometryPolygon>(p, &ZorvGeometryPolygon::push_ring,
                                             &ZorvGeometryPolygon::push_curve_ring,
                                             &ZorvCurvePart::from_immutable_ring);
}

}  // namespace

// ---- point ----

rt::GeometryOwned ZorvGeometryPoint::as_geometry_owned() const { return rt::GeometryOwned(as_point()); }

std::string ZorvGeometryPoint::to_json() const { return as_point().to_json(); }

ZorvGeometryPoint ZorvGeometryPoint::from_immutable_point(rt::Point p) { return read_point(p); }

ZorvGeometryPoint ZorvGeometryPoint::read_back(const rt::GeometryOwned& g) {
  return read_point(view_as<rt::Point>(g));
}

ZorvGeometryPoint ZorvGeometryPoint::try_from_owned(rt::GeometryOwned g) {
  return from_immutable_point(downcast<rt::Point>(std::move(g)));
}

// ---- envelope ----

rt::Envelope ZorvGeometryEnvelope::as_envelope() const {
  std::optional<rt::SpatialReference> sr = to_geom_sr(spatial_reference);
  // A lone bound of a pair does not make a range.
  std::optional<rt::Range> z_range, m_range;
  if (zmin && zmax) z_range = rt::Range(*zmin, *zmax);
  if (mmin && mmax) m_range = rt::Range(*mmin, *mmax);
  if (sr) return rt::Envelope::with_x_y_z_m_spatial_reference(xmin, xmax, ymin, ymax, z_range, m_range, *sr);
  return rt::Envelope::with_x_y_z_m(xmin, xmax, ymin, ymax, z_range, m_range);
}

rt::GeometryOwned ZorvGeometryEnvelope::as_geometry_owned() const { return rt::GeometryOwned(as_envelope()); }

ZorvGeometryEnvelope ZorvGeometryEnvelope::from_immutable_envelope(rt::Envelope e) {
  return read_envelope(e);
}

ZorvGeometryEnvelope ZorvGeometryEnvelope::read_back(const rt::GeometryOwned& g) {
  return read_envelope(view_as<rt::Envelope>(g));
}

ZorvGeometryEnvelope ZorvGeometryEnvelope::try_from_owned(rt::GeometryOwned g) {
  return from_immutable_envelope(downcast<rt::Envelope>(std::move(g)));
}

// ---- multipoint ----

rt::MultipointBuilder ZorvGeometryMultipoint::as_mutable_multipoint() const {
  std::optional<rt::SpatialReference> sr = to_geom_sr(spatial_reference);
  rt::MultipointBuilder builder = rt::MultipointBuilder::with_spatial_reference(ptr(sr));
  auto g = points.read_or_fatal("Lock poisoned");
  rt::MutablePointCollection coll = rt::MutablePointCollection::with_spatial_reference(ptr(sr));
  const ZorvPart& part = *g;
  for (std::size_t i = 0; i < part.len(); ++i) {
    std::optional<double> z, m;
    if (part.zs) z = (*part.zs)[i];
    if (part.ms) m = (*part.ms)[i];
    rt::Point p = rt::Point::with_x_y_z_m(part.xs[i], part.ys[i], z, m);
    coll.add_point(p);
  }
  builder.set_points(coll);
  return builder;
}

rt::Multipoint ZorvGeometryMultipoint::as_multipoint() const {
  rt::MultipointBuilder builder = as_mutable_multipoint();
  return downcast<rt::Multipoint>(builder.to_geometry());
}

rt::GeometryOwned ZorvGeometryMultipoint::as_geometry_owned() const {
  return rt::GeometryOwned(as_multipoint());
}

std::string ZorvGeometryMultipoint::to_json() const { return as_multipoint().to_json(); }

ZorvGeometryMultipoint ZorvGeometryMultipoint::from_immutable_multipoint(rt::Multipoint mp) {
  return read_multipoint(mp);
}

ZorvGeometryMultipoint ZorvGeometryMultipoint::read_back(const rt::GeometryOwned& g) {
  return read_multipoint(view_as<rt::Multipoint>(g));
}

ZorvGeometryMultipoint ZorvGeometryMultipoint::try_from_owned(rt::GeometryOwned g) {
  return from_immutable_multipoint(downcast<rt::Multipoint>(std::move(g)));
}

// ---- polyline ----

rt::PolylineBuilder ZorvGeometryPolyline::as_mutable_polyline() const {
  return build_multipart<rt::PolylineBuilder>(paths, curve_paths, spatial_reference);
}

rt::Polyline ZorvGeometryPolyline::as_polyline() const {
  rt::PolylineBuilder builder = as_mutable_polyline();
  return downcast<rt::Polyline>(builder.to_geometry());
}

rt::GeometryOwned ZorvGeometryPolyline::as_geometry_owned() const { return rt::GeometryOwned(as_polyline()); }

std::string ZorvGeometryPolyline::to_json() const { return as_polyline().to_json(); }

ZorvGeometryPolyline ZorvGeometryPolyline::from_immutable_polyline(rt::Polyline p) {
  return read_polyline(p);
}

ZorvGeometryPolyline ZorvGeometryPolyline::read_back(const rt::GeometryOwned& g) {
  return read_polyline(view_as<rt::Polyline>(g));
}

ZorvGeometryPolyline ZorvGeometryPolyline::try_from_owned(rt::GeometryOwned g) {
  return from_immutable_polyline(downcast<rt::Polyline>(std::move(g)));
}

// ---- polygon ----

rt::PolygonBuilder ZorvGeometryPolygon::as_mutable_polygon() const {
  return build_multipart<rt::PolygonBuilder>(rings, curve_rings, spatial_reference);
}

rt::Polygon ZorvGeometryPolygon::as_polygon() const {
  rt::PolygonBuilder builder = as_mutable_polygon();
  return downcast<rt::Polygon>(builder.to_geometry());
}

rt::GeometryOwned ZorvGeometryPolygon::as_geometry_owned() const { return rt::GeometryOwned(as_polygon()); }

std::string ZorvGeometryPolygon::to_json() const { return as_polygon().to_json(); }

ZorvGeometryPolygon ZorvGeometryPolygon::from_immutable_polygon(rt::Polygon p) { return read_polygon(p); }

ZorvGeometryPolygon ZorvGeometryPolygon::read_back(const rt::GeometryOwned& g) {
  return read_polygon(view_as<rt::Polygon>(g));
}

ZorvGeometryPolygon ZorvGeometryPolygon::try_from_owned(rt::GeometryOwned g) {
  return from_immutable_polygon(downcast<rt::Polygon>(std::move(g)));
}

// The runtime's polygon builder always yields a polygon, so the polyline is
// built from the same parts with a polyline builder.  Rings are implicitly
// closed while paths are not: each ring whose last vertex is not its first
// gets its first vertex repeated, so the polyline traces the whole boundary.
rt::Polyline ZorvGeometryPolygon::to_polyline() const {
  std::optional<rt::SpatialReference> rsr = to_geom_sr(spatial_reference);
  rt::PolylineBuilder builder = rt::PolylineBuilder::with_spatial_reference(ptr(rsr));
  auto curve_guard = curve_rings.read_or_fatal("Lock poisoned");
  auto linear_guard = rings.read_or_fatal("Lock poisoned");
  rt::MutablePartCollection parts = rt::MutablePartCollection::with_spatial_reference(ptr(rsr));
  auto add_closed = [&](const auto& cell, auto vertices) {
    auto share = cell;
    auto g = share.read_or_fatal("Lock poisoned");
    const ZorvPart& v = vertices(*g);
    rt::MutablePart part = [&] {
      if constexpr (std::is_same_v<std::decay_t<decltype(*g)>, ZorvCurvePart>)
        return convert::curve_part_to_runtime(*g, ptr(rsr));
      else
        return convert::part_to_runtime(*g, ptr(rsr));
    }();
    if (v.len() >= 2) {
      const std::size_t last = v.len() - 1;
      if (v.xs[0] != v.xs[last] || v.ys[0] != v.ys[last]) {
        ZorvCoord first = *v.get_coord(0);
        part.add_point_x_y_z_m(first.x(), first.y(), first.z(), first.m());
      }
    }
    parts.add_part(part);
  };
  for (const auto& cell : curve_guard->lines)
    add_closed(cell, [](const ZorvCurvePart& c) -> const ZorvPart& { return c.part; });
  for (const auto& cell : linear_guard->lines)
    add_closed(cell, [](const ZorvPart& p) -> const ZorvPart& { return p; });
  builder.set_parts(parts);
  return downcast<rt::Polyline>(builder.to_geometry());
}

}  // namespace ostrel::model
