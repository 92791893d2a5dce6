#include "binding/datum_transformation.hpp"

#include "binding/call.hpp"
#include "binding/strings.hpp"

namespace ostrel::rt {

DatumTransformationType datum_transformation_type_try_from(uint32_t code) {
  static constexpr DatumTransformationType kTypes[] = {DatumTransformationType::Geographic,
                                                       DatumTransformationType::HorizontalVertical};
  return detail::enum_try_from(code, kTypes, "bindings::QX_DatumTransformationType", "DatumTransformationType");
}

DatumTransformationOwned DatumTransformationOwned::get_inverse() const {
  return from_handle(OSTREL_RT_CALL(QX_DatumTransformation_getInverse, raw()));
}

std::optional<SpatialReference> DatumTransformationOwned::input_spatial_reference() const {
  QX_SpatialReferenceHandle sr = OSTREL_RT_CALL_FATAL(QX_DatumTransformation_getInputSpatialReference, raw());
  if (sr == nullptr) return std::nullopt;
  return SpatialReference(adopt, sr);
}

bool DatumTransformationOwned::is_missing_projection_engine_files() const {
  return OSTREL_RT_CALL_FATAL(QX_DatumTransformation_getIsMissingProjectionEngineFiles, raw());
}

std::string DatumTransformationOwned::name() const {
  return string_from_handle(OSTREL_RT_CALL_FATAL(QX_DatumTransformation_getName, raw()));
}

DatumTransformationType DatumTransformationOwned::object_type() const {
  uint32_t code = OSTREL_RT_CALL_FATAL(QX_DatumTransformation_getObjectType, raw());
  return detail::transformed_or_fatal([&] { return datum_transformation_type_try_from(code); });
}

std::optional<SpatialReference> DatumTransformationOwned::output_spatial_reference() const {
  QX_SpatialReferenceHandle sr =
      OSTREL_RT_CALL_FATAL(QX_DatumTransformation_getOutputSpatialReference, raw());
  if (sr == nullptr) return std::nullopt;
  return SpatialReference(adopt, sr);
}

}  // namespace ostrel::rt
