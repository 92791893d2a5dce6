// The transformation catalog: PROJ's candidate operations between two
// spatial references, and the folder of projection-engine data files.
#include <proj.h>
#include <proj_experimental.h>

#include <algorithm>
#include <cmath>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "engine/geodetic_frame.hpp"
#include "engine/projection_transform.hpp"
#include "errors.hpp"
#include "handles.hpp"
#include "transformation_catalog.hpp"
#include "transformation_datum.hpp"

namespace vaskelith {

namespace {

// The folder set through the catalog, exactly as given; absent until set.
std::optional<std::string>& engine_directory() {
  static std::optional<std::string> dir;
  return dir;
}

// PROJ's own search path, read before the first change so that its data
// (proj.db above all) stays reachable whatever folder is added.
const std::vector<std::string>& default_search_paths() {
  static const std::vector<std::string> paths = [] {
    std::vector<std::string> out;
    const PJ_INFO info = proj_info();
    std::string all = info.searchpath ? info.searchpath : "";
    std::size_t start = 0;
    while (start <= all.size()) {
      std::size_t end = all.find_first_of(";:", start);
      if (end == std::string::npos) end = all.size();
      if (end > start) out.push_back(all.substr(start, end - start));
      start = end + 1;
    }
    return out;
  }();
  return paths;
}

void apply_search_paths() {
  std::vector<std::string> paths;
  if (engine_directory()) paths.push_back(*engine_directory());
  for (const std::string& p : default_search_paths()) paths.push_back(p);
  std::vector<const char*> raw;
  for (const std::string& p : paths) raw.push_back(p.c_str());
  proj_context_set_search_paths(proj_context_for_search_paths(), static_cast<int>(raw.size()), raw.data());
  projection::clear_operation_cache();
}

// The horizontal system of a reference, with its vertical system attached
// when one is wanted and known.
projection::PjPtr catalog_crs(const SpatialReference& sr, bool with_vertical, bool& has_vertical) {
  projection::PjPtr base = projection::geographic_base(sr);
  has_vertical = false;
  if (!with_vertical || sr.vertical_wkid == 0) return base;
  PJ_CONTEXT* ctx = proj_context();
  const std::string code = std::to_string(sr.vertical_wkid);
  projection::PjPtr vertical(
      proj_create_from_database(ctx, "EPSG", code.c_str(), PJ_CATEGORY_CRS, 0, nullptr));
  if (!vertical) return base;
  PJ* compound = proj_create_compound_crs(ctx, nullptr, base.get(), vertical.get());
  if (!compound) return base;
  has_vertical = true;
  return projection::PjPtr(compound);
}

// Longitude/latitude bounds of an envelope given in its own spatial
// reference (or, without one, in `fallback`), from its densified outline.
bool area_of_interest(const Geometry& g, const SpatialReferencePtr& fallback, double& west, double& south,
                      double& east, double& north) {
  if (g.kind != GeometryKind::Envelope || g.envelope.empty()) return false;
  const SpatialReferencePtr sr = g.spatial_reference ? g.spatial_reference : fallback;
  // The search reports no error to its callers: a reference whose ellipsoid
  // the geodesic library refuses (a polar semi-axis that is not positive)
  // leaves the area of interest unused.  Memory running out is not such a
  // refusal and goes on to the caller.
  std::optional<geodetic::Frame> made;
  try {
    made.emplace(sr);
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception&) {
    return false;
  }
  const geodetic::Frame& frame = *made;
  const EnvelopeBounds& e = g.envelope;
  std::vector<std::pair<double, double>> outline;
  const int n = 16;
  for (int i = 0; i <= n; ++i) {
    const double t = static_cast<double>(i) / n;
    outline.emplace_back(e.xmin + (e.xmax - e.xmin) * t, e.ymin);
    outline.emplace_back(e.xmin + (e.xmax - e.xmin) * t, e.ymax);
    outline.emplace_back(e.xmin, e.ymin + (e.ymax - e.ymin) * t);
    outline.emplace_back(e.xmax, e.ymin + (e.ymax - e.ymin) * t);
  }
  // The search reports no error to its callers, so outline points outside
  // the projection's domain are left out rather than failing it; with no
  // point left the area of interest is not used.
  std::vector<geodetic::LonLat> ll;
  try {
    ll = frame.to_lonlat(outline);
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception&) {
    for (const auto& q : outline) {
      try {
        ll.push_back(frame.to_lonlat(std::vector<std::pair<double, double>>{q}).front());
      } catch (const std::bad_alloc&) {
        throw;
      } catch (const std::exception&) {
      }
    }
  }
  west = south = HUGE_VAL;
  east = north = -HUGE_VAL;
  for (const auto& p : ll) {
    if (!std::isfinite(p.lon) || !std::isfinite(p.lat)) continue;
    west = std::min(west, p.lon);
    east = std::max(east, p.lon);
    south = std::min(south, p.lat);
    north = std::max(north, p.lat);
  }
  west = std::max(west, -180.0);
  east = std::min(east, 180.0);
  south = std::max(south, -90.0);
  north = std::min(north, 90.0);
  // PROJ recurses without end (and overflows the stack) on an area of no
  // width on the antimeridian: an area that narrow becomes a sliver of some
  // width within the range.
  constexpr double kSliver = 1e-7;
  if (west <= east && east - west < kSliver) {
    const double mid = std::clamp((west + east) / 2, -180 + kSliver, 180 - kSliver);
    west = mid - kSliver / 2;
    east = mid + kSliver / 2;
  }
  return west <= east && south <= north;
}

using FactoryContextPtr = ProjPtr<PJ_OPERATION_FACTORY_CONTEXT, &proj_operation_factory_context_destroy>;
using ObjListPtr = ProjPtr<PJ_OBJ_LIST, &proj_list_destroy>;

std::vector<Value> transformations(const SpatialReference& in, const SpatialReference& out,
                                   const Geometry* aoi_geometry, const SpatialReferencePtr& in_ptr,
                                   bool ignore_vertical) {
  PJ_CONTEXT* ctx = proj_context();
  bool in_vertical = false, out_vertical = false;
  const projection::PjPtr src = catalog_crs(in, !ignore_vertical, in_vertical);
  const projection::PjPtr dst = catalog_crs(out, !ignore_vertical, out_vertical);
  const bool vertical = in_vertical || out_vertical;
  // The same datum on both sides needs no transformation.
  if (!vertical && same_crs(src.get(), dst.get())) return {};
  if (vertical && in_vertical && out_vertical && same_crs(src.get(), dst.get())) return {};

  const FactoryContextPtr factory(
      proj_or_out_of_memory([&] { return proj_create_operation_factory_context(ctx, nullptr); }));
  if (!factory)
    fail(kProjection, "The projection engine cannot search for transformations.",
         projection::last_proj_error());
  proj_operation_factory_context_set_spatial_criterion(ctx, factory.get(),
                                                       PROJ_SPATIAL_CRITERION_PARTIAL_INTERSECTION);
  // Operations whose grids are missing stay in the list (after the others)
  // and report the missing files.
  proj_operation_factory_context_set_grid_availability_use(ctx, factory.get(),
                                                           PROJ_GRID_AVAILABILITY_USED_FOR_SORTING);
  proj_operation_factory_context_set_allow_ballpark_transformations(ctx, factory.get(), 0);
  double west, south, east, north;
  if (aoi_geometry && area_of_interest(*aoi_geometry, in_ptr, west, south, east, north))
    proj_operation_factory_context_set_area_of_interest(ctx, factory.get(), west, south, east, north);

  // PROJ refuses to search between systems it cannot relate at all (those
  // of different celestial bodies, above all): between them there is no
  // transformation, which is an answer and not a failure.
  const ObjListPtr ops(proj_or_out_of_memory(
      [&] { return proj_create_operations(ctx, src.get(), dst.get(), factory.get()); }));
  if (!ops) return {};
  const int count = proj_list_get_count(ops.get());
  std::vector<Value> out_list;
  for (int i = 0; i < count; ++i) {
    PjPtr op(proj_list_get(ctx, ops.get(), i));
    if (!op) continue;
    // A bare conversion (axis swap, unit change) changes no datum.
    if (proj_get_type(op.get()) == PJ_TYPE_CONVERSION ||
        proj_coordoperation_has_ballpark_transformation(ctx, op.get()))
      continue;
    out_list.emplace_back(
        datum_transformation_from(op.release(), vertical ? DatumTransformationKind::HorizontalVertical
                                                         : DatumTransformationKind::Geographic));
  }
  return out_list;
}

}  // namespace

const std::optional<std::string>& projection_engine_directory() { return engine_directory(); }

void set_projection_engine_directory(const char* path) {
  default_search_paths();  // read before the first change
  if (path == nullptr || *path == '\0')
    engine_directory().reset();
  else
    engine_directory() = std::string(path);
  apply_search_paths();
}

std::vector<Value> transformations_between(const SpatialReference& in, const SpatialReference& out,
                                           const Geometry* aoi_geometry, const SpatialReferencePtr& in_ptr,
                                           bool ignore_vertical) {
  return transformations(in, out, aoi_geometry, in_ptr, ignore_vertical);
}

}  // namespace vaskelith
