#include "engine/geos_context.hpp"

#include <cstdarg>
#include <cstdio>
#include <new>

#include "errors.hpp"

namespace vaskelith::geos {

namespace {

std::string& error_text() {
  static std::string text;
  return text;
}

void on_message(const char* message, void*) { error_text() = message ? message : ""; }

}  // namespace

GEOSContextHandle_t ctx() {
  // Never finished: the context lives as long as the process, and finishing
  // it at exit could race with geometries freed by other static destructors.
  static GEOSContextHandle_t handle = [] {
    GEOSContextHandle_t h = GEOS_init_r();
    GEOSContext_setErrorMessageHandler_r(h, on_message, nullptr);
    GEOSContext_setNoticeMessageHandler_r(h, nullptr, nullptr);
    return h;
  }();
  return handle;
}

const std::string& last_error() { return error_text(); }

void GeomDeleter::operator()(GEOSGeometry* g) const noexcept {
  if (g) GEOSGeom_destroy_r(ctx(), g);
}

void PreparedDeleter::operator()(const GEOSPreparedGeometry* g) const noexcept {
  if (g) GEOSPreparedGeom_destroy_r(ctx(), g);
}

void engine_failure(const std::string& message, bool with_detail) {
  std::string detail = error_text();
  error_text().clear();
  // GEOS reports its own failed allocations as text; they stay what they are.
  if (detail == kOutOfMemory) throw std::bad_alloc();
  if (!with_detail) detail.clear();
  fail(kGeometryEngine, message, detail);
}

[[noreturn]] static void geos_failure(const char* operation) {
  engine_failure(std::string("The geometry engine failed in ") + operation + ".");
}

GEOSCoordSequence* xy_sequence(const double* xy, std::size_t n) {
  GEOSCoordSequence* seq = GEOSCoordSeq_copyFromBuffer_r(ctx(), xy, static_cast<unsigned>(n), 0, 0);
  if (seq == nullptr) engine_failure("The geometry engine could not build a coordinate sequence.", false);
  return seq;
}

GeomPtr take(GEOSGeometry* g, const char* operation) {
  if (g == nullptr) geos_failure(operation);
  return GeomPtr(g);
}

bool truth(char answer, const char* operation) {
  if (answer == 2) geos_failure(operation);
  return answer == 1;
}

void check(int rc, const char* operation) {
  if (rc == 0) geos_failure(operation);
}

GeomPtr collect(int type, std::vector<GeomPtr> members) {
  std::vector<GEOSGeometry*> raw;
  raw.reserve(members.size());
  for (auto& m : members) raw.push_back(m.get());
  GEOSGeometry* c = GEOSGeom_createCollection_r(ctx(), type, raw.data(), static_cast<unsigned>(raw.size()));
  if (c == nullptr) geos_failure("a collection");
  for (auto& m : members) (void)m.release();
  return GeomPtr(c);
}

std::vector<const GEOSGeometry*> components(const GEOSGeometry* g) {
  std::vector<const GEOSGeometry*> out;
  const int type = GEOSGeomTypeId_r(ctx(), g);
  if (type == GEOS_MULTIPOINT || type == GEOS_MULTILINESTRING || type == GEOS_MULTIPOLYGON ||
      type == GEOS_GEOMETRYCOLLECTION) {
    const int n = GEOSGetNumGeometries_r(ctx(), g);
    for (int i = 0; i < n; ++i) {
      const GEOSGeometry* c = GEOSGetGeometryN_r(ctx(), g, i);
      // Nested collections only come from hand-made inputs; flatten them.
      for (const GEOSGeometry* cc : components(c)) out.push_back(cc);
    }
  } else {
    out.push_back(g);
  }
  return out;
}

}  // namespace vaskelith::geos
