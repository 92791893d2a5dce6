// Areas, lengths, densification and positions along polylines.
#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/engine_form.hpp"
#include "engine/geos_context.hpp"
#include "engine/geos_convert.hpp"
#include "engine/input_limits.hpp"
#include "engine/planar_curves.hpp"
#include "engine/planar_ops.hpp"
#include "errors.hpp"

namespace vaskelith::planar {

using geos::ctx;
using geos::GeomPtr;

namespace {

// The label point's search stops within this fraction of the extent's
// diagonal (never below kLeastLabelTolerance): finer moves the label by
// nothing a reader sees.
constexpr double kLabelTolerance = 1e-4;
constexpr double kLeastLabelTolerance = 1e-12;
// A point is found along a curved geometry to this fraction of its chord
// tolerance: the chords stand in for the curves no closer than that.
constexpr double kAlongChords = 1e-3;
// A point computed on the line may lie this fraction of the coordinates'
// magnitude and the geometry's size away from it: rounding.
constexpr double kAlongRounding = 1e-12;

std::vector<Part> linear_rings(const Geometry& g) {
  std::vector<Part> out;
  out.reserve(g.parts.size());
  for (const Part& p : g.parts) out.push_back(p.has_curves() ? linearize_part(p, true, 0) : Part{p.vertices, {}});
  return out;
}

Part envelope_ring(const EnvelopeBounds& e) {
  Part ring;
  ring.vertices = {Vertex{e.xmin, e.ymin, e.zmin, e.mmin}, Vertex{e.xmin, e.ymax, e.zmin, e.mmin},
                   Vertex{e.xmax, e.ymax, e.zmax, e.mmax}, Vertex{e.xmax, e.ymin, e.zmax, e.mmax}};
  return ring;
}

}  // namespace

double area(const Geometry& g) {
  switch (g.kind) {
    case GeometryKind::Envelope:
      if (g.envelope.empty()) return 0;
      return std::fabs((g.envelope.xmax - g.envelope.xmin) * (g.envelope.ymax - g.envelope.ymin));
    case GeometryKind::Polygon: {
      // Rings are told apart by nesting, not by orientation, so that a
      // polygon given with its rings the other way round still measures
      // positive; the areas themselves are exact for curves.
      if (g.parts.size() == 1) return std::fabs(ring_signed_area(g.parts[0]));
      double total = 0;
      const bool kept = keeps_forms(g);
      RingGroups made;
      if (!kept) made = nest_rings(linear_rings(g));
      for (const auto& group : kept ? kept_nesting(g) : made) {
        for (std::size_t k = 0; k < group.size(); ++k) {
          const double a = std::fabs(ring_signed_area(g.parts[group[k]]));
          total += k == 0 ? a : -a;
        }
      }
      return total;
    }
    default: return 0;
  }
}

double length(const Geometry& g) {
  switch (g.kind) {
    case GeometryKind::Envelope:
      if (g.envelope.empty()) return 0;
      return 2 * (std::fabs(g.envelope.xmax - g.envelope.xmin) + std::fabs(g.envelope.ymax - g.envelope.ymin));
    case GeometryKind::Polyline:
    case GeometryKind::Polygon: {
      double total = 0;
      for (const Part& p : g.parts) total += part_length(p, g.closed());
      return total;
    }
    default: return 0;
  }
}

GeometryPtr densify(const Geometry& g, double max_segment_length) {
  if (!(max_segment_length > 0) || !std::isfinite(max_segment_length))
    fail(kInvalidArgument, "The maximum segment length must be a positive number.");
  if (g.kind == GeometryKind::Point || g.kind == GeometryKind::Multipoint) return std::make_shared<Geometry>(g);
  const GeometryKind kind = g.kind == GeometryKind::Polyline ? GeometryKind::Polyline : GeometryKind::Polygon;
  Geometry out = header_of(g, kind);
  std::vector<Part> envelope_parts;
  if (g.kind == GeometryKind::Envelope && !g.envelope.empty()) envelope_parts.push_back(envelope_ring(g.envelope));
  const std::vector<Part>& parts = g.kind == GeometryKind::Envelope ? envelope_parts : g.parts;
  const bool closed = out.kind == GeometryKind::Polygon;
  // The pieces of every segment are counted before any vertex is made: a
  // length too small for the whole geometry (however its segments share
  // the count) is a mistake of the caller, not a request to exhaust memory
  // or time.
  constexpr double kMaxVertices = 1e7;
  std::vector<double> lengths;
  double count = 0;
  for (const Part& p : parts) {
    if (p.empty()) continue;
    count += 1;
    const std::size_t n = p.segment_count(closed);
    for (std::size_t i = 0; i < n; ++i) {
      const double len = segment_length(p.segment(i, closed));
      lengths.push_back(len);
      // Nothing can be placed along a segment without a finite length.
      count += std::isfinite(len) ? std::max(1.0, std::ceil(len / max_segment_length)) : 1.0;
    }
    if (count > kMaxVertices) fail(kInvalidArgument, "The maximum segment length is too small for this geometry.");
  }
  std::size_t at_segment = 0;
  for (const Part& p : parts) {
    Part q;
    if (p.empty()) continue;
    q.vertices.push_back(p.vertices[0]);
    const std::size_t n = p.segment_count(closed);
    for (std::size_t i = 0; i < n; ++i) {
      const SegmentView s = p.segment(i, closed);
      const double len = lengths[at_segment++];
      const std::size_t k =
          std::isfinite(len) ? clamped_cast(std::ceil(len / max_segment_length), std::size_t{1},
                                            std::numeric_limits<std::size_t>::max())
                             : 1;
      if (k > 1) {
        if (s.curve->is_line()) {
          for (std::size_t j = 1; j < k; ++j) q.vertices.push_back(lerp(s.start, s.end, static_cast<double>(j) / static_cast<double>(k)));
        } else {
          // One table of lengths for the whole curve, walked forwards.
          ArcLength walk(s);
          for (std::size_t j = 1; j < k; ++j)
            q.vertices.push_back(walk.point_at(walk.total() * static_cast<double>(j) / static_cast<double>(k)));
        }
      }
      q.vertices.push_back(s.end);
    }
    if (closed && q.vertices.size() > 1) q.vertices.pop_back();
    out.parts.push_back(std::move(q));
  }
  return std::make_shared<Geometry>(std::move(out));
}

namespace {
GeometryPtr label_point_in_range(const Geometry& g);
}  // namespace

GeometryPtr label_point(const Geometry& g) {
  // Callers treat a reported failure here as a broken invariant: a polygon
  // beyond GEOS's range, or so small that its area underflows (where the
  // circle search finds no cell to start from), is scaled by a power of two
  // into range and its label point scaled back, both exact.
  if (g.kind == GeometryKind::Polygon) {
    const double f = limits::range_scale(g);
    if (f != 1) {
      GeometryPtr p = label_point_in_range(*scaled(g, f));
      auto back = std::make_shared<Geometry>(*p);
      back->point.x /= f;
      back->point.y /= f;
      back->spatial_reference = g.spatial_reference;
      return back;
    }
  }
  return label_point_in_range(g);
}

namespace {

GeometryPtr label_point_in_range(const Geometry& g) {
  auto result = std::make_shared<Geometry>();
  result->kind = GeometryKind::Point;
  result->spatial_reference = g.spatial_reference;
  if (g.is_empty()) return result;
  switch (g.kind) {
    case GeometryKind::Envelope:
      result->point = Vertex{0.5 * (g.envelope.xmin + g.envelope.xmax), 0.5 * (g.envelope.ymin + g.envelope.ymax)};
      return result;
    case GeometryKind::Polygon: {
      GeomPtr gg = to_geos(g);
      if (GEOSisEmpty_r(ctx(), gg.get())) return result;
      // The center of the largest inscribed circle: well inside the
      // polygon, away from narrow parts, where a label reads best.
      // The extent of what GEOS sees: repairing an invalid polygon may
      // leave far less (or more) than the input's own vertices span.
      double xmin = kNaN, ymin = kNaN, xmax = kNaN, ymax = kNaN;
      GEOSGeom_getXMin_r(ctx(), gg.get(), &xmin);
      GEOSGeom_getYMin_r(ctx(), gg.get(), &ymin);
      GEOSGeom_getXMax_r(ctx(), gg.get(), &xmax);
      GEOSGeom_getYMax_r(ctx(), gg.get(), &ymax);
      const double w = xmax - xmin, h = ymax - ymin;
      const double tol = std::max(std::hypot(w, h) * kLabelTolerance, kLeastLabelTolerance);
      // The circle search starts from square cells as large as the extent's
      // short side, so an extent far longer than wide would need a cell count
      // in proportion (and as much time and memory); such slivers take a point
      // on their surface instead.
      const bool sliver = !(std::max(w, h) <= 1e4 * std::min(w, h)) || !std::isfinite(std::hypot(w, h));
      GeomPtr circle = geos::take(sliver ? GEOSPointOnSurface_r(ctx(), gg.get())
                                         : GEOSMaximumInscribedCircle_r(ctx(), gg.get(), tol),
                                  "label point");
      const GEOSCoordSequence* seq = GEOSGeom_getCoordSeq_r(ctx(), circle.get());
      double x = kNaN, y = kNaN;
      if (seq == nullptr || GEOSCoordSeq_getXY_r(ctx(), seq, 0, &x, &y) == 0)
        geos::engine_failure("The geometry engine could not find a label point.");
      result->point = Vertex{x, y};
      return result;
    }
    default: fail(kInvalidArgument, "A label point needs a polygon.");
  }
}

}  // namespace

GeometryPtr point_along(const Geometry& g, double distance) {
  if (std::isnan(distance)) fail(kInvalidArgument, "The distance must be a number.");
  if (g.kind != GeometryKind::Polyline && g.kind != GeometryKind::Polygon)
    fail(kInvalidArgument, "A point along needs a polyline.");
  auto result = std::make_shared<Geometry>();
  result->kind = GeometryKind::Point;
  result->has_z = g.has_z;
  result->has_m = g.has_m;
  result->spatial_reference = g.spatial_reference;
  bool any = false;
  Vertex first, last;
  double walked = 0;
  for (const Part& p : g.parts) {
    const std::size_t n = p.segment_count(g.closed());
    if (!p.empty() && !any) first = p.vertices[0], any = true;
    for (std::size_t i = 0; i < n; ++i) {
      const SegmentView s = p.segment(i, g.closed());
      const double len = segment_length(s);
      if (distance <= walked + len && distance >= walked) {
        result->point = segment_point_at_length(s, distance - walked);
        return result;
      }
      walked += len;
      last = s.end;
    }
    if (p.size() == 1) last = p.vertices[0];
  }
  // Before the start or past the end: the nearest end.
  if (any) result->point = distance < 0 ? first : last;
  return result;
}

double fraction_along(const Geometry& g, const Geometry& point, double tolerance) {
  if (g.kind != GeometryKind::Polyline && g.kind != GeometryKind::Polygon)
    fail(kInvalidArgument, "A fraction along needs a polyline.");
  if (point.kind != GeometryKind::Point) fail(kInvalidArgument, "A fraction along needs a point.");
  if (point.is_empty() || g.is_empty()) return kNaN;
  const double x = point.point.x, y = point.point.y;
  const double tol = g.has_curves() ? chord_tolerance(g) * kAlongChords : 0;
  // Each segment is searched on its chords; the distance walked is then
  // taken on the segment itself, so that arcs measure exactly.  A tolerance
  // of -1 sets no distance but asks that the point lie between the ends: its
  // nearest location must not be a path's end reached from beyond it.
  double best = INFINITY, best_at = 0, total = 0;
  bool best_beyond_end = true;
  const bool has_ends = !g.closed();
  // Whether the nearest location on the chord a -> b of part p is one of
  // the path's ends with the point beyond it, `raw` being where the point
  // falls along the chord (0 at a, 1 at b).  Repeated end vertices make
  // chords of no length there; they count as the end.
  const auto beyond_end = [has_ends](const Part& p, const Vertex& a, const Vertex& b, double raw,
                                     double len2) {
    const auto same = [](const Vertex& u, const Vertex& v) { return u.x == v.x && u.y == v.y; };
    if (!has_ends) return false;
    if (len2 == 0) return same(a, p.vertices.front()) || same(a, p.vertices.back());
    return (raw < 0 && same(a, p.vertices.front())) || (raw > 1 && same(b, p.vertices.back()));
  };
  std::vector<Vertex> chords;
  for (const Part& p : g.parts) {
    const std::size_t n = p.segment_count(g.closed());
    if (p.size() == 1 && n == 0) {
      const double d = std::hypot(p.vertices[0].x - x, p.vertices[0].y - y);
      if (d < best) best = d, best_at = total, best_beyond_end = true;
    }
    for (std::size_t i = 0; i < n; ++i) {
      const SegmentView s = p.segment(i, g.closed());
      chords.assign(1, s.start);
      linearize_segment(s, tol, chords);
      double chord_total = 0;
      std::vector<double> chord_len(chords.size() - 1);
      for (std::size_t k = 0; k + 1 < chords.size(); ++k)
        chord_total += chord_len[k] = std::hypot(chords[k + 1].x - chords[k].x, chords[k + 1].y - chords[k].y);
      const double exact = s.curve->is_line() ? chord_total : segment_length(s);
      double walked = 0;
      for (std::size_t k = 0; k + 1 < chords.size(); ++k) {
        const Vertex& a = chords[k];
        const Vertex& b = chords[k + 1];
        const double dx = b.x - a.x, dy = b.y - a.y;
        const double len2 = dx * dx + dy * dy;
        const double raw = len2 > 0 ? ((x - a.x) * dx + (y - a.y) * dy) / len2 : 0.0;
        const double u = std::clamp(raw, 0.0, 1.0);
        const double d = std::hypot(a.x + u * dx - x, a.y + u * dy - y);
        if (d < best) {
          best = d;
          best_beyond_end = beyond_end(p, a, b, raw, len2);
          const double along = walked + u * chord_len[k];
          best_at = total + (chord_total > 0 ? exact * along / chord_total : 0.0);
        }
        walked += chord_len[k];
      }
      total += exact;
    }
  }
  // Rounding (and the chords that stand in for curves) may keep a point
  // that was computed on the line a hair away from it.
  const EnvelopeBounds e = extent_of(g);
  const double slack =
      tol + kAlongRounding * (std::fabs(x) + std::fabs(y) + std::hypot(e.xmax - e.xmin, e.ymax - e.ymin));
  const bool found =
      tolerance == -1 ? best <= slack || !best_beyond_end : best <= std::max(tolerance, 0.0) + slack;
  if (!found) return kNaN;
  return total > 0 ? best_at / total : 0.0;
}

}  // namespace vaskelith::planar
