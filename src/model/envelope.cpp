#include "model/envelope.hpp"

#include "model/zorvjson.hpp"

namespace ostrel::model {

void ZorvGeometryEnvelope::write_zorvjson(std::string& out) const {
  using zorvjson::write_num_if_not_empty;
  const bool empty = is_empty();
  out.push_back('{');
  write_leading_sr_member(out, spatial_reference);
  out.append("\"xmin\": ");
  write_num_if_not_empty(out, empty, xmin);
  out.append(", \"ymin\": ");
  write_num_if_not_empty(out, empty, ymin);
  out.append(", \"xmax\": ");
  write_num_if_not_empty(out, empty, xmax);
  out.append(", \"ymax\": ");
  write_num_if_not_empty(out, empty, ymax);
  auto opt = [&](const char* key, const auto& v) {
    if (!v) return;
    out.append(key);
    write_num_if_not_empty(out, empty, *v);
  };
  opt(", \"zmin\": ", zmin);
  opt(", \"zmax\": ", zmax);
  opt(", \"mmin\": ", mmin);
  opt(", \"mmax\": ", mmax);
  opt(", \"idmin\": ", idmin);
  opt(", \"idmax\": ", idmax);
  out.push_back('}');
}

}  // namespace ostrel::model
