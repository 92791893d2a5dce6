// Helpers of the model's runtime conversions.  Private to the model's sources.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "binding/runtime.hpp"
#include "model/cell.hpp"
#include "model/geoerr.hpp"

// Closes the function-try-block of a conversion.  A fatal error raised by the
// binding is counted on its way out, so that the model locks held up the
// stack (the caller's geometry cell, the collections) are poisoned as it
// unwinds through their guards.
#define OSTREL_MODEL_NOTE_FATAL            \
  catch (const ::ostrel::py::Fatal&) {     \
    ::ostrel::model::detail::note_fatal(); \
    throw;                                 \
  }

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
