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

// ---- point ----

ZorvGeometryPoint ZorvGeometryPoint::from_runtime(const rt::Point& p) {
  ZorvGeometryPoint out;
  out.x = p.x();
  out.y = p.y();
  out.z = p.z();
  out.m = p.m();
  out.spatial_reference = read_sr(p);
  return out;
}

template struct GeometryModel<ZorvGeometryPoint, rt::Point>;

// ---- envelope ----

rt::Envelope ZorvGeometryEnvelope::as_runtime() const {
  std::optional<rt::SpatialReference> sr = to_geom_sr(spatial_reference);
  // A lone bound of a pair does not make a range.
  std::optional<rt::Range> z_range, m_range;
  if (zmin && zmax) z_range = rt::Range(*zmin, *zmax);
  if (mmin && mmax) m_range = rt::Range(*mmin, *mmax);
  if (sr) return rt::Envelope::with_x_y_z_m_spatial_reference(xmin, xmax, ymin, ymax, z_range, m_range, *sr);
  return rt::Envelope::with_x_y_z_m(xmin, xmax, ymin, ymax, z_range, m_range);
}

ZorvGeometryEnvelope ZorvGeometryEnvelope::from_runtime(const rt::Envelope& e) {
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

template struct GeometryModel<ZorvGeometryEnvelope, rt::Envelope>;

// ---- multipoint ----

rt::Multipoint ZorvGeometryMultipoint::as_runtime() const {
  std::optional<rt::SpatialReference> sr = to_geom_sr(spatial_reference);
  rt::MultipointBuilder builder = rt::MultipointBuilder::with_spatial_reference(ptr(sr));
  {
    auto g = points.read_or_fatal("Lock poisoned");
    rt::MutablePointCollection coll = rt::MutablePointCollection::with_spatial_reference(ptr(sr));
    const ZorvPart& part = *g;
    for (std::size_t i = 0; i < part.len(); ++i) {
      std::optional<double> z, m;
      if (part.zs()) z = (*part.zs())[i];
      if (part.ms()) m = (*part.ms())[i];
      rt::Point p = rt::Point::with_x_y_z_m(part.xs[i], part.ys[i], z, m);
      coll.add_point(p);
    }
    builder.set_points(coll);
  }
  return downcast<rt::Multipoint>(builder.to_geometry());
}

ZorvGeometryMultipoint ZorvGeometryMultipoint::from_runtime(const rt::Multipoint& mp) {
  const bool has_z = mp.has_z();
  const bool has_m = mp.has_m();
  ZorvPart part(has_z, has_m);
  rt::ImmutablePointIntoIter it = mp.points().into_iter();
  // A z or m without its column would be dropped, so it is not asked for.
  while (std::optional<rt::Point> p = it.next())
    part.push_coord(p->x(), p->y(), has_z ? p->z() : std::nullopt, has_m ? p->m() : std::nullopt);
  return ZorvGeometryMultipoint(Cell<ZorvPart>(std::move(part)), read_sr(mp));
}

template struct GeometryModel<ZorvGeometryMultipoint, rt::Multipoint>;

}  // namespace ostrel::model
