// Points, envelopes and multipoints across the runtime boundary (polylines
// and polygons: convert_multipart.hpp).
#include "model/convert_common.hpp"
#include "model/envelope.hpp"
#include "model/multipoint.hpp"
#include "model/point.hpp"

namespace ostrel::model {

using convert::downcast;
using convert::ptr;
using convert::read_sr;
using convert::view_as;

namespace {

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

}  // namespace ostrel::model
