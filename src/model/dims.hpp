// Coordinate dimensions: bit 0 is z, bit 1 is m.
#pragma once

#include <cstdint>

namespace ostrel::model {

enum class CoordDims : uint8_t { XY = 0, XYZ = 1, XYM = 2, XYZM = 3 };

constexpr CoordDims make_dims(bool has_z, bool has_m) {
  return static_cast<CoordDims>((has_z ? 1 : 0) | (has_m ? 2 : 0));
}
constexpr bool dims_has_z(CoordDims d) { return (static_cast<uint8_t>(d) & 1) != 0; }
constexpr bool dims_has_m(CoordDims d) { return (static_cast<uint8_t>(d) & 2) != 0; }
constexpr const char* dims_name(CoordDims d) {
  switch (d) {
    case CoordDims::XY: return "XY";
    case CoordDims::XYZ: return "XYZ";
    case CoordDims::XYM: return "XYM";
    case CoordDims::XYZM: return "XYZM";
  }
  return "XY";
}

}  // namespace ostrel::model
