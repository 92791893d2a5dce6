#include "model/polygon.hpp"

#include "model/multipart_impl.hpp"

namespace ostrel::model {

namespace {

[[noreturn]] void insufficient(std::string detail) {
  throw ZorvGeoErr(ZorvGeoErr::Kind::InsufficientRing, std::move(detail));
}

}  // namespace

ZorvGeometryPolygon ZorvGeometryPolygon::try_new_with_curves(bool has_z, bool has_m,
                                                             std::vector<Cell<ZorvPart>> rings,
                                                             std::vector<Cell<ZorvCurvePart>> curve_rings,
                                                             std::optional<SpatialReference> sr) {
  ZorvGeometryPolygon poly(Cell<PartCollection>(PartCollection(has_z, has_m)),
                           Cell<CurvePartCollection>(CurvePartCollection(has_z, has_m)), std::move(sr));
  for (auto& r : rings) poly.push_ring(std::move(r));
  for (auto& r : curve_rings) poly.push_curve_ring(std::move(r));
  return poly;
}

CoordDims ZorvGeometryPolygon::dimensions() const { return multipart::dimensions(rings); }

bool ZorvGeometryPolygon::is_empty() const { return multipart::is_empty(rings, curve_rings); }

void ZorvGeometryPolygon::watch(Stamp& stamp) const { multipart::watch(rings, curve_rings, stamp); }

void ZorvGeometryPolygon::push_ring(Cell<ZorvPart> part) {
  std::size_t n;
  {
    auto g = part.read_or_fatal("Lock poisoned");
    n = g->len();
  }
  if (n <= 2) insufficient("Linear ring requires len >= 3, but got: " + std::to_string(n));
  multipart::push(rings, std::move(part), "Rings lock poisoned");
}

void ZorvGeometryPolygon::push_curve_ring(Cell<ZorvCurvePart> part) {
  {
    auto g = part.read_or_fatal("Lock poisoned");
    const std::size_t n = g->len();
    if (n < 2) insufficient("Curved ring requires at least 2 vertices, but got: " + std::to_string(n));
    if (n == 2) {
      std::optional<CurveData> closing = g->curves.get(1);
      if (!closing || is_linear(*closing))
        insufficient(
            "Curved ring with only two vertices requires a curved segment in order to enclose an area");
    }
  }
  multipart::push(curve_rings, std::move(part), "curveRings lock poisoned");
}

void ZorvGeometryPolygon::set_rings(Cell<PartCollection> c) {
  multipart::replace(rings, std::move(c), dimensions());
}

void ZorvGeometryPolygon::set_curve_rings(Cell<CurvePartCollection> c) {
  multipart::replace(curve_rings, std::move(c), dimensions());
}

void ZorvGeometryPolygon::write_zorvjson(std::string& out) const {
  static const multipart::Names names{"\"curveRings\": ", "\"rings\": ", "Curve rings lock poisoned"};
  multipart::write(rings, curve_rings, spatial_reference, names, out);
}

}  // namespace ostrel::model
