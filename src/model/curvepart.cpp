#include "model/curvepart.hpp"

#include <cmath>

#include "core/fatal.hpp"
#include "model/cell.hpp"
#include "model/geoerr.hpp"
#include "model/zorvjson.hpp"

namespace ostrel::model {

namespace {

[[noreturn]] void curved_start(const char* text) {
  throw ZorvGeoErr(ZorvGeoErr::Kind::CurvedPartStart, text);
}

[[noreturn]] void missing_curve() {
  core::fatal("Internal error: curve part holds a vertex without curve data");
}

void write_xy(std::string& out, double x, double y) {
  out.push_back('[');
  zorvjson::write_f64(out, x);
  out.append(", ");
  zorvjson::write_f64(out, y);
  out.push_back(']');
}

}  // namespace

void ZorvCurvePart::push(const ZorvCoord& c, CurveData curve) {
  if (part.is_empty() && !is_linear(curve)) curved_start("CurvePart::push curve data on empty");
  part.push_coord(c.x(), c.y(), c.z(), c.m());
  curves.push_curve(std::move(curve));
}

void ZorvCurvePart::insert(std::size_t idx, const ZorvCoord& c, CurveData curve) {
  if (idx == 0 && !is_linear(curve)) curved_start("CurvePart::insert nonlinear curve data at index 0");
  part.insert_coord(idx, c);
  if (!curves.insert(idx, std::move(curve))) missing_curve();
}

std::optional<CurveData> ZorvCurvePart::set(std::size_t idx, const ZorvCoord& c, CurveData curve) {
  if (idx == 0 && !is_linear(curve)) curved_start("CurvePart::set nonlinear curve data at index 0");
  if (idx >= part.len()) return std::nullopt;
  std::optional<CurveData> old = curves.set(idx, std::move(curve));
  if (!old) missing_curve();
  part.set_coord(idx, c);
  return old;
}

std::optional<ZorvCoord> ZorvCurvePart::set_coord(std::size_t idx, const ZorvCoord& c) {
  return part.set_coord(idx, c);
}

std::optional<CurveData> ZorvCurvePart::set_curve(std::size_t idx, CurveData curve) {
  if (idx == 0 && !is_linear(curve)) curved_start("CurvePart::set nonlinear curve data at index 0");
  return curves.set(idx, std::move(curve));
}

std::optional<ZorvCurvePart::Vertex> ZorvCurvePart::get(std::size_t idx) const {
  std::optional<ZorvCoord> c = part.get_coord(idx);
  if (!c) return std::nullopt;
  std::optional<CurveData> curve = curves.get(idx);
  if (!curve) missing_curve();
  return Vertex{*c, std::move(*curve)};
}

std::optional<ZorvCurvePart::Vertex> ZorvCurvePart::remove(std::size_t idx) {
  if (idx == 0 && part.len() > 1) {
    std::optional<CurveData> next = curves.get(1);
    if (!next) missing_curve();
    if (!is_linear(*next))
      curved_start("CurvePart::remove first curve, curve that would replace it is nonlinear");
  }
  if (idx >= part.len()) return std::nullopt;
  if (idx >= curves.len()) missing_curve();
  std::optional<ZorvCoord> c = part.remove_coord(idx);
  std::optional<CurveData> curve = curves.remove(idx);
  return Vertex{*c, std::move(*curve)};
}

std::optional<ZorvCurvePart::Vertex> ZorvCurvePart::pop() {
  if (part.is_empty()) return std::nullopt;
  if (curves.len() != part.len()) missing_curve();
  std::optional<ZorvCoord> c = part.pop_coord();
  std::optional<CurveData> curve = curves.pop();
  return Vertex{*c, std::move(*curve)};
}

void ZorvCurvePart::clear() {
  part.clear();
  curves.clear();
}

void ZorvCurvePart::write_zorvjson(std::string& out) const {
  using zorvjson::write_f64;
  out.push_back('[');
  for (std::size_t i = 0; i < part.len(); ++i) {
    if (i) out.append(", ");
    std::optional<Vertex> v = get(i);
    const ZorvCoord& c = v->first;
    struct Writer {
      std::string& out;
      const ZorvCoord& c;
      void operator()(const Linear&) const { c.write_zorvjson(out); }
      void operator()(const CircularArc& a) const {
        out.append("{\"c\": [");
        c.write_zorvjson(out);
        out.append(", ");
        write_xy(out, a.interior_x, a.interior_y);
        out.append("]}");
      }
      void operator()(const EllipticArc& a) const {
        out.append("{\"a\": [");
        c.write_zorvjson(out);
        out.append(", ");
        write_xy(out, a.center_x, a.center_y);
        out.append(a.minor ? ", 1" : ", 0");
        out.append(a.clockwise ? ", 1" : ", 0");
        // A circle (ratio exactly 1) needs no rotation or axis; NaN is not 1.
        if (!(a.ratio == 1.0)) {
          out.append(", ");
          write_f64(out, a.rotation);
          out.append(", ");
          write_f64(out, a.axis);
          out.append(", ");
          write_f64(out, a.ratio);
        }
        out.append("]}");
      }
      void operator()(const BezierCurve& b) const {
        out.append("{\"b\": [");
        c.write_zorvjson(out);
        out.append(", ");
        write_xy(out, b.ctrl1_x, b.ctrl1_y);
        out.append(", ");
        write_xy(out, b.ctrl2_x, b.ctrl2_y);
        out.append("]}");
      }
    };
    std::visit(Writer{out, c}, v->second);
  }
  out.push_back(']');
}

}  // namespace ostrel::model
