// Vertex objects handed out by the part containers: Coord for linear parts and
// the four curve-segment classes for curve parts.  Each holds its own copy of
// the vertex and writes changes back to its remembered position.
#pragma once

#include <cstdint>
#include <optional>

#include "model/model.hpp"
#include "python/pyapi/ref.hpp"

namespace ostrel::py {

struct SegmentState {
  model::ZorvCoord coord;
  std::optional<model::Cell<model::ZorvPart>> part_parent;        // Coord only
  std::optional<model::Cell<model::ZorvCurvePart>> curve_parent;  // curve segments only
  uint64_t index = 0;
  model::CurveData curve;  // Linear for Coord
  // Set while an item write converts its arguments, which may run Python code
  // that reaches this object again.
  bool write_borrowed = false;
};

struct Segment {
  static PyTypeObject* type();
};
struct Coord {
  static PyTypeObject* type();
  // A Coord holding a copy of `c`; with a parent, writes go back to it at `index`.
  static Ref make(const model::ZorvCoord& c, std::optional<model::Cell<model::ZorvPart>> parent, uint64_t index);
};
struct CurveSegment {
  static PyTypeObject* type();
};
struct LinearSegment {
  static PyTypeObject* type();
};
struct CircularArcSegment {
  static PyTypeObject* type();
};
struct EllipticArcSegmentClass {
  static PyTypeObject* type();
};
struct BezierCurveSegment {
  static PyTypeObject* type();
};

// A new Linear, CircularArc, EllipticArc or BezierCurve object, by the curve data.
Ref from_coord_curve(const model::ZorvCoord& c, const model::CurveData& curve,
                     std::optional<model::Cell<model::ZorvCurvePart>> parent, uint64_t index);

// Writes curve data back into the parent at `index` (nothing without a parent
// or past the end); CurvedPartStart for curve data at vertex 0.
void update_parent_curve(const std::optional<model::Cell<model::ZorvCurvePart>>& parent, uint64_t index,
                         const model::CurveData& curve);

}  // namespace ostrel::py
