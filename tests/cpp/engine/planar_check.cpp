// Checks of the planar engine through the runtime's C interface, for what the
// Python module never sends: null handles, operands of the wrong kind,
// vectors holding the wrong elements, empty collections, and the null
// results of extend and normalizeCentralMeridian.  Every check also leaves
// no handle behind.
//
// Build against the runtime's object files (the internal geometry structs
// are used to make inputs):
//   g++ -std=c++20 -I runtime/src -I runtime/include tests/cpp/engine/planar_check.cpp
//       $(find BUILD/CMakeFiles/vaskelith_objects.dir -name '*.o') -lgeos_c -lproj -lGeographicLib -o planar_check
// (one line; BUILD is the pip build directory).
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "errors.hpp"
#include "handles.hpp"
#include "vaskelith/api.h"

using namespace vaskelith;

static int failures = 0;

struct Slot {
  int code = 0;
  std::string message;
  QX_ErrorHandler handler{&Slot::callback, this};
  static void callback(void* user, QX_ErrorHandle e) {
    auto* s = static_cast<Slot*>(user);
    s->code = e->code;
    s->message = e->message;
    QX_Error_destroy(e, nullptr);
  }
};

static void check(const std::string& what, bool ok) {
  std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
  if (!ok) ++failures;
}

static GeometryPtr polygon(std::vector<Vertex> ring) {
  auto g = std::make_shared<Geometry>();
  g->kind = GeometryKind::Polygon;
  g->parts.push_back(Part{std::move(ring), {}});
  return g;
}

static GeometryPtr polyline(std::vector<Vertex> path) {
  auto g = std::make_shared<Geometry>();
  g->kind = GeometryKind::Polyline;
  g->parts.push_back(Part{std::move(path), {}});
  return g;
}

static GeometryPtr point(double x, double y) {
  auto g = std::make_shared<Geometry>();
  g->point = Vertex{x, y};
  return g;
}

static QX_VectorHandle vector_of(std::vector<Value> items, uint32_t type = QX_ELEMENT_TYPE_GEOMETRY) {
  auto* v = new _QX_VectorInternal;
  v->element_type = type;
  v->items = std::move(items);
  return v;
}

