// Spatial references of the runtime, resolved through PROJ.
//
// A SpatialReference is immutable and shared (SpatialReferencePtr): every
// geometry made with it points at the same object.  Two references are the
// same reference when same_as() says so; pointer equality is not required.
#pragma once

#include <proj.h>

#include <cstdint>
#include <memory>
#include <new>
#include <mutex>
#include <string>
#include <string_view>

#include "geometry.hpp"

namespace vaskelith {

// The process's one PROJ context (calls are serialised by the caller's
// interpreter lock).
PJ_CONTEXT* proj_context();
// The same context, for a change of PROJ's search paths: where the runtime
// has used it for nothing but opening PROJ's database early, a fresh one,
// so that the database too is found along the new paths.
PJ_CONTEXT* proj_context_for_search_paths();

// Whether PROJ ran out of memory since the flag was last cleared.  PROJ
// answers a failure of any cause with null and says which only in the text
// it logs, which the context reads for this.
bool& proj_ran_out_of_memory();

// Runs a PROJ call that answers null when it fails; where memory ran out
// during it, throws std::bad_alloc instead, so that running out of memory is
// never taken for an unknown id or an unreadable text.
template <class Call>
auto proj_or_out_of_memory(Call&& call) -> decltype(call()) {
  proj_ran_out_of_memory() = false;
  auto result = call();
  if (!result && proj_ran_out_of_memory()) throw std::bad_alloc();
  return result;
}

// An owned PROJ object, released by its destructor with PROJ's `Release`
// for its kind: one pointer type for every object PROJ hands out.
template <auto Release>
struct ProjRelease {
  template <class T>
  void operator()(T* p) const {
    if (p) Release(p);
  }
};
template <class T, auto Release>
using ProjPtr = std::unique_ptr<T, ProjRelease<Release>>;
// A CRS or a coordinate operation.
using PjPtr = ProjPtr<PJ, &proj_destroy>;
// A list of texts (PROJ_STRING_LIST).
using StringListPtr = ProjPtr<char*, &proj_string_list_destroy>;

struct SpatialReference {
  int32_t wkid = 0;           // horizontal id, 0 when made from text without one
  int32_t vertical_wkid = 0;  // 0 when there is none
  bool geographic = false;    // coordinates are longitude / latitude
  // Ellipsoid of the horizontal datum, in meters.
  double semi_major = 6378137.0;
  double inverse_flattening = 298.257223563;  // 0 for a sphere
  // Size of one coordinate unit: radians per unit for a geographic system
  // (pi / 180 for degrees), meters per unit for a projected one.
  double unit_factor = 1.0;

  // The PROJ object of the horizontal system (owned; never null).
  PjPtr crs;

  SpatialReference() = default;
  SpatialReference(const SpatialReference&) = delete;
  SpatialReference& operator=(const SpatialReference&) = delete;

  // WKT (version 1) of the horizontal system: the text it was made from, or
  // for one made from its id, written out when first asked for (writing it
  // costs as much as finding the system, and most references are never
  // asked for their text).
  const std::string& wkt() const;
  // The text the reference was made from; empty for one made from its id.
  // With the id it tells references apart, as a key of the runtime's stores.
  std::string_view own_text() const { return wkid != 0 ? std::string_view() : std::string_view(wkt_); }
  void set_own_text(std::string text) { wkt_ = std::move(text); }

  bool same_as(const SpatialReference& other) const;
  double flattening() const { return inverse_flattening == 0 ? 0.0 : 1.0 / inverse_flattening; }

 private:
  mutable std::once_flag written_;
  mutable std::string wkt_;
};

// Constructors; each throws vaskelith::Failure (errors.hpp) when PROJ does not
// know the id or cannot read the text.
SpatialReferencePtr spatial_reference_from_wkid(int32_t wkid, int32_t vertical_wkid = 0);
SpatialReferencePtr spatial_reference_from_wkt(const std::string& wkt);

// Whether two optional references are the same (both null counts as same).
bool same_spatial_reference(const SpatialReferencePtr& a, const SpatialReferencePtr& b);

}  // namespace vaskelith
