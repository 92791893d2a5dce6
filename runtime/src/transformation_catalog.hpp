// The transformation catalogue: PROJ's candidate operations between two
// spatial references, and the folder of projection-engine data files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "geometry.hpp"
#include "handles.hpp"
#include "spatial_reference.hpp"

namespace vaskelith {

// Code of the arrays the catalog hands out: their items are datum
// transformations.
constexpr uint32_t kDatumTransformationArray = 44;

// The folder set by the caller, searched before PROJ's own; none at first.
const std::optional<std::string>& projection_engine_directory();
// A null or empty path goes back to PROJ's own folders alone.
void set_projection_engine_directory(const char* path);

// The datum transformations from `in` to `out`, most suitable first, each
// an element of an array the caller hands out; only those that cover the
// area of interest when one is given.
std::vector<Value> transformations_between(const SpatialReference& in, const SpatialReference& out,
                                           const Geometry* aoi_geometry, const SpatialReferencePtr& in_ptr,
                                           bool ignore_vertical);

}  // namespace vaskelith
