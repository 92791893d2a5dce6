// The runtime's transformation catalog: ranking of datum transformations and
// the projection-engine data folder (runtime state).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "binding/datum_transformation.hpp"
#include "binding/geometry.hpp"
#include "binding/spatial_reference.hpp"

namespace ostrel::rt::transformation_catalog {

// Runs the environment initialisation; absent for a null or empty answer.
// Runtime errors are fatal.
std::optional<std::string> projection_engine_directory();

// Absent passes a null path.  The caller runs the environment initialisation.
// A runtime error throws Error; a NUL byte in the path is fatal
// ("Internal error: Path contains interior nulls").
void set_projection_engine_directory(const std::optional<std::string_view>& path);

// The suitable transformations, best first.  Everything but success is fatal.
std::vector<DatumTransformationOwned>
get_transformations_by_suitability_with_area_of_interest_and_ignore_vertical(const SpatialReference& input,
                                                                             const SpatialReference& output,
                                                                             const Envelope* area_of_interest,
                                                                             bool ignore_vertical);

}  // namespace ostrel::rt::transformation_catalog
