#include "model/coord.hpp"

#include "model/geoerr.hpp"
#include "model/zorvjson.hpp"

namespace ostrel::model {

double ZorvCoord::at(std::size_t idx) const {
  switch (idx) {
    case 0:
      return x_;
    case 1:
      return y_;
    case 2:
      return has_z() ? z_ : m_;
    default:
      return m_;
  }
}

ZorvCoord ZorvCoord::mod_z(double z) const {
  if (!has_z())
    throw ZorvGeoErr(ZorvGeoErr::Kind::InvalidDims,
                     std::string("Tried to set z value on coord with dims: ") + dims_lower_name(dims_));
  ZorvCoord c = *this;
  c.z_ = z;
  return c;
}

ZorvCoord ZorvCoord::mod_m(double m) const {
  if (!has_m())
    throw ZorvGeoErr(ZorvGeoErr::Kind::InvalidDims,
                     std::string("Tried to set m value on coord with dims: ") + dims_lower_name(dims_));
  ZorvCoord c = *this;
  c.m_ = m;
  return c;
}

ZorvCoord ZorvCoord::mod_idx(std::size_t idx, double value) const {
  if (idx >= len())
    throw ZorvGeoErr(ZorvGeoErr::Kind::InvalidDims,
                     std::string("Failed index based access to coord with dims: ") + dims_lower_name(dims_) +
                         ", buffer representation len: " + std::to_string(len()) +
                         ", idx: " + std::to_string(idx));
  ZorvCoord c = *this;
  switch (idx) {
    case 0:
      c.x_ = value;
      break;
    case 1:
      c.y_ = value;
      break;
    case 2:
      if (has_z())
        c.z_ = value;
      else
        c.m_ = value;
      break;
    default:
      c.m_ = value;
  }
  return c;
}

void ZorvCoord::write_zorvjson(std::string& out) const {
  out.push_back('[');
  zorvjson::write_f64(out, x_);
  out.append(", ");
  zorvjson::write_f64(out, y_);
  if (has_z()) {
    out.append(", ");
    zorvjson::write_f64(out, z_);
  }
  if (has_m()) {
    out.append(", ");
    zorvjson::write_f64(out, m_);
  }
  out.push_back(']');
}

}  // namespace ostrel::model
