// The members that the five geometry models have in the same form.  Each
// model converts to its runtime geometry R through its own as_runtime() and
// reads one back through its own from_runtime(const R&); the members here are
// built on that pair, defined in convert_common.hpp and instantiated where
// the pair is.
#pragma once

#include <optional>
#include <string>

#include "model/rt_fwd.hpp"
#include "model/spatial_reference.hpp"

namespace ostrel::model {

template <class Self, class R>
struct GeometryModel {
  void set_sr(std::optional<SpatialReference> sr) { static_cast<Self&>(*this).spatial_reference = std::move(sr); }

  // Runtime conversions (throw ZorvGeoErr).
  rt::GeometryOwned as_geometry_owned() const;
  std::string to_json() const;
  static Self try_from_owned(rt::GeometryOwned g);
  // The model of a runtime geometry of this kind, which stays with its owner.
  static Self read_back(const rt::GeometryOwned& g);
};

}  // namespace ostrel::model
