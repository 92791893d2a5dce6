#include "model/polyline.hpp"

#include "model/multipart_impl.hpp"

namespace ostrel::model {

ZorvGeometryPolyline ZorvGeometryPolyline::try_new_with_curves(bool has_z, bool has_m,
                                                               std::vector<Cell<ZorvPart>> paths,
                                                               std::vector<Cell<ZorvCurvePart>> curve_paths,
                                                               std::optional<SpatialReference> sr) {
  ZorvGeometryPolyline line(Cell<PartCollection>(PartCollection(has_z, has_m)),
                            Cell<CurvePartCollection>(CurvePartCollection(has_z, has_m)), std::move(sr));
  for (auto& p : paths) line.push_path(std::move(p));
  for (auto& p : curve_paths) line.push_curve_path(std::move(p));
  return line;
}

CoordDims ZorvGeometryPolyline::dimensions() const { return multipart::dimensions(paths); }

bool ZorvGeometryPolyline::is_empty() const { return multipart::is_empty(paths, curve_paths); }

void ZorvGeometryPolyline::watch(Stamp& stamp) const { multipart::watch(paths, curve_paths, stamp); }

void ZorvGeometryPolyline::push_path(Cell<ZorvPart> part) {
  multipart::push(paths, std::move(part), "Rings lock poisoned");
}

void ZorvGeometryPolyline::push_curve_path(Cell<ZorvCurvePart> part) {
  multipart::push(curve_paths, std::move(part), "curveRings lock poisoned");
}

void ZorvGeometryPolyline::set_paths(Cell<PartCollection> c) {
  multipart::replace(paths, std::move(c), dimensions());
}

void ZorvGeometryPolyline::set_curve_paths(Cell<CurvePartCollection> c) {
  multipart::replace(curve_paths, std::move(c), dimensions());
}

void ZorvGeometryPolyline::write_zorvjson(std::string& out) const {
  static const multipart::Names names{"\"curvePaths\": ", "\"paths\": ", "Curve paths lock poisoned"};
  multipart::write(paths, curve_paths, spatial_reference, names, out);
}

}  // namespace ostrel::model
