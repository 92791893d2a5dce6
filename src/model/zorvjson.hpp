// Pieces of the zorvjson text writer shared by the model's writers.
//
// Numbers are written in positional notation with the fewest digits that read
// back to the same double (1.0 as "1", 1e21 as 22 digits, -0.0 as "-0");
// NaN and the infinities as the bare words NaN, inf and -inf.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel::model::zorvjson {

void write_f64(std::string& out, double v);
void write_u32(std::string& out, uint32_t v);
// `null` when empty, else the number.
inline void write_num_if_not_empty(std::string& out, bool empty, double v) {
  if (empty)
    out.append("null");
  else
    write_f64(out, v);
}
inline void write_num_if_not_empty(std::string& out, bool empty, uint32_t v) {
  if (empty)
    out.append("null");
  else
    write_u32(out, v);
}

// The number members of a point or an envelope, written in the order they
// are given: `"key": number` each (null when the geometry is empty), an
// absent optional one left out, ", " between two.
class NumberMembers {
 public:
  NumberMembers(std::string& out, bool empty) : out_(out), empty_(empty) {}

  template <class T>
  NumberMembers& operator()(const char* key, const T& value) {
    if (!first_) out_.append(", ");
    first_ = false;
    out_.push_back('"');
    out_.append(key);
    out_.append("\": ");
    write_num_if_not_empty(out_, empty_, value);
    return *this;
  }
  template <class T>
  NumberMembers& operator()(const char* key, const std::optional<T>& value) {
    return value ? (*this)(key, *value) : *this;
  }

 private:
  std::string& out_;
  bool empty_;
  bool first_ = true;
};

// A JSON string literal with standard escaping (quotation mark, reverse
// solidus and control characters; everything else as is).
void write_json_string(std::string& out, std::string_view s);
// ", " unless this is the first member; clears the flag.
inline void cond_comma(std::string& out, bool& first) {
  if (first)
    first = false;
  else
    out.append(", ");
}
// `"hasZ": true` and `"hasM": true` for the set flags; nothing for false.
inline void write_dims_zorvjson(bool has_z, bool has_m, std::string& out, bool& first) {
  if (has_z) {
    cond_comma(out, first);
    out.append("\"hasZ\": true");
  }
  if (has_m) {
    cond_comma(out, first);
    out.append("\"hasM\": true");
  }
}

}  // namespace ostrel::model::zorvjson
