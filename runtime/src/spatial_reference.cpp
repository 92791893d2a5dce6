// Spatial references resolved through PROJ, and units.
#include "spatial_reference.hpp"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <numbers>
#include <string>
#include <string_view>
#include <vector>

#include "bounded_store.hpp"
#include "errors.hpp"
#include "handles.hpp"

namespace vaskelith {

bool& proj_ran_out_of_memory() {
  static bool ran_out = false;
  return ran_out;
}

namespace {

// Reads PROJ's error texts for memory running out (its own, and SQLite's
// as PROJ passes them on); prints nothing.  Allocates nothing, since it may
// be told so while memory is short.
void read_proj_log(void*, int level, const char* text) {
  if (level <= PJ_LOG_ERROR && text != nullptr &&
      (std::strstr(text, "out of memory") != nullptr || std::strstr(text, "bad_alloc") != nullptr))
    proj_ran_out_of_memory() = true;
}

}  // namespace

namespace {

PJ_CONTEXT* new_proj_context() {
  PJ_CONTEXT* c = proj_context_create();
  proj_log_func(c, nullptr, &read_proj_log);
  proj_log_level(c, PJ_LOG_ERROR);
  return c;
}

// The variables through which PROJ is told where its data lies, as one
// text (an absent one told apart from an empty one).
std::string data_variables() {
  std::string out;
  for (const char* name : {"PROJ_DATA", "PROJ_LIB"}) {
    const char* value = std::getenv(name);
    out += value != nullptr ? '=' : '-';
    if (value != nullptr) out += value;
    out += '\0';
  }
  return out;
}

// The process's context, never destroyed once it has served a call: objects
// released during process exit may still use it.
struct ProjContext {
  PJ_CONTEXT* ctx = new_proj_context();
  // Whether anything but the opening of the database has used it.
  bool used = false;
  // data_variables() when the database was opened early.
  std::string opened_with;

