// The straight-edged parts of a geometry, as the geodetic engine walks them.
#pragma once

#include <vector>

#include "engine/projection_transform.hpp"
#include "geometry.hpp"

namespace vaskelith::geodetic {

struct FlatPart {
  std::vector<Vertex> vertices;
  bool closed = false;  // a ring: the closing edge is implied
};

// Paths of a polyline, rings of a polygon (true curves flattened in the
// geometry's own plane), the clockwise ring of an envelope; nothing for
// points and multipoints.
inline std::vector<FlatPart> flat_parts(const Geometry& g) {
  std::vector<FlatPart> out;
  if (g.kind == GeometryKind::Envelope) {
    if (g.envelope.empty()) return out;
    const EnvelopeBounds& e = g.envelope;
    FlatPart ring;
    ring.closed = true;
    ring.vertices = {Vertex{e.xmin, e.ymin, kNaN, kNaN}, Vertex{e.xmin, e.ymax, kNaN, kNaN},
                     Vertex{e.xmax, e.ymax, kNaN, kNaN}, Vertex{e.xmax, e.ymin, kNaN, kNaN}};
    out.push_back(std::move(ring));
    return out;
  }
  if (!g.is_multipart()) return out;
  for (const Part& p : g.parts) {
    if (p.empty()) continue;
    // Chords of a tenth of a degree of arc: lengths and areas measured on
    // them fall short of the arc's by about 1e-7.
    out.push_back(
        FlatPart{projection::flatten_part(p, g.closed(), kPi / 1800), g.closed()});
  }
  return out;
}

}  // namespace vaskelith::geodetic
