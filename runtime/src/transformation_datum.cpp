#include "transformation_datum.hpp"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "errors.hpp"

namespace vaskelith {

namespace {

// The grid files of an operation that are not on the search path, by the
// names PROJ gives them.
std::vector<std::string> unavailable_grids(const PJ* op) {
  PJ_CONTEXT* ctx = proj_context();
  std::vector<std::string> out;
  const int n = proj_coordoperation_get_grid_used_count(ctx, op);
  for (int i = 0; i < n; ++i) {
    const char *short_name = nullptr, *full_name = nullptr, *package = nullptr, *url = nullptr;
    int direct = 0, open = 0, available = 0;
    if (!proj_coordoperation_get_grid_used(ctx, op, i, &short_name, &full_name, &package, &url, &direct,
                                           &open, &available))
      out.emplace_back("grid " + std::to_string(i + 1));
    else if (!available)
      out.emplace_back(short_name ? short_name : "grid " + std::to_string(i + 1));
  }
  return out;
}

}  // namespace

bool same_crs(const PJ* a, const PJ* b) {
  return a && b &&
         proj_is_equivalent_to_with_ctx(proj_context(), a, b, PJ_COMP_EQUIVALENT_EXCEPT_AXIS_ORDER_GEOGCRS);
}

SpatialReferencePtr spatial_reference_for(const PJ* crs) {
  if (!crs) return nullptr;
  // A compound system stands for its horizontal part plus a vertical id.
  PJ_CONTEXT* ctx = proj_context();
  if (proj_get_type(crs) == PJ_TYPE_COMPOUND_CRS) {
    projection::PjPtr horizontal(proj_crs_get_sub_crs(ctx, crs, 0));
    projection::PjPtr vertical(proj_crs_get_sub_crs(ctx, crs, 1));
    const char* hauth = horizontal ? proj_get_id_auth_name(horizontal.get(), 0) : nullptr;
    const char* vauth = vertical ? proj_get_id_auth_name(vertical.get(), 0) : nullptr;
    if (hauth && vauth && std::strcmp(hauth, "EPSG") == 0 && std::strcmp(vauth, "EPSG") == 0) {
      try {
        return spatial_reference_from_wkid(std::atoi(proj_get_id_code(horizontal.get(), 0)),
                                           std::atoi(proj_get_id_code(vertical.get(), 0)));
      } catch (const Failure&) {
      }
    }
    return horizontal ? spatial_reference_for(horizontal.get()) : nullptr;
  }
  const char* auth = proj_get_id_auth_name(crs, 0);
  if (auth && std::strcmp(auth, "EPSG") == 0) {
    try {
      return spatial_reference_from_wkid(std::atoi(proj_get_id_code(crs, 0)));
    } catch (const Failure&) {
    }
  }
  const char* wkt = proj_as_wkt(ctx, crs, PJ_WKT1_GDAL, nullptr);
  if (!wkt) return nullptr;
  try {
    return spatial_reference_from_wkt(wkt);
  } catch (const Failure&) {
    return nullptr;
  }
}

DatumTransformationPtr datum_transformation_from(PJ* op, DatumTransformationKind kind) {
  auto listed = std::make_shared<const projection::Operation>(PjPtr(op));
  PJ_CONTEXT* ctx = proj_context();
  auto t = std::make_shared<DatumTransformation>();
  const char* name = proj_get_name(op);
  t->name = name ? name : "";
  t->kind = kind;
  t->missing_files = !unavailable_grids(op).empty() || !proj_coordoperation_is_instantiable(ctx, op);
  projection::PjPtr source(proj_get_source_crs(ctx, op));
  projection::PjPtr target(proj_get_target_crs(ctx, op));
  t->input = spatial_reference_for(source.get());
  t->output = spatial_reference_for(target.get());
  PjPtr norm(proj_or_out_of_memory([&] { return proj_normalize_for_visualization(ctx, op); }));
  if (!norm) fail(kProjection, "The datum transformation cannot be used.", projection::last_proj_error());
  t->operation = std::make_shared<const projection::Operation>(std::move(norm));
  t->listed = std::move(listed);
  return t;
}

std::string missing_grids(const DatumTransformation& t) {
  const std::vector<std::string> names = unavailable_grids(t.listed->get());
  if (names.empty()) return "The projection engine cannot set the transformation up.";
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

DatumTransformationPtr inverse_of(const DatumTransformation& t) {
  PJ_CONTEXT* ctx = proj_context();
  PjPtr owned_inv(proj_coordoperation_create_inverse(ctx, t.listed->get()));
  if (!owned_inv)
    fail(kProjection, "The datum transformation has no inverse.", projection::last_proj_error());
  PJ* inv = owned_inv.get();
  auto listed = std::make_shared<const projection::Operation>(std::move(owned_inv));
  auto out = std::make_shared<DatumTransformation>();
  const char* name = proj_get_name(inv);
  out->name = name ? name : ("Inverse of " + t.name);
  out->kind = t.kind;
  out->missing_files = t.missing_files;
  out->input = t.output;
  out->output = t.input;
  PjPtr norm(proj_or_out_of_memory([&] { return proj_normalize_for_visualization(ctx, inv); }));
  if (!norm) fail(kProjection, "The datum transformation has no inverse.", projection::last_proj_error());
  out->operation = std::make_shared<const projection::Operation>(std::move(norm));
  out->listed = std::move(listed);
  return out;
}

}  // namespace vaskelith
