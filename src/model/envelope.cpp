#include "model/envelope.hpp"

#include "model/zorvjson.hpp"

namespace ostrel::model {

void ZorvGeometryEnvelope::write_zorvjson(std::string& out) const {
  out.push_back('{');
  write_leading_sr_member(out, spatial_reference);
  zorvjson::NumberMembers(out, is_empty())("xmin", xmin)("ymin", ymin)("xmax", xmax)("ymax", ymax)
      ("zmin", zmin)("zmax", zmax)("mmin", mmin)("mmax", mmax)("idmin", idmin)("idmax", idmax);
  out.push_back('}');
}

}  // namespace ostrel::model
