// The spherical equal-area methods on PROJ before 9.2.
//
// EPSG defines the spherical forms of Lambert azimuthal equal-area (method
// 1027) and Lambert cylindrical equal-area (method 9834) on the authalic
// sphere of the CRS's ellipsoid, latitudes taken as they are.  PROJ 9.1
// exports both as the ellipsoidal projection, which puts points up to some
// 25 km away; PROJ 9.2 added +R_A to their projection step.  With an older
// PROJ the runtime builds that step itself and leaves every other method,
// and every other step, to PROJ.
#include <proj.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "engine/projection_transform.hpp"
#include "errors.hpp"

namespace vaskelith::projection {

namespace {

bool proj_needs_help() {
  const PJ_INFO info = proj_info();
  return info.major < 9 || (info.major == 9 && info.minor < 2);
}

// The projected CRS inside a CRS (itself, the horizontal part of a compound
// CRS, the source of a bound one); null when there is none.
PjPtr projected_part(const PJ* crs) {
  PJ_CONTEXT* ctx = proj_context();
  PjPtr h(proj_clone(ctx, crs));
  for (int depth = 0; h && depth < 3; ++depth) {
    switch (proj_get_type(h.get())) {
      case PJ_TYPE_PROJECTED_CRS: return h;
      case PJ_TYPE_COMPOUND_CRS: h.reset(proj_crs_get_sub_crs(ctx, h.get(), 0)); break;
      case PJ_TYPE_BOUND_CRS: h.reset(proj_get_source_crs(ctx, h.get())); break;
      default: return nullptr;
    }
  }
  return nullptr;
}

bool spherical_equal_area(const PJ* projected) {
  PJ_CONTEXT* ctx = proj_context();
  const PjPtr conversion(proj_crs_get_coordoperation(ctx, projected));
  if (!conversion) return false;
  const char* authority = nullptr;
  const char* code = nullptr;
  if (!proj_coordoperation_get_method_info(ctx, conversion.get(), nullptr, &authority, &code)) return false;
  return authority && code && std::strcmp(authority, "EPSG") == 0 &&
         (std::strcmp(code, "1027") == 0 || std::strcmp(code, "9834") == 0);
}

// For a CRS projected by one of the two methods: the step from longitude and
// latitude (degrees) on its geographic base to its plane, on the authalic
// sphere, and that base.  Null otherwise.
std::pair<PjPtr, PjPtr> authalic_projection(const PJ* crs) {
  PjPtr projected = projected_part(crs);
  if (!projected || !spherical_equal_area(projected.get())) return {};
  PJ_CONTEXT* ctx = proj_context();
  PjPtr base(proj_crs_get_geodetic_crs(ctx, projected.get()));
  if (!base) return {};
  // PROJ's own conversion, in its own words, with the sphere put in.
  const PjPtr own = create_default_operation(base.get(), projected.get());
  const char* text = proj_as_proj_string(ctx, own.get(), PJ_PROJ_5, nullptr);
  if (!text) return {};
  std::string pipeline = text;
  for (const char* step : {"+proj=laea", "+proj=cea"}) {
    const std::size_t at = pipeline.find(step);
    if (at == std::string::npos) continue;
    const std::size_t end = at + std::strlen(step);
    if (end < pipeline.size() && pipeline[end] != ' ') continue;
    pipeline.insert(end, " +R_A");
    PjPtr fixed(proj_create(ctx, pipeline.c_str()));
    if (!fixed) fail(kProjection, "The spherical projection could not be set up.", last_proj_error());
    return {std::move(fixed), std::move(base)};
  }
  return {};
}

}  // namespace

OperationPtr spherical_equal_area_operation(const PJ* from, const PJ* to) {
  if (!proj_needs_help()) return nullptr;
  auto [leave, from_base] = authalic_projection(from);
  auto [enter, to_base] = authalic_projection(to);
  if (!leave && !enter) return nullptr;
  const PJ* start = leave ? from_base.get() : from;
  const PJ* finish = enter ? to_base.get() : to;
  PjPtr between;
  if (!proj_is_equivalent_to(start, finish, PJ_COMP_EQUIVALENT))
    between = create_default_operation(start, finish);
  std::vector<std::pair<PjPtr, PJ_DIRECTION>> steps;
  if (leave) steps.emplace_back(std::move(leave), PJ_INV);
  if (between) steps.emplace_back(std::move(between), PJ_FWD);
  if (enter) steps.emplace_back(std::move(enter), PJ_FWD);
  return std::make_shared<const Operation>(std::move(steps));
}

}  // namespace vaskelith::projection