  // Where only the early opening has used the context, a fresh one takes
  // its place: its database is looked for at first need, along the paths
  // and variables of that time, as it would have been had the database not
  // been opened early.
  void renew() {
    proj_context_destroy(ctx);
    ctx = new_proj_context();
  }
};

ProjContext& the_proj_context() {
  static ProjContext context;
  return context;
}

// PROJ reads the whole schema of its database when it opens it, some 25
// million instructions of SQL parsing (several milliseconds) that the first
// spatial reference made from an id would otherwise pay.  The runtime opens
// it as it is loaded, as other PROJ front ends do when they are imported.  A
// database that cannot be opened now is looked for again at the first call
// that needs it, which reports the failure as before.
[[gnu::constructor]] void open_proj_database() {
  try {
    ProjContext& context = the_proj_context();
    if (context.used) return;
    context.opened_with = data_variables();
    (void)proj_context_get_database_path(context.ctx);
    proj_ran_out_of_memory() = false;
  } catch (...) {
    // Nothing is lost: the database is opened at first need instead.
  }
}

}  // namespace

PJ_CONTEXT* proj_context() {
  ProjContext& context = the_proj_context();
  if (!context.used) {
    context.used = true;
    if (data_variables() != context.opened_with) context.renew();
  }
  return context.ctx;
}

PJ_CONTEXT* proj_context_for_search_paths() {
  ProjContext& context = the_proj_context();
  if (!context.used) {
    context.renew();
    context.used = true;
  }
  return context.ctx;
}

bool SpatialReference::same_as(const SpatialReference& other) const {
  if (this == &other) return true;
  if (vertical_wkid != other.vertical_wkid) return false;
  if (wkid != 0 || other.wkid != 0) return wkid == other.wkid;
  return proj_is_equivalent_to_with_ctx(proj_context(), crs.get(), other.crs.get(), PJ_COMP_EQUIVALENT) != 0;
}

bool same_spatial_reference(const SpatialReferencePtr& a, const SpatialReferencePtr& b) {
  if (!a || !b) return !a && !b;
  return a->same_as(*b);
}

namespace {

bool is_geographic_type(PJ_TYPE t) {
  return t == PJ_TYPE_GEOGRAPHIC_2D_CRS || t == PJ_TYPE_GEOGRAPHIC_3D_CRS || t == PJ_TYPE_GEOGRAPHIC_CRS;
}

bool is_horizontal_type(PJ_TYPE t) {
  return is_geographic_type(t) || t == PJ_TYPE_PROJECTED_CRS || t == PJ_TYPE_GEOCENTRIC_CRS ||
         t == PJ_TYPE_COMPOUND_CRS || t == PJ_TYPE_BOUND_CRS || t == PJ_TYPE_OTHER_CRS ||
         t == PJ_TYPE_ENGINEERING_CRS;
}

constexpr const char* kFirstAuthority = "EPSG";

// The authorities an id is looked up in after EPSG: every other one PROJ's
// database holds, in the database's order.  Asked for only when EPSG does
// not know an id (listing them is a search of the whole database), and kept
// once the database has answered: it does not change while the process
// runs.  A read that failed (the database could not be opened, memory ran
// out) is not kept, else every id outside EPSG would stay unknown for the
// rest of the process.
const std::vector<std::string>& other_authorities() {
  static const std::vector<std::string> none;
  static std::mutex mu;
  static std::vector<std::string> kept;  // never changed once filled
  static bool known = false;
  std::lock_guard<std::mutex> lock(mu);
  if (known) return kept;
  const StringListPtr all{
      proj_or_out_of_memory([] { return proj_get_authorities_from_database(proj_context()); })};
  if (!all) return none;
  for (PROJ_STRING_LIST p = all.get(); *p != nullptr; ++p)
    if (std::string_view(*p) != kFirstAuthority) kept.emplace_back(*p);
  known = true;
  return kept;
}

PjPtr crs_from_code(int32_t code) {
  PJ_CONTEXT* ctx = proj_context();
  const std::string c = std::to_string(code);
  const auto lookup = [&](const char* authority) {
    return PjPtr(proj_or_out_of_memory(
        [&] { return proj_create_from_database(ctx, authority, c.c_str(), PJ_CATEGORY_CRS, 0, nullptr); }));
  };
  if (PjPtr obj = lookup(kFirstAuthority)) return obj;
  for (const std::string& auth : other_authorities())
    if (PjPtr obj = lookup(auth.c_str())) return obj;
  return nullptr;
}

// Reads the ellipsoid, the kind and the coordinate unit of a horizontal CRS.
void describe(SpatialReference& sr) {
  PJ_CONTEXT* ctx = proj_context();
  PJ* horizontal = sr.crs.get();
  PjPtr owned;
  PJ_TYPE type = proj_get_type(horizontal);
  if (type == PJ_TYPE_BOUND_CRS) {
    owned.reset(proj_get_source_crs(ctx, horizontal));
    if (owned) horizontal = owned.get(), type = proj_get_type(horizontal);
  }
  if (type == PJ_TYPE_COMPOUND_CRS) {
    if (PjPtr sub{proj_crs_get_sub_crs(ctx, horizontal, 0)}) {
      owned = std::move(sub);
      horizontal = owned.get();
      type = proj_get_type(horizontal);
    }
  }
  sr.geographic = is_geographic_type(type);
  if (PjPtr ellipsoid{proj_get_ellipsoid(ctx, horizontal)}) {
    double a = 0, b = 0, inv_f = 0;
    int computed = 0;
    if (proj_ellipsoid_get_parameters(ctx, ellipsoid.get(), &a, &b, &computed, &inv_f)) {
      sr.semi_major = a;
      sr.inverse_flattening = (a == b) ? 0.0 : inv_f;
    }
  }
  if (PjPtr cs{proj_crs_get_coordinate_system(ctx, horizontal)}) {
    double factor = 0;
    if (proj_cs_get_axis_count(ctx, cs.get()) > 0 &&
        proj_cs_get_axis_info(ctx, cs.get(), 0, nullptr, nullptr, nullptr, &factor, nullptr, nullptr,
                              nullptr) &&
        factor > 0)
      sr.unit_factor = factor;
  } else if (sr.geographic) {
    sr.unit_factor = std::numbers::pi / 180;
  }
}

std::string wkt_of(PJ* crs) {
  PJ_CONTEXT* ctx = proj_context();
  const char* options[] = {"MULTILINE=NO", nullptr};
  const char* text = proj_as_wkt(ctx, crs, PJ_WKT1_ESRI, options);
  if (text == nullptr) text = proj_as_wkt(ctx, crs, PJ_WKT1_GDAL, options);
  if (text == nullptr) text = proj_as_wkt(ctx, crs, PJ_WKT2_2019, options);
  return text ? std::string(text) : std::string();
}

SpatialReferencePtr make_from_wkid(int32_t wkid, int32_t vertical_wkid);
SpatialReferencePtr make_from_wkt(const std::string& wkt);

}  // namespace

// Spatial references are immutable once made, and resolving one through PROJ's
// database costs far more than any geometry operation on it; every conversion
// of a geometry makes its reference anew, so the ones made are kept.
SpatialReferencePtr spatial_reference_from_wkid(int32_t wkid, int32_t vertical_wkid) {
  static BoundedStore<std::pair<int32_t, int32_t>, SpatialReferencePtr> made;
  return made.get(std::make_pair(wkid, vertical_wkid), [&] { return make_from_wkid(wkid, vertical_wkid); });
}

SpatialReferencePtr spatial_reference_from_wkt(const std::string& wkt) {
  static BoundedStore<std::string, SpatialReferencePtr> made;
  return made.get(wkt, [&] { return make_from_wkt(wkt); });
}

const std::string& SpatialReference::wkt() const {
  if (wkid != 0) std::call_once(written_, [&] { wkt_ = wkt_of(crs.get()); });
  return wkt_;
}

namespace {

SpatialReferencePtr make_from_wkid(int32_t wkid, int32_t vertical_wkid) {
  if (wkid <= 0) fail(kInvalidArgument, "Invalid well-known id.", "Id " + std::to_string(wkid) + ".");
  PjPtr crs = crs_from_code(wkid);
  if (!crs || !is_horizontal_type(proj_get_type(crs.get()))) {
    fail(kProjection, "Invalid well-known id.",
         "No horizontal coordinate system has the id " + std::to_string(wkid) + ".");
  }
  if (vertical_wkid != 0) {
    PjPtr vertical = crs_from_code(vertical_wkid);
    if (!vertical || proj_get_type(vertical.get()) != PJ_TYPE_VERTICAL_CRS) {
      fail(kProjection, "Invalid vertical well-known id.",
           "No vertical coordinate system has the id " + std::to_string(vertical_wkid) + ".");
    }
  }
  auto sr = std::make_shared<SpatialReference>();
  sr->crs = std::move(crs);
  sr->wkid = wkid;
  sr->vertical_wkid = vertical_wkid;
  describe(*sr);
  return sr;
}

SpatialReferencePtr make_from_wkt(const std::string& wkt) {
  PJ_CONTEXT* ctx = proj_context();
  if (wkt.empty()) fail(kInvalidArgument, "Invalid well-known text.", "The text is empty.");
  PROJ_STRING_LIST warnings = nullptr, errors = nullptr;
  proj_ran_out_of_memory() = false;
  PjPtr crs(proj_create_from_wkt(ctx, wkt.c_str(), nullptr, &warnings, &errors));
  const StringListPtr owned_warnings(warnings), owned_errors(errors);
  if (!crs && proj_ran_out_of_memory()) throw std::bad_alloc();
  std::string detail;
  if (errors != nullptr && errors[0] != nullptr) detail = errors[0];
  if (!crs || !is_horizontal_type(proj_get_type(crs.get()))) {
    fail(kProjection, "Invalid well-known text.",
         detail.empty() ? "The text names no coordinate system." : detail);
  }
  auto sr = std::make_shared<SpatialReference>();
  sr->crs = std::move(crs);
  describe(*sr);
  sr->set_own_text(wkt);  // handed back as given, so that it survives a round trip
  return sr;
}

}  // namespace

}  // namespace vaskelith
