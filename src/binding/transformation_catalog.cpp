#include "binding/transformation_catalog.hpp"

#include "binding/array.hpp"
#include "binding/call.hpp"
#include "binding/environment.hpp"
#include "binding/strings.hpp"

namespace ostrel::rt::transformation_catalog {

std::optional<std::string> projection_engine_directory() {
  environment::init();
  QX_StringHandle dir = OSTREL_RT_CALL_FATAL(QX_TransformationCatalog_getProjectionEngineDirectory);
  if (dir == nullptr) return std::nullopt;
  std::string text = string_from_handle(dir);
  if (text.empty()) return std::nullopt;
  return text;
}

void set_projection_engine_directory(const std::optional<std::string_view>& path) {
  std::optional<std::string> c_path;
  if (path) c_path = to_c_string(*path, "Internal error: Path contains interior nulls");
  OSTREL_RT_CALL(QX_TransformationCatalog_setProjectionEngineDirectory, c_path ? c_path->c_str() : nullptr);
}

std::vector<DatumTransformationOwned>
get_transformations_by_suitability_with_area_of_interest_and_ignore_vertical(const SpatialReference& input,
                                                                             const SpatialReference& output,
                                                                             const Envelope* area_of_interest,
                                                                             bool ignore_vertical) {
  QX_ArrayHandle array = OSTREL_RT_CALL_FATAL(
      QX_TransformationCatalog_getTransformationsBySuitabilityWithAreaOfInterestAndIgnoreVertical,
      input.raw(), output.raw(), area_of_interest ? area_of_interest->raw() : nullptr, ignore_vertical);
  Array owned = Array::from_handle(array);
  return detail::transformed_or_fatal(
      [&] { return array_into_vec<DatumTransformationOwned>(std::move(owned)); });
}

}  // namespace ostrel::rt::transformation_catalog
