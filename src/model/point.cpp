#include "model/point.hpp"

#include "model/zorvjson.hpp"

namespace ostrel::model {

void ZorvGeometryPoint::write_zorvjson(std::string& out) const {
  out.push_back('{');
  write_leading_sr_member(out, spatial_reference);
  zorvjson::NumberMembers(out, is_empty())("x", x)("y", y)("z", z)("m", m);
  out.push_back('}');
}

}  // namespace ostrel::model
