#include "model/point.hpp"

#include "model/zorvjson.hpp"

namespace ostrel::model {

void ZorvGeometryPoint::write_zorvjson(std::string& out) const {
  using zorvjson::write_num_if_not_empty;
  const bool empty = is_empty();
  out.push_back('{');
  write_leading_sr_member(out, spatial_reference);
  out.append("\"x\": ");
  write_num_if_not_empty(out, empty, x);
  out.append(", \"y\": ");
  write_num_if_not_empty(out, empty, y);
  if (z) {
    out.append(", \"z\": ");
    write_num_if_not_empty(out, empty, *z);
  }
  if (m) {
    out.append(", \"m\": ");
    write_num_if_not_empty(out, empty, *m);
  }
  out.push_back('}');
}

}  // namespace ostrel::model
