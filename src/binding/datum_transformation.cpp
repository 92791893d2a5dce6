#include "binding/datum_transformation.hpp"

#include "binding/call.hpp"
#include "binding/strings.hpp"

namespace ostrel::rt {

DatumTransformationType datum_transformation_type_try_from(uint32_t code) {
  switch (code) {
    case 1:
      return DatumTransformationType::Geographic;
    case 2:
      return DatumTransformationType::HorizontalVertical;
    default:
      throw Error::new_conversion_error("bindings::QX_DatumTransformationType", "DatumTransformationType");
  }
}

void DatumTransformationOwned::destroy(QX_DatumTransformationHandle h, const QX_ErrorHandler* eh) {
  QX(QX_DatumTransformation_destroy)(h, eh);
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
  try {
    return datum_transformation_type_try_from(code);
  } catch (const Error& e) {
    detail::fatal_transform(e);
  }
}

std::optional<SpatialReference> DatumTransformationOwned::output_spatial_reference() const {
  QX_SpatialReferenceHandle sr =
      OSTREL_RT_CALL_FATAL(QX_DatumTransformation_getOutputSpatialReference, raw());
  if (sr == nullptr) return std::nullopt;
  return SpatialReference(adopt, sr);
}

}  // namespace ostrel::rt
