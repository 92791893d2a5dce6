// Geometry handles: kinds, flags, extents, points, envelopes and the part and
// point access of multiparts and multipoints.
#include "geometry.hpp"

#include <algorithm>
#include <cmath>

#include "curves.hpp"
#include "errors.hpp"
#include "handles.hpp"

namespace vaskelith {

namespace {

void grow_zm(const Vertex& v, EnvelopeBounds& e) {
  if (!std::isnan(v.z)) {
    e.zmin = std::isnan(e.zmin) ? v.z : std::min(e.zmin, v.z);
    e.zmax = std::isnan(e.zmax) ? v.z : std::max(e.zmax, v.z);
  }
  if (!std::isnan(v.m)) {
    e.mmin = std::isnan(e.mmin) ? v.m : std::min(e.mmin, v.m);
    e.mmax = std::isnan(e.mmax) ? v.m : std::max(e.mmax, v.m);
  }
}

}  // namespace

void open_ring(Part& ring) {
  const std::size_t n = ring.size();
  if (n < 2) return;
  const Vertex& first = ring.vertices.front();
  const Vertex& last = ring.vertices.back();
  if (first.x != last.x || first.y != last.y) return;
  const Curve closing = ring.curve_at(n - 1);
  ring.vertices.pop_back();
  if (!ring.curves.empty()) {
    ring.curves.pop_back();
    ring.curves[0] = closing;
  }
  if (!ring.has_curves()) ring.curves.clear();
}

Part opened_copy(const Part& ring) {
  const std::size_t n = ring.size();
  if (n < 2) return ring;
  const Vertex first = ring.vertices.front();
  const Vertex last = ring.vertices.back();
  if (first.x != last.x || first.y != last.y) return ring;
  Part out{VertexList(ring.vertices, n - 1), ring.curves};
  if (!out.curves.empty()) {
    out.curves.pop_back();
    out.curves[0] = ring.curve_at(n - 1);
  }
  if (!out.has_curves()) out.curves.clear();
  return out;
}

Derived& DerivedSlot::get() const {
  if (Derived* d = slot_.load(std::memory_order_acquire)) return *d;
  auto* fresh = new Derived;
  Derived* expected = nullptr;
  if (slot_.compare_exchange_strong(expected, fresh, std::memory_order_acq_rel)) return *fresh;
  delete fresh;  // another thread was first
  return *expected;
}

namespace {
EnvelopeBounds compute_extent(const Geometry& g, bool& whole);


bool few_vertices(const Geometry& g) {
  std::size_t n = g.points.size();
  for (const Part& p : g.parts) {
    if (!p.curves.empty()) return false;
    n += p.size();
    if (n >= kKeptExtentFrom) return false;
  }
  return n < kKeptExtentFrom;
}
}  // namespace

EnvelopeBounds extent_of(const Geometry& g) {
  bool whole = true;
  return extent_of(g, whole);
}

EnvelopeBounds extent_of(const Geometry& g, bool& whole) {
  // Points and envelopes hold their extent already; the rest measure their
  // vertices and curves once.
  whole = true;
  if (g.kind == GeometryKind::Envelope) return g.envelope;
  if (g.kind == GeometryKind::Point) return compute_extent(g, whole);
  // A few vertices are measured again sooner than a record to keep their
  // extent in is made; most small geometries never need one otherwise.
  if (!g.derived.peek() && few_vertices(g)) return compute_extent(g, whole);
  Derived& d = g.derived.get();
  if (!d.has_extent.load(std::memory_order_acquire)) {
    std::lock_guard<std::recursive_mutex> lock(d.mutex);
    if (!d.has_extent.load(std::memory_order_relaxed)) {
      d.extent = compute_extent(g, d.extent_whole);
      d.has_extent.store(true, std::memory_order_release);
    }
  }
  whole = d.extent_whole;
  return d.extent;
}

namespace {

EnvelopeBounds compute_extent(const Geometry& g, bool& whole) {
  EnvelopeBounds e;
  whole = true;
  if (g.kind == GeometryKind::Envelope) return g.envelope;
  double xmin = INFINITY, xmax = -INFINITY, ymin = INFINITY, ymax = -INFINITY;
  auto vertex = [&](const Vertex& v) {
    if (std::isnan(v.x) || std::isnan(v.y)) {
      whole = false;
      return;
    }
    xmin = std::min(xmin, v.x);
    xmax = std::max(xmax, v.x);
    ymin = std::min(ymin, v.y);
    ymax = std::max(ymax, v.y);
    grow_zm(v, e);
  };
  switch (g.kind) {
    case GeometryKind::Point:
      vertex(g.point);
      break;
    case GeometryKind::Multipoint:
      for (const Vertex& v : g.points) vertex(v);
      break;
    default:
      for (const Part& p : g.parts) {
        for (const Vertex& v : p.vertices) vertex(v);
        if (!p.has_curves()) continue;
        const bool closed = g.closed();
        for (std::size_t i = 0; i < p.segment_count(closed); ++i) {
          SegmentView s = p.segment(i, closed);
          if (!s.curve->is_line()) grow_extent(s, xmin, xmax, ymin, ymax);
        }
      }
  }
  if (xmin > xmax) return EnvelopeBounds{};
  e.xmin = xmin;
  e.xmax = xmax;
  e.ymin = ymin;
  e.ymax = ymax;
  if (!g.has_z) e.zmin = e.zmax = kNaN;
  if (!g.has_m) e.mmin = e.mmax = kNaN;
  return e;
}

}  // namespace

}  // namespace vaskelith
