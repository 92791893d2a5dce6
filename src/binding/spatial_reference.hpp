// Runtime spatial references and units.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "binding/handle.hpp"

namespace ostrel::rt {

// The runtime's spatial reference (the model and Python have their own types
// of the same name).
class SpatialReference
    : public Handle<SpatialReference, QX_SpatialReferenceHandle, fn::QX_SpatialReference_destroy> {
 public:
  using Handle::Handle;
  static constexpr std::string_view kName = "SpatialReference";

  // Constructors run the environment initialisation; runtime errors throw Error.
  static SpatialReference with_wkid(uint32_t wkid);
  static SpatialReference with_wkid_vertical_wkid(uint32_t wkid, uint32_t vertical_wkid);
  // A NUL byte in the text is refused like other unreadable text (Error code 2).
  static SpatialReference with_wktext(std::string_view text);

  // 0 means absent.  Runtime errors are fatal.
  uint32_t wkid() const;
  uint32_t vertical_wkid() const;
  std::string wktext() const;
};

enum class AreaUnitId : uint32_t {
  Other = 0,
  Hectares = 109401,
  Acres = 109402,
  SquareMeters = 109404,
  SquareFeet = 109405,
  SquareKilometers = 109414,
  SquareMiles = 109439,
  SquareYards = 109442,
  SquareDecimeters = 109450,
  SquareCentimeters = 109451,
  SquareMillimeters = 109452,
};

// The unit of a code, or the conversion error naming
// "bindings::QX_AreaUnitId" and "AreaUnitId" (thrown).
AreaUnitId area_unit_id_try_from(uint32_t code);

class AreaUnit : public Handle<AreaUnit, QX_UnitHandle, fn::QX_Unit_destroy, "Unit"> {
 public:
  using Handle::Handle;
  static constexpr std::string_view kName = "AreaUnit";

  // Runs the environment initialisation; a runtime error throws Error.
  static AreaUnit with_unit_id(AreaUnitId unit_id);

  // Runtime errors are fatal.
  AreaUnitId area_unit_id() const;
  double convert_to(const AreaUnit& to_unit, double area) const;
  double convert_from(const AreaUnit& from_unit, double area) const;
  double to_square_meters(double area) const;
  double from_square_meters(double area) const;
};

class LinearUnit : public Handle<LinearUnit, QX_UnitHandle, fn::QX_Unit_destroy, "Unit"> {
 public:
  using Handle::Handle;
  static constexpr std::string_view kName = "LinearUnit";

  // Runs the environment initialisation; a runtime error throws Error.
  static LinearUnit with_unit_id(uint32_t unit_id);
};

}  // namespace ostrel::rt
