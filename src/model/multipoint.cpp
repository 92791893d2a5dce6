#include "model/multipoint.hpp"

#include "model/geoerr.hpp"
#include "model/zorvjson.hpp"

namespace ostrel::model {

CoordDims ZorvGeometryMultipoint::dimensions() const {
  auto g = points.read_or_fatal("Rings lock poisoned");
  return g->dims();
}

bool ZorvGeometryMultipoint::is_empty() const {
  auto g = points.read_or_fatal("Lock poisoned");
  return g->is_empty();
}

void ZorvGeometryMultipoint::set_points(Cell<ZorvPart> part) {
  CoordDims expected = dimensions();
  CoordDims got;
  {
    auto g = part.read_or_fatal("Lock poisoned");
    got = g->dims();
  }
  if (expected != got) throw ZorvGeoErr::mismatching_dimensions(expected, got);
  points = std::move(part);
}

void ZorvGeometryMultipoint::watch(Stamp& stamp) const { stamp.watch(points); }

std::size_t ZorvGeometryMultipoint::vertex_count() const {
  auto g = points.read_or_fatal("Lock poisoned");
  return g->len();
}

void ZorvGeometryMultipoint::write_zorvjson(std::string& out) const {
  out.push_back('{');
  bool first = true;
  zorvjson::write_dims_zorvjson(has_z(), has_m(), out, first);
  if (spatial_reference) {
    zorvjson::cond_comma(out, first);
    out.append("\"spatialReference\": ");
    spatial_reference->write_zorvjson(out);
  }
  zorvjson::cond_comma(out, first);
  out.append("\"points\": ");
  {
    Cell<ZorvPart> share = points;
    auto g = share.read_or_fatal("Points lock poisoned");
    g->write_zorvjson(out);
  }
  out.push_back('}');
}

}  // namespace ostrel::model
