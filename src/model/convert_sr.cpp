// Spatial references and single points across the runtime boundary.
#include "model/convert_common.hpp"
#include "model/coord.hpp"
#include "model/point.hpp"
#include "model/spatial_reference.hpp"

namespace ostrel::model {

std::optional<rt::SpatialReference> to_geom_sr(std::optional<SpatialReference> sr) {
  if (!sr) return std::nullopt;
  const std::optional<uint32_t> horizontal = sr->latest_wkid ? sr->latest_wkid : sr->wkid;
  return convert::lib([&]() -> std::optional<rt::SpatialReference> {
    if (horizontal) {
      const std::optional<uint32_t> vertical = sr->latest_vcs_wkid ? sr->latest_vcs_wkid : sr->vcs_wkid;
      if (vertical) return rt::SpatialReference::with_wkid_vertical_wkid(*horizontal, *vertical);
      return rt::SpatialReference::with_wkid(*horizontal);
    }
    // A vertical id alone says nothing about the horizontal system; wkt2 is
    // never used.
    if (sr->wkt) return rt::SpatialReference::with_wktext(*sr->wkt);
    return std::nullopt;
  });
}

SpatialReference sr_convert(rt::SpatialReference sr) {
  SpatialReference out;
  const uint32_t id = sr.wkid();
  const uint32_t vertical = sr.vertical_wkid();
  if (id != 0) out.wkid = id;
  if (vertical != 0) out.vcs_wkid = vertical;
  if (id == 0) {
    std::string text = sr.wktext();
    if (!text.empty()) out.wkt = std::move(text);
  }
  return out;
}

rt::Point ZorvCoord::as_point() const { return rt::Point::with_x_y_z_m(x_, y_, z(), m()); }

rt::Point ZorvGeometryPoint::as_runtime() const {
  std::optional<rt::SpatialReference> sr = to_geom_sr(spatial_reference);
  if (sr) return rt::Point::with_x_y_z_m_spatial_reference(x, y, z, m, *sr);
  return rt::Point::with_x_y_z_m(x, y, z, m);
}

}  // namespace ostrel::model
