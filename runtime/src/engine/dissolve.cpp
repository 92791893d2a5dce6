#include "engine/dissolve.hpp"

#include <algorithm>
#include <iterator>
#include <numeric>

#include "engine/box_index.hpp"

namespace vaskelith::planar {

using geos::ctx;
using geos::GeomPtr;

namespace {

Box box_of(const GEOSGeometry* g) {
  Box b;
  if (GEOSisEmpty_r(ctx(), g) == 1) return b;
  geos::check(GEOSGeom_getXMin_r(ctx(), g, &b.xmin), "an extent");
  geos::check(GEOSGeom_getYMin_r(ctx(), g, &b.ymin), "an extent");
  geos::check(GEOSGeom_getXMax_r(ctx(), g, &b.xmax), "an extent");
  geos::check(GEOSGeom_getYMax_r(ctx(), g, &b.ymax), "an extent");
  return b;
}

// Moves the polygons of `g` into `out`.
void take_polygons(GeomPtr g, std::vector<GeomPtr>& out) {
  const int type = GEOSGeomTypeId_r(ctx(), g.get());
  if (type == GEOS_POLYGON) {
    if (GEOSisEmpty_r(ctx(), g.get()) != 1) out.push_back(std::move(g));
    return;
  }
  if (type != GEOS_MULTIPOLYGON && type != GEOS_GEOMETRYCOLLECTION) return;
#if GEOS_VERSION_MAJOR > 3 || (GEOS_VERSION_MAJOR == 3 && GEOS_VERSION_MINOR >= 12)
  unsigned n = 0;
  GEOSGeometry** members = GEOSGeom_releaseCollection_r(ctx(), g.get(), &n);
  std::vector<GeomPtr> owned;
  for (unsigned i = 0; i < n; ++i) owned.emplace_back(members[i]);
  if (members) GEOSFree_r(ctx(), members);
  for (GeomPtr& m : owned) take_polygons(std::move(m), out);
#else
  const int n = GEOSGetNumGeometries_r(ctx(), g.get());
  for (int i = 0; i < n; ++i)
    take_polygons(geos::take(GEOSGeom_clone_r(ctx(), GEOSGetGeometryN_r(ctx(), g.get(), i)), "a copy"), out);
#endif
}

// Pieces united at a time, at every level of an ordered union.
constexpr std::size_t kRun = 16;

std::size_t root(std::vector<std::size_t>& parent, std::size_t i) {
  while (parent[i] != i) i = parent[i] = parent[parent[i]];
  return i;
}

}  // namespace

GeomPtr dissolve(std::vector<GeomPtr> pieces) {
  const std::size_t n = pieces.size();
  std::vector<Box> boxes(n);
  for (std::size_t i = 0; i < n; ++i) boxes[i] = box_of(pieces[i].get());
  // Pieces whose extents meet, directly or through others, are united.
  std::vector<std::size_t> parent(n);
  std::iota(parent.begin(), parent.end(), std::size_t{0});
  const BoxIndex index(boxes);
  for (std::size_t i = 0; i < n; ++i)
    index.query(boxes[i], [&](std::size_t j) {
      const std::size_t a = root(parent, i), b = root(parent, j);
      if (a != b) parent[std::max(a, b)] = std::min(a, b);
    });
  std::vector<std::vector<std::size_t>> groups(n);
  for (std::size_t i = 0; i < n; ++i) groups[root(parent, i)].push_back(i);
  std::vector<GeomPtr> polygons;
  for (const auto& group : groups) {
    if (group.empty()) continue;
    if (group.size() == 1) {
      // A piece alone is united with nothing, but still made one valid area.
      GeomPtr& p = pieces[group[0]];
      take_polygons(GEOSisValid_r(ctx(), p.get()) == 1 ? std::move(p)
                                                        : geos::take(GEOSUnaryUnion_r(ctx(), p.get()), "union"),
                    polygons);
      continue;
    }
    std::vector<GeomPtr> members;
    for (std::size_t i : group) members.push_back(std::move(pieces[i]));
    GeomPtr set = geos::collect(GEOS_GEOMETRYCOLLECTION, std::move(members));
    take_polygons(geos::take(GEOSUnaryUnion_r(ctx(), set.get()), "union"), polygons);
  }
  if (polygons.size() == 1) return std::move(polygons[0]);
  return geos::collect(GEOS_MULTIPOLYGON, std::move(polygons));
}

GeomPtr unite_areas(std::vector<GeomPtr> pieces) {
  std::vector<GeomPtr> kept;
  for (GeomPtr& p : pieces)
    if (p && GEOSisEmpty_r(ctx(), p.get()) == 0) kept.push_back(std::move(p));
  if (kept.empty()) return geos::take(GEOSGeom_createEmptyPolygon_r(ctx()), "an empty polygon");
  if (kept.size() == 1) return std::move(kept.front());
  GeomPtr all = geos::collect(GEOS_GEOMETRYCOLLECTION, std::move(kept));
  return geos::take(GEOSUnaryUnion_r(ctx(), all.get()), "union");
}

GeomPtr unite_in_order(std::vector<GeomPtr> pieces) {
  std::vector<GeomPtr> level = std::move(pieces);
  do {
    std::vector<GeomPtr> next;
    for (std::size_t i = 0; i < level.size(); i += kRun) {
      const auto from = level.begin() + static_cast<std::ptrdiff_t>(i);
      const auto to = level.begin() + static_cast<std::ptrdiff_t>(std::min(level.size(), i + kRun));
      std::vector<GeomPtr> run(std::make_move_iterator(from), std::make_move_iterator(to));
      next.push_back(unite_areas(std::move(run)));
    }
    level = std::move(next);
  } while (level.size() > 1);
  return level.empty() ? unite_areas({}) : std::move(level.front());
}

}  // namespace vaskelith::planar
