#include "model/geoerr.hpp"

#include <charconv>
#include <cmath>
#include <string_view>

#include "binding/error.hpp"

namespace ostrel::model {

namespace {

// Message template of each kind whose payload is one text; "{}" marks the slot.
const char* text_template(ZorvGeoErr::Kind kind) {
  using K = ZorvGeoErr::Kind;
  switch (kind) {
    case K::InsufficientRing:
      return "Ring must have sufficient data to enclose an area: {}";
    case K::DuplicateAttribute:
      return "Duplicate value for attribute with key '{}' inserted into feature attributes";
    case K::FailedAccess:
      return "Failed access: '{}'";
    case K::LockError:
      return "Lock error: '{}'";
    case K::MutabilityUpgradeError:
      return "Mutability upgrade error: '{}'";
    case K::ResolutionError:
      return "Resolution error: '{}'";
    case K::InvalidMutation:
      return "Invalid mutation: '{}'";
    case K::IoError:
      return "Io error: '{}'";
    case K::VaskelithLibraryError:
      return "Vaskelith library error: '{}'";
    case K::CurvedPartStart:
      return "Curved parts must have starting vertex with no curve data: '{}'";
    case K::InvalidDims:
      return "Invalid dims for operation: {}";
    case K::PythonCastError:
      return "Python cast error: '{}'";
    default:
      return "{}";
  }
}

std::string fill(std::string_view tmpl, std::initializer_list<std::string_view> args) {
  std::string out;
  auto it = args.begin();
  for (std::size_t i = 0; i < tmpl.size(); ++i) {
    if (tmpl[i] == '{' && i + 1 < tmpl.size() && tmpl[i + 1] == '}' && it != args.end()) {
      out.append(*it++);
      ++i;
    } else {
      out.push_back(tmpl[i]);
    }
  }
  return out;
}

// A float as a debug listing shows it: whole numbers keep ".0", very large and
// very small magnitudes use an exponent ("1e21", "1.5e-7").
void append_debug_f64(std::string& out, double v) {
  if (std::isnan(v)) {
    out.append("NaN");
    return;
  }
  if (std::isinf(v)) {
    out.append(v < 0 ? "-inf" : "inf");
    return;
  }
  char buf[64];
  double a = std::fabs(v);
  if (a != 0 && (a < 1e-4 || a >= 1e16)) {
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
    std::string_view s(buf, static_cast<std::size_t>(r.ptr - buf));
    auto e = s.find('e');
    out.append(s.substr(0, e));
    out.push_back('e');
    std::string_view exp = s.substr(e + 1);
    if (!exp.empty() && exp[0] == '-') {
      out.push_back('-');
      exp.remove_prefix(1);
    } else if (!exp.empty() && exp[0] == '+') {
      exp.remove_prefix(1);
    }
    while (exp.size() > 1 && exp[0] == '0') exp.remove_prefix(1);
    out.append(exp);
    return;
  }
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
  std::string_view s(buf, static_cast<std::size_t>(r.ptr - buf));
  out.append(s);
  if (s.find('.') == std::string_view::npos) out.append(".0");
}

}  // namespace

ZorvGeoErr::ZorvGeoErr(Kind kind, std::string text) : kind_(kind) {
  message_ = fill(text_template(kind), {text});
}

ZorvGeoErr ZorvGeoErr::mismatching_dimensions(CoordDims expected, CoordDims got) {
  return ZorvGeoErr(
      Kind::MismatchingDimensions,
      fill("Mismatching dimensions, expected '{}' but got '{}'", {dims_name(expected), dims_name(got)}), 0);
}

ZorvGeoErr ZorvGeoErr::short_coord_list(std::vector<double> values) {
  std::string list = "[";
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i) list.append(", ");
    append_debug_f64(list, values[i]);
  }
  list.push_back(']');
  return ZorvGeoErr(Kind::ShortCoordList, "Short coord list: " + list, 0);
}

ZorvGeoErr ZorvGeoErr::mismatch(Kind kind, std::string expected, std::string got) {
  const char* tmpl = kind == Kind::MismatchingAttrType
                         ? "Mismatching attr type, expected '{}' but got '{}'"
                         : "Mismatching feature type, expected '{}' but got '{}'";
  return ZorvGeoErr(kind, fill(tmpl, {expected, got}), 0);
}

ZorvGeoErr ZorvGeoErr::foreign(std::shared_ptr<core::ForeignError> payload) {
  ZorvGeoErr e(Kind::PythonError, std::string(), 0);
  e.foreign_ = std::move(payload);
  return e;
}

ZorvGeoErr ZorvGeoErr::poisoned_lock() {
  return ZorvGeoErr(Kind::LockError, "poisoned lock: another task failed inside");
}

ZorvGeoErr ZorvGeoErr::from_runtime(const rt::Error& err) {
  return ZorvGeoErr(Kind::VaskelithLibraryError, err.text());
}

ZorvGeoErr ZorvGeoErr::cast_error(std::string_view from, std::string_view to) {
  return ZorvGeoErr(Kind::PythonCastError, fill("'{}' object cannot be cast as '{}'", {from, to}));
}

}  // namespace ostrel::model
