// A curve path or curve ring: vertices plus one CurveData per vertex.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>

#include "model/curve.hpp"
#include "model/part.hpp"

namespace ostrel::model {

// The curve data of vertex i describes the segment from vertex i-1 to i, so
// vertex 0 always carries Linear: every change that would break this throws
// CurvedPartStart and leaves the part unchanged.  The caller holds the
// part's lock for every call.
class ZorvCurvePart {
 public:
  using Vertex = std::pair<ZorvCoord, CurveData>;

  explicit ZorvCurvePart(bool has_z = false, bool has_m = false) : part(has_z, has_m) {}

  ZorvPart part;
  CurveCollection curves;

  std::size_t len() const { return part.len(); }
  bool is_empty() const { return part.is_empty(); }
  bool has_z() const { return part.has_z(); }
  bool has_m() const { return part.has_m(); }
  CoordDims dims() const { return part.dims(); }

  void push(const ZorvCoord& c, CurveData curve);
  // idx <= len().
  void insert(std::size_t idx, const ZorvCoord& c, CurveData curve);
  // Replaces vertex and curve; returns the old curve data, absent past the end.
  std::optional<CurveData> set(std::size_t idx, const ZorvCoord& c, CurveData curve);
  std::optional<ZorvCoord> set_coord(std::size_t idx, const ZorvCoord& c);
  std::optional<CurveData> set_curve(std::size_t idx, CurveData curve);
  std::optional<Vertex> get(std::size_t idx) const;
  std::optional<Vertex> remove(std::size_t idx);
  std::optional<Vertex> pop();
  void clear();

  // `[` vertices `]`, each a coordinate or a {"c"|"a"|"b": [...]} object.
  void write_zorvjson(std::string& out) const;

  // From the runtime (throw ZorvGeoErr; the other way is
  // convert::part_to_runtime).  A runtime part of a polyline; consumes it.
  static ZorvCurvePart from_immutable_part(rt::ImmutablePart part, bool has_z, bool has_m);
  // A runtime ring of a polygon (its closing segment ends at vertex 0); consumes it.
  static ZorvCurvePart from_immutable_ring(rt::ImmutablePart part, bool has_z, bool has_m);
  // Vertex i of a runtime part with the curve of the segment ending there.
  static Vertex convert_segment_helper(const rt::ImmutablePart& part, std::size_t i);
};

}  // namespace ostrel::model
