// Runtime datum transformations.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "binding/handle.hpp"
#include "binding/spatial_reference.hpp"

namespace ostrel::rt {

enum class DatumTransformationType : uint32_t {
  Geographic = 1,
  HorizontalVertical = 2,
};

// The kind of a code, or the conversion error naming
// "bindings::QX_DatumTransformationType" and "DatumTransformationType" (thrown).
DatumTransformationType datum_transformation_type_try_from(uint32_t code);

class DatumTransformationOwned : public Handle<DatumTransformationOwned, QX_DatumTransformationHandle,
                                               fn::QX_DatumTransformation_destroy, "DatumTransformation"> {
 public:
  using Handle::Handle;
  static constexpr std::string_view kName = "DatumTransformationOwned";

  // A runtime error throws Error.
  DatumTransformationOwned get_inverse() const;
  // Runtime errors are fatal.
  std::optional<SpatialReference> input_spatial_reference() const;
  bool is_missing_projection_engine_files() const;
  std::string name() const;
  DatumTransformationType object_type() const;
  std::optional<SpatialReference> output_spatial_reference() const;
};

}  // namespace ostrel::rt
