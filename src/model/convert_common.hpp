// Helpers of the model's runtime conversions.  Private to the model's sources.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "binding/runtime.hpp"
#include "model/cell.hpp"
#include "model/geoerr.hpp"

namespace ostrel::model::convert {

// Runs a runtime call whose Error is a model error (VaskelithLibraryError).
template <class F>
decltype(auto) lib(F&& f) {
  try {
    return std::forward<F>(f)();
  } catch (const rt::Error& e) {
    throw ZorvGeoErr::from_runtime(e);
  }
}

// Runs a runtime call whose Error breaks an invariant: fatal, with the
// unwrap text and the error's debug form.
template <class F>
decltype(auto) unwrap(F&& f) {
  try {
    return std::forward<F>(f)();
  } catch (const rt::Error& e) {
    detail::fatal("called `Result::unwrap()` on an `Err` value: " + e.debug());
  }
}

inline const rt::SpatialReference* ptr(const std::optional<rt::SpatialReference>& sr) {
  return sr ? &*sr : nullptr;
}

}  // namespace ostrel::model::convert
