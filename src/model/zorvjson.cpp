#include "model/zorvjson.hpp"

#include <charconv>
#include <cmath>
#include <string_view>

#include "model/spatial_reference.hpp"

namespace ostrel::model::zorvjson {

void write_f64(std::string& out, double v) {
  if (std::isnan(v)) {
    out.append("NaN");
    return;
  }
  if (std::isinf(v)) {
    out.append(v < 0 ? "-inf" : "inf");
    return;
  }
  // Below 1e16 every digit before the point is needed to read back the same
  // double, so the shortest fixed form is the shortest digits laid out.
  if (std::fabs(v) < 1e16) {
    char buf[400];  // the smallest subnormal needs fewer than 330 characters
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
    out.append(buf, r.ptr);
    return;
  }
  // Above, the fixed form would spell out the exact binary value (1e23 as
  // 99999999999999991611392): take the shortest digits and pad them with zeros.
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
  const std::string_view sci(buf, static_cast<std::size_t>(r.ptr - buf));
  const std::size_t e = sci.find('e');
  std::string_view mantissa = sci.substr(0, e);
  if (mantissa.front() == '-') {
    out.push_back('-');
    mantissa.remove_prefix(1);
  }
  char digits[24];
  std::size_t n = 0;
  for (char c : mantissa)
    if (c != '.') digits[n++] = c;
  int exponent = 0;
  std::from_chars(sci.data() + e + (sci[e + 1] == '+' ? 2 : 1), sci.data() + sci.size(), exponent);
  // At most 17 digits, all before the point (there are at least 17 digits
  // before it): the rest are zeros.
  out.append(digits, n);
  out.append(static_cast<std::size_t>(exponent) + 1 - n, '0');
}

void write_u32(std::string& out, uint32_t v) {
  char buf[16];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

void write_json_string(std::string& out, std::string_view s) {
  static const char hex[] = "0123456789abcdef";
  out.push_back('"');
  for (char ch : s) {
    unsigned char c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        out.append("\\\"");
        break;
      case '\\':
        out.append("\\\\");
        break;
      case '\b':
        out.append("\\b");
        break;
      case '\f':
        out.append("\\f");
        break;
      case '\n':
        out.append("\\n");
        break;
      case '\r':
        out.append("\\r");
        break;
      case '\t':
        out.append("\\t");
        break;
      default:
        if (c < 0x20) {
          out.append("\\u00");
          out.push_back(hex[c >> 4]);
          out.push_back(hex[c & 0xf]);
        } else {
          out.push_back(ch);
        }
    }
  }
  out.push_back('"');
}

}  // namespace ostrel::model::zorvjson

namespace ostrel::model {

void SpatialReference::write_zorvjson(std::string& out) const {
  using namespace zorvjson;
  out.push_back('{');
  bool first = true;
  auto key = [&](const char* k) {
    if (!first) out.push_back(',');
    first = false;
    out.push_back('"');
    out.append(k);
    out.append("\":");
  };
  if (wkid) {
    key("wkid");
    write_u32(out, *wkid);
  }
  if (latest_wkid) {
    key("latestWkid");
    write_u32(out, *latest_wkid);
  }
  if (vcs_wkid) {
    key("vcsWkid");
    write_u32(out, *vcs_wkid);
  }
  if (latest_vcs_wkid) {
    key("latestVcsWkid");
    write_u32(out, *latest_vcs_wkid);
  }
  if (wkt) {
    key("wkt");
    write_json_string(out, *wkt);
  }
  if (wkt2) {
    key("wkt2");
    write_json_string(out, *wkt2);
  }
  out.push_back('}');
}

}  // namespace ostrel::model
