#include "geometry_json.hpp"

#include <cmath>
#include <numbers>

#include "curves.hpp"
#include "errors.hpp"
#include "handles.hpp"
#include "json.hpp"
#include "spatial_reference.hpp"

namespace vaskelith {
namespace {

using json::write_number;
using json::write_string;

/* ---- writing ---- */

// `prefix` (a separator and a member name, or a separator alone) and a number.
void write_member(std::string& out, const char* prefix, double value) {
  out += prefix;
  write_number(out, value);
}

void write_coord(std::string& out, const Vertex& v, bool has_z, bool has_m) {
  write_member(out, "[", v.x);
  write_member(out, ",", v.y);
  if (has_z) write_member(out, ",", v.z);
  if (has_m) write_member(out, ",", v.m);
  out += ']';
}

void write_xy(std::string& out, double x, double y) { write_coord(out, Vertex{x, y, kNaN, kNaN}, false, false); }

void write_flags(std::string& out, const Geometry& g) {
  if (g.has_z) out += "\"hasZ\":true,";
  if (g.has_m) out += "\"hasM\":true,";
}

void write_spatial_reference(std::string& out, const SpatialReferencePtr& sr) {
  if (!sr) return;
  out += ",\"spatialReference\":{";
  if (sr->wkid != 0) {
    out += "\"wkid\":";
    out += std::to_string(sr->wkid);
  } else {
    out += "\"wkt\":";
    write_string(out, sr->wkt());
  }
  if (sr->vertical_wkid != 0) {
    out += ",\"vcsWkid\":";
    out += std::to_string(sr->vertical_wkid);
  }
  out += '}';
}

// One item of a curve path or ring: the vertex, plain or with the curve that
// ends at it.
void write_curve_item(std::string& out, const Vertex& start, const Vertex& v, const Curve& c, bool has_z,
                      bool has_m) {
  switch (c.kind) {
    case SegmentKind::Line:
      write_coord(out, v, has_z, has_m);
      return;
    case SegmentKind::CubicBezier:
      out += "{\"b\":[";
      write_coord(out, v, has_z, has_m);
      out += ',';
      write_xy(out, c.bezier.c1x, c.bezier.c1y);
      out += ',';
      write_xy(out, c.bezier.c2x, c.bezier.c2y);
      out += "]}";
      return;
    case SegmentKind::EllipticArc: {
      const EllipticArc& a = c.arc;
      if (a.is_circular()) {
        double ix, iy;
        if (std::fabs(a.sweep) >= 2 * std::numbers::pi) {
          // A full circle starts and ends at `v`: the opposite point is
          // exact, where the trigonometric one is off by rounding and would
          // move the circle a little on every round trip.
          ix = 2 * a.cx - v.x;
          iy = 2 * a.cy - v.y;
        } else {
          circular_arc_point(a, start.x, start.y, v.x, v.y, 0.5, ix, iy);
        }
        out += "{\"c\":[";
        write_coord(out, v, has_z, has_m);
        out += ',';
        write_xy(out, ix, iy);
        out += "]}";
        return;
      }
      out += "{\"a\":[";
      write_coord(out, v, has_z, has_m);
      out += ',';
      write_xy(out, a.cx, a.cy);
      out += std::fabs(a.sweep) < std::numbers::pi ? ",1" : ",0";
      out += a.sweep < 0 ? ",1," : ",0,";
      write_number(out, a.rotation);
      write_member(out, ",", a.semi_major);
      write_member(out, ",", a.ratio);
      out += "]}";
      return;
    }
  }
}

void write_parts(std::string& out, const Geometry& g) {
  const bool closed = g.closed();
  const bool curved = g.has_curves();
  out +=
      closed ? (curved ? "\"curveRings\":[" : "\"rings\":[") : (curved ? "\"curvePaths\":[" : "\"paths\":[");
  bool first_part = true;
  for (const Part& p : g.parts) {
    if (!first_part) out += ',';
    first_part = false;
    out += '[';
    for (std::size_t i = 0; i < p.size(); ++i) {
      if (i) out += ',';
      if (curved && i > 0)
        write_curve_item(out, p.vertices[i - 1], p.vertices[i], p.curve_at(i), g.has_z, g.has_m);
      else
        write_coord(out, p.vertices[i], g.has_z, g.has_m);
    }
    // Rings are written closed, the closing curve on the repeated vertex.
    if (closed && !p.empty()) {
      out += ',';
      if (curved)
        write_curve_item(out, p.vertices[p.size() - 1], p.vertices[0], p.curve_at(0), g.has_z, g.has_m);
      else
        write_coord(out, p.vertices[0], g.has_z, g.has_m);
    }
    out += ']';
  }
  out += ']';
}

/* ---- reading ---- */

[[noreturn]] void bad(const std::string& what) { fail(kInvalidJSON, "Invalid geometry JSON.", what); }

double number_or_nan(const json::Value& v) {
  if (v.is_number()) return v.number;
  if (v.is_null()) return kNaN;
  if (v.type == json::Value::Type::String && (v.string == "NaN" || v.string == "nan")) return kNaN;
  bad("Expected a number.");
}

bool flag(const json::Value& obj, const char* key) {
  const json::Value* v = obj.find(key);
  if (!v || v->is_null()) return false;
  if (v->type == json::Value::Type::Bool) return v->boolean;
  if (v->is_number()) return v->number != 0;
  bad(std::string("\"") + key + "\" must be a boolean.");
}

int32_t id_of(const json::Value& v, const char* key) {
  if (!v.is_number() || v.number != std::floor(v.number) || v.number < 0 || v.number > 2147483647.0)
    bad(std::string("\"") + key + "\" must be a non-negative integer.");
  return static_cast<int32_t>(v.number);
}

SpatialReferencePtr read_spatial_reference(const json::Value& obj) {
  const json::Value* sr = obj.find("spatialReference");
  if (!sr || sr->is_null()) return nullptr;
  if (!sr->is_object()) bad("\"spatialReference\" must be an object.");
  auto id = [&](const char* latest, const char* plain) -> int32_t {
    const json::Value* v = sr->find(latest);
    if (!v || v->is_null()) v = sr->find(plain);
    return (!v || v->is_null()) ? 0 : id_of(*v, plain);
  };
  const int32_t wkid = id("latestWkid", "wkid");
  const int32_t vcs = id("latestVcsWkid", "vcsWkid");
  if (wkid != 0) return spatial_reference_from_wkid(wkid, vcs);
  const json::Value* wkt = sr->find("wkt");
  if (wkt && wkt->type == json::Value::Type::String) return spatial_reference_from_wkt(wkt->string);
  return nullptr;
}

struct Dims {
  bool has_z = false;
  bool has_m = false;
};

// The dimensions of a geometry given as coordinate arrays: the flags when
// either is given, else what the longest coordinate holds.
Dims dims_of(const json::Value& obj, std::size_t longest) {
  Dims d;
  const bool z_given = obj.find("hasZ") != nullptr, m_given = obj.find("hasM") != nullptr;
  d.has_z = flag(obj, "hasZ");
  d.has_m = flag(obj, "hasM");
  if (!z_given && !m_given) {
    d.has_z = longest >= 3;
    d.has_m = longest >= 4;
  }
  return d;
}

void longest_coord(const json::Value& v, std::size_t& longest, int depth) {
  if (!v.is_array() || depth > 3) return;
  if (!v.array.empty() && (v.array[0].is_number() || v.array[0].is_null())) {
    longest = std::max(longest, v.array.size());
    return;
  }
  for (const json::Value& item : v.array) {
    if (item.is_object()) {
      for (const auto& [k, inner] : item.object)
        if (inner.is_array() && !inner.array.empty()) longest_coord(inner.array[0], longest, depth + 1);
    } else {
      longest_coord(item, longest, depth + 1);
    }
  }
}

Vertex read_coord(const json::Value& v, Dims d) {
  if (!v.is_array() || v.array.size() < 2) bad("A coordinate must be an array of at least two numbers.");
  Vertex out;
  out.x = number_or_nan(v.array[0]);
  out.y = number_or_nan(v.array[1]);
  std::size_t i = 2;
  if (d.has_z) {
    if (i < v.array.size()) out.z = number_or_nan(v.array[i]);
    ++i;
  }
  if (d.has_m && i < v.array.size()) out.m = number_or_nan(v.array[i]);
  return out;
}

void read_xy(const json::Value& v, double& x, double& y) {
  if (!v.is_array() || v.array.size() < 2)
    bad("A point of a curve must be an array of at least two numbers.");
  x = number_or_nan(v.array[0]);
  y = number_or_nan(v.array[1]);
}

bool truthy(const json::Value& v) {
  if (v.type == json::Value::Type::Bool) return v.boolean;
  if (v.is_number()) return v.number != 0;
  bad("A curve flag must be a number or a boolean.");
}

// One item of a curve path or ring, given the vertex before it.
void read_curve_item(Part& part, const json::Value& item, Dims d) {
  if (item.is_array()) {
    part.push(read_coord(item, d));
    return;
  }
  if (!item.is_object()) bad("A curve item must be a coordinate array or an object.");
  if (part.empty()) bad("A curve part must begin with a plain coordinate.");
  const Vertex start = part.vertices.back();
  Curve c;
  Vertex end;
  if (const json::Value* cv = item.find("c")) {
    if (!cv->is_array() || cv->array.size() < 2) bad("\"c\" needs an end point and an interior point.");
    end = read_coord(cv->array[0], d);
    double ix, iy;
    read_xy(cv->array[1], ix, iy);
    c.kind = SegmentKind::EllipticArc;
    c.arc = circular_arc_through(start.x, start.y, end.x, end.y, ix, iy);
  } else if (const json::Value* av = item.find("a")) {
    if (!av->is_array() || av->array.size() < 4) bad("\"a\" needs an end point, a center and two flags.");
    const auto& a = av->array;
    end = read_coord(a[0], d);
    double cx, cy;
    read_xy(a[1], cx, cy);
    const bool minor = truthy(a[2]), clockwise = truthy(a[3]);
    c.kind = SegmentKind::EllipticArc;
    if (a.size() == 4) {
      c.arc = circular_arc_with_center(start.x, start.y, end.x, end.y, cx, cy, !clockwise);
    } else {
      if (a.size() < 7) bad("\"a\" needs rotation, axis and ratio after its flags.");
      c.arc = elliptic_arc_with_center(start.x, start.y, end.x, end.y, cx, cy, minor, !clockwise,
                                       number_or_nan(a[4]), number_or_nan(a[5]), number_or_nan(a[6]));
    }
  } else if (const json::Value* bv = item.find("b")) {
    if (!bv->is_array() || bv->array.size() < 3) bad("\"b\" needs an end point and two control points.");
    end = read_coord(bv->array[0], d);
    c.kind = SegmentKind::CubicBezier;
    read_xy(bv->array[1], c.bezier.c1x, c.bezier.c1y);
    read_xy(bv->array[2], c.bezier.c2x, c.bezier.c2y);
  } else {
    bad("A curve object needs \"c\", \"a\" or \"b\".");
  }
  part.push(end, c);
}

void read_parts(Geometry& g, const json::Value& list, bool curved, Dims d) {
  if (!list.is_array()) bad("Parts must be an array.");
  for (const json::Value& p : list.array) {
    if (!p.is_array()) bad("A part must be an array.");
    Part part;
    for (const json::Value& item : p.array) {
      if (curved)
        read_curve_item(part, item, d);
      else
        part.push(read_coord(item, d));
    }
    if (g.closed()) open_ring(part);
    g.parts.push_back(std::move(part));
  }
}

}  // namespace

std::string geometry_to_json(const Geometry& g) {
  std::string out = "{";
  switch (g.kind) {
    case GeometryKind::Point:
      write_member(out, "\"x\":", g.point.x);
      write_member(out, ",\"y\":", g.point.y);
      if (g.has_z) write_member(out, ",\"z\":", g.point.z);
      if (g.has_m) write_member(out, ",\"m\":", g.point.m);
      break;
    case GeometryKind::Envelope: {
      const EnvelopeBounds& e = g.envelope;
      write_member(out, "\"xmin\":", e.xmin);
      write_member(out, ",\"ymin\":", e.ymin);
      write_member(out, ",\"xmax\":", e.xmax);
      write_member(out, ",\"ymax\":", e.ymax);
      if (g.has_z) {
        write_member(out, ",\"zmin\":", e.zmin);
        write_member(out, ",\"zmax\":", e.zmax);
      }
      if (g.has_m) {
        write_member(out, ",\"mmin\":", e.mmin);
        write_member(out, ",\"mmax\":", e.mmax);
      }
      break;
    }
    case GeometryKind::Multipoint:
      write_flags(out, g);
      out += "\"points\":[";
      for (std::size_t i = 0; i < g.points.size(); ++i) {
        if (i) out += ',';
        write_coord(out, g.points[i], g.has_z, g.has_m);
      }
      out += ']';
      break;
    case GeometryKind::Polyline:
    case GeometryKind::Polygon:
      write_flags(out, g);
      write_parts(out, g);
      break;
  }
  write_spatial_reference(out, g.spatial_reference);
  out += '}';
  return out;
}

GeometryPtr geometry_from_json(std::string_view text) {
  const json::Value doc = json::parse(text);
  if (!doc.is_object()) bad("The JSON text is not an object.");
  auto g = std::make_shared<Geometry>();
  if (const json::Value* x = doc.find("x")) {
    g->kind = GeometryKind::Point;
    const json::Value* y = doc.find("y");
    if (!y) bad("A point needs \"y\".");
    g->point.x = number_or_nan(*x);
    g->point.y = number_or_nan(*y);
    if (const json::Value* z = doc.find("z")) {
      g->has_z = true;
      g->point.z = number_or_nan(*z);
    }
    if (const json::Value* m = doc.find("m")) {
      g->has_m = true;
      g->point.m = number_or_nan(*m);
    }
  } else if (const json::Value* pts = doc.find("points")) {
    g->kind = GeometryKind::Multipoint;
    if (!pts->is_array()) bad("\"points\" must be an array.");
    std::size_t longest = 0;
    for (const json::Value& p : pts->array) longest_coord(p, longest, 3);
    const Dims d = dims_of(doc, longest);
    g->has_z = d.has_z;
    g->has_m = d.has_m;
    for (const json::Value& p : pts->array) g->points.push_back(read_coord(p, d));
  } else if (doc.find("paths") || doc.find("curvePaths") || doc.find("rings") || doc.find("curveRings")) {
    const bool rings = doc.find("rings") || doc.find("curveRings");
    g->kind = rings ? GeometryKind::Polygon : GeometryKind::Polyline;
    const json::Value* plain = doc.find(rings ? "rings" : "paths");
    const json::Value* curved = doc.find(rings ? "curveRings" : "curvePaths");
    std::size_t longest = 0;
    for (const json::Value* list : {plain, curved})
      if (list && list->is_array())
        for (const json::Value& p : list->array) longest_coord(p, longest, 1);
    const Dims d = dims_of(doc, longest);
    g->has_z = d.has_z;
    g->has_m = d.has_m;
    if (plain && !plain->is_null()) read_parts(*g, *plain, false, d);
    if (curved && !curved->is_null()) read_parts(*g, *curved, true, d);
  } else if (const json::Value* xmin = doc.find("xmin")) {
    g->kind = GeometryKind::Envelope;
    auto get = [&](const char* key) {
      const json::Value* v = doc.find(key);
      return v ? number_or_nan(*v) : kNaN;
    };
    EnvelopeBounds& e = g->envelope;
    e.xmin = number_or_nan(*xmin);
    e.ymin = get("ymin");
    e.xmax = get("xmax");
    e.ymax = get("ymax");
    if (e.xmin > e.xmax) std::swap(e.xmin, e.xmax);
    if (e.ymin > e.ymax) std::swap(e.ymin, e.ymax);
    if (doc.find("zmin") && doc.find("zmax")) {
      g->has_z = true;
      e.zmin = get("zmin");
      e.zmax = get("zmax");
    }
    if (doc.find("mmin") && doc.find("mmax")) {
      g->has_m = true;
      e.mmin = get("mmin");
      e.mmax = get("mmax");
    }
  } else {
    bad("The JSON object is not a geometry.");
  }
  g->spatial_reference = read_spatial_reference(doc);
  return g;
}

}  // namespace vaskelith
