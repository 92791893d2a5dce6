// Conversion between the runtime's geometries and GEOS geometries.
//
// GEOS sees straight segments in two dimensions only: curves are replaced by
// chords (planar_curves.hpp), z and m stay behind.  Results come back with
// the engine's conventions (rings open, exterior rings clockwise and holes
// counter-clockwise), and the inputs' z, m and curves are put back by a
// SourceIndex (geos_sources.hpp).
#pragma once

#include <cstddef>
#include <iterator>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "engine/geos_context.hpp"
#include "engine/geos_sources.hpp"
#include "geometry.hpp"

namespace vaskelith::planar {

// Topological dimension of a kind: 0 points, 1 polylines, 2 areas.
int dimension(GeometryKind kind);

// The GEOS form of a geometry.  Points become POINT, multipoints MULTIPOINT,
// polylines MULTILINESTRING, polygons and envelopes (MULTI)POLYGON, whose
// rings are grouped by nesting (a ring inside an odd number of others is a
// hole), whatever their orientation.  `tolerance` is the chord tolerance for
// curves (<= 0: each curve's own, see own_tolerance).  With `repair`, an invalid area is made
// valid first, so that overlays do not fail on self-intersecting rings.
geos::GeomPtr to_geos(const Geometry& g, double tolerance = 0, bool repair = true);

// A valid copy of a GEOS area that is not valid (made so as to_geos repairs
// areas); null when it is valid already.
geos::GeomPtr repaired_area(const GEOSGeometry* g);

// Rings grouped into polygons: each group lists an exterior ring's index
// first, then its holes; the groups go by their exterior rings' indices.
// Every index in one array, a group being a span of it.
class RingGroups {
 public:
  RingGroups() = default;
  RingGroups(std::vector<std::size_t> rings, std::vector<std::size_t> starts)
      : rings_(std::move(rings)), starts_(std::move(starts)) {}

  std::size_t size() const { return starts_.empty() ? 0 : starts_.size() - 1; }
  std::span<const std::size_t> operator[](std::size_t g) const {
    return {rings_.data() + starts_[g], starts_[g + 1] - starts_[g]};
  }

  class const_iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = std::span<const std::size_t>;
    using difference_type = std::ptrdiff_t;
    const_iterator() = default;
    const_iterator(const RingGroups* groups, std::size_t g) : groups_(groups), g_(g) {}
    std::span<const std::size_t> operator*() const { return (*groups_)[g_]; }
    const_iterator& operator++() {
      ++g_;
      return *this;
    }
    const_iterator operator++(int) {
      const_iterator old = *this;
      ++g_;
      return old;
    }
    bool operator==(const const_iterator& o) const { return g_ == o.g_; }

   private:
    const RingGroups* groups_ = nullptr;
    std::size_t g_ = 0;
  };
  const_iterator begin() const { return {this, 0}; }
  const_iterator end() const { return {this, size()}; }

 private:
  std::vector<std::size_t> rings_;   // group after group
  std::vector<std::size_t> starts_;  // group g is rings_[starts_[g], starts_[g + 1])
};

// Groups rings (already linear) into polygons by nesting: a ring inside an
// odd number of others is a hole of the smallest of them.
RingGroups nest_rings(const std::vector<Part>& rings);

// How a GEOS result becomes a runtime geometry.
struct ResultSpec {
  GeometryKind kind = GeometryKind::Polygon;
  bool has_z = false;
  bool has_m = false;
  SpatialReferencePtr spatial_reference;
  const SourceIndex* attributes = nullptr;  // may be null: z and m NaN
  bool merge_lines = true;  // join polyline pieces that meet end to start
};

// The components of `g` of the kind's dimension, as a geometry of that kind
// (a Point takes the first point; an Envelope the extent of everything).
GeometryPtr from_geos(const GEOSGeometry* g, const ResultSpec& spec);

// An empty geometry of the given kind.
GeometryPtr empty_geometry(GeometryKind kind, bool has_z, bool has_m, SpatialReferencePtr sr);

// Orients polygon rings the engine's way: exterior rings clockwise, holes
// counter-clockwise, by nesting.  Curves are kept.  With `group`, each
// exterior ring is also followed by its holes.
void orient_rings(std::vector<Part>& rings, bool group = false);

// Whether (x, y) lies inside the linear ring (boundary excluded); -1 on the
// boundary, 1 inside, 0 outside.
int locate_in_ring(const Part& ring, double x, double y);

}  // namespace vaskelith::planar