int main() {
  const int64_t live_before = vaskelith_live_handle_count();
  QX_GeometryHandle square = make_handle(polygon({{0, 0}, {0, 10}, {10, 10}, {10, 0}}));
  QX_GeometryHandle wall = make_handle(polyline({{20, -5}, {20, 5}}));
  QX_GeometryHandle away = make_handle(polyline({{50, 50}, {60, 60}}));
  QX_GeometryHandle path = make_handle(polyline({{0, 0}, {5, 0}}));
  QX_GeometryHandle origin = make_handle(point(0, 0));

  {
    Slot s;
    QX_GeometryHandle r = QX_GeometryEngine_union(nullptr, square, &s.handler);
    check("a null operand is reported as a null handle", r == nullptr && s.code == kNullHandle);
  }
  {
    Slot s;
    QX_GeometryHandle r = QX_GeometryEngine_clip(square, square, &s.handler);
    check("clip by a polygon is refused", r == nullptr && s.code == kWrongType);
  }
  {
    Slot s;
    QX_ArrayHandle r = QX_GeometryEngine_cut(square, square, &s.handler);
    check("cut by a polygon is refused", r == nullptr && s.code == kWrongType);
  }
  {
    Slot s;
    QX_GeometryHandle r = QX_GeometryEngine_rotate(square, square, 10, &s.handler);
    check("a polygon origin is refused", r == nullptr && s.code == kWrongType);
  }
  {
    Slot s;
    const bool r = QX_GeometryEngine_relate(square, square, nullptr, &s.handler);
    check("a null relation is refused", !r && s.code == kNullHandle);
  }
  {
    Slot s;
    QX_GeometryHandle r = QX_GeometryEngine_labelPoint(path, &s.handler);
    check("a label point of a polyline is refused", r == nullptr && s.code == kWrongType);
  }
  {
    Slot s;
    QX_GeometryHandle r = QX_GeometryEngine_extend(path, away, 0, &s.handler);
    check("extend with nothing in the way gives null without an error", r == nullptr && s.code == 0);
    QX_GeometryHandle hit = QX_GeometryEngine_extend(path, wall, 0, &s.handler);
    check("extend to a wall gives a polyline", hit != nullptr && s.code == 0 &&
                                                    geometry_of(hit).parts[0].vertices.back().x == 20);
    QX_Geometry_destroy(hit, nullptr);
  }
  {
    Slot s;
    QX_GeometryHandle r = QX_GeometryEngine_normalizeCentralMeridian(square, &s.handler);
    check("no spatial reference: nothing to normalise, null without an error", r == nullptr && s.code == 0);
  }
  {
    Slot s;
    QX_VectorHandle empty = vector_of({});
    QX_GeometryHandle r = QX_GeometryEngine_unionCollection(empty, &s.handler);
    check("the union of nothing is an error", r == nullptr && s.code == kInvalidArgument);
    Slot s2;
    QX_GeometryHandle e = QX_GeometryEngine_combineExtentsCollection(empty, &s2.handler);
    check("the extent of nothing is an empty envelope", e != nullptr && geometry_of(e).is_empty());
    QX_Geometry_destroy(e, nullptr);
    QX_Vector_destroy(empty, nullptr);
  }
  {
    Slot s;
    QX_VectorHandle numbers = vector_of({1.0, 2.0}, QX_ELEMENT_TYPE_FLOAT64);
    QX_ArrayHandle r = QX_GeometryEngine_convexHullCollection(numbers, true, &s.handler);
    check("numbers where geometries belong are refused", r == nullptr && s.code == kWrongType);
    QX_Vector_destroy(numbers, nullptr);
  }
  {
    Slot s;
    QX_VectorHandle gs = vector_of({geometry_ptr_of(square)});
    QX_VectorHandle none = vector_of({}, QX_ELEMENT_TYPE_FLOAT64);
    QX_ArrayHandle r = QX_GeometryEngine_bufferCollection(gs, none, false, &s.handler);
    check("buffers without a distance are refused", r == nullptr && s.code == kInvalidArgument);
    QX_VectorHandle shapes = vector_of({geometry_ptr_of(path)});
    Slot s2;
    QX_ArrayHandle a = QX_GeometryEngine_autoComplete(gs, shapes, &s2.handler);
    check("auto-complete of a square and a loose line fills nothing", a != nullptr && a->items.empty());
    QX_Array_destroy(a, nullptr);
    Slot s3;
    QX_ArrayHandle b = QX_GeometryEngine_autoComplete(shapes, gs, &s3.handler);
    check("auto-complete refuses polylines as existing boundaries", b == nullptr && s3.code == kInvalidArgument);
    QX_Vector_destroy(gs, nullptr);
    QX_Vector_destroy(none, nullptr);
    QX_Vector_destroy(shapes, nullptr);
  }
  {
    Slot s;
    const double d = QX_GeometryEngine_distance(origin, square, &s.handler);
    check("distance of a point on the boundary is 0", d == 0 && s.code == 0);
    QX_GeometryHandle empty = make_handle(point(kNaN, kNaN));
    const double e = QX_GeometryEngine_distance(empty, square, &s.handler);
    check("distance from an empty point is NaN", std::isnan(e) && s.code == 0);
    QX_Geometry_destroy(empty, nullptr);
  }

  for (QX_GeometryHandle h : {square, wall, away, path, origin}) QX_Geometry_destroy(h, nullptr);
  check("no handle is left behind", vaskelith_live_handle_count() == live_before);
  std::printf("%s\n", failures == 0 ? "all passed" : "FAILURES");
  return failures == 0 ? 0 : 1;
}
