// One vertex: x, y and the z and m its layout has.
#pragma once

#include <cstddef>
#include <limits>
#include <optional>
#include <string>

#include "model/dims.hpp"
#include "model/rt_fwd.hpp"

namespace ostrel::model {

inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The name of a layout in InvalidDims messages: "xy", "xyz", "xym", "xyzm".
constexpr const char* dims_lower_name(CoordDims d) {
  switch (d) {
    case CoordDims::XY:
      return "xy";
    case CoordDims::XYZ:
      return "xyz";
    case CoordDims::XYM:
      return "xym";
    case CoordDims::XYZM:
      return "xyzm";
  }
  return "xy";
}
// Number of values of a layout: 2, 3, 3 or 4.
constexpr std::size_t dims_len(CoordDims d) { return 2 + (dims_has_z(d) ? 1 : 0) + (dims_has_m(d) ? 1 : 0); }

class ZorvCoord {
 public:
  ZorvCoord() = default;
  static ZorvCoord xy(double x, double y) { return ZorvCoord(CoordDims::XY, x, y, kNaN, kNaN); }
  static ZorvCoord xyz(double x, double y, double z) { return ZorvCoord(CoordDims::XYZ, x, y, z, kNaN); }
  static ZorvCoord xym(double x, double y, double m) { return ZorvCoord(CoordDims::XYM, x, y, kNaN, m); }
  static ZorvCoord xyzm(double x, double y, double z, double m) {
    return ZorvCoord(CoordDims::XYZM, x, y, z, m);
  }
  // The layout follows which of z and m are given.
  static ZorvCoord make(double x, double y, std::optional<double> z, std::optional<double> m) {
    return ZorvCoord(make_dims(z.has_value(), m.has_value()), x, y, z.value_or(kNaN), m.value_or(kNaN));
  }

  CoordDims dims() const { return dims_; }
  bool has_z() const { return dims_has_z(dims_); }
  bool has_m() const { return dims_has_m(dims_); }
  double x() const { return x_; }
  double y() const { return y_; }
  std::optional<double> z() const { return has_z() ? std::optional<double>(z_) : std::nullopt; }
  std::optional<double> m() const { return has_m() ? std::optional<double>(m_) : std::nullopt; }
  // z and m as stored (NaN when the layout lacks them).
  double z_or_nan() const { return has_z() ? z_ : kNaN; }
  double m_or_nan() const { return has_m() ? m_ : kNaN; }

  // Number of values in the layout, and the value at a layout position
  // (0 x, 1 y, then z and/or m in that order).  `at` requires idx < len().
  std::size_t len() const { return dims_len(dims_); }
  double at(std::size_t idx) const;

  // Copies with one value replaced; InvalidDims (thrown) when the layout
  // lacks it.
  ZorvCoord mod_x(double x) const {
    ZorvCoord c = *this;
    c.x_ = x;
    return c;
  }
  ZorvCoord mod_y(double y) const {
    ZorvCoord c = *this;
    c.y_ = y;
    return c;
  }
  ZorvCoord mod_z(double z) const;
  ZorvCoord mod_m(double m) const;
  ZorvCoord mod_idx(std::size_t idx, double value) const;

  // `[x, y]`, `[x, y, z]`, `[x, y, m]` or `[x, y, z, m]`.
  void write_zorvjson(std::string& out) const;

  // A runtime point of x, y and the present z and m, without spatial reference.
  rt::Point as_point() const;

 private:
  ZorvCoord(CoordDims d, double x, double y, double z, double m) : dims_(d), x_(x), y_(y), z_(z), m_(m) {}
  CoordDims dims_ = CoordDims::XY;
  double x_ = 0, y_ = 0, z_ = kNaN, m_ = kNaN;
};

}  // namespace ostrel::model
