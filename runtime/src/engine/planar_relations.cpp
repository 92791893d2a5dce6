// Spatial relations and distance, decided by GEOS on the linear form.
#include <cmath>

#include "engine/geos_context.hpp"
#include "engine/geos_convert.hpp"
#include "engine/planar_ops.hpp"
#include "errors.hpp"

namespace vaskelith::planar {

using geos::ctx;
using geos::GeomPtr;

bool relation(const Geometry& a, const Geometry& b, Relation r) {
  GeomPtr ga = to_geos(a), gb = to_geos(b);
  switch (r) {
    case Relation::Contains: return geos::truth(GEOSContains_r(ctx(), ga.get(), gb.get()), "contains");
    case Relation::Crosses: return geos::truth(GEOSCrosses_r(ctx(), ga.get(), gb.get()), "crosses");
    case Relation::Disjoint: return geos::truth(GEOSDisjoint_r(ctx(), ga.get(), gb.get()), "disjoint");
    case Relation::Equals:
      // Two empty geometries of any kind are equal; an empty and a
      // non-empty one are not.
      if (a.is_empty() || b.is_empty()) return a.is_empty() && b.is_empty();
      return geos::truth(GEOSEquals_r(ctx(), ga.get(), gb.get()), "equals");
    case Relation::Intersects: return geos::truth(GEOSIntersects_r(ctx(), ga.get(), gb.get()), "intersects");
    case Relation::Overlaps: return geos::truth(GEOSOverlaps_r(ctx(), ga.get(), gb.get()), "overlaps");
    case Relation::Touches: return geos::truth(GEOSTouches_r(ctx(), ga.get(), gb.get()), "touches");
    case Relation::Within: return geos::truth(GEOSWithin_r(ctx(), ga.get(), gb.get()), "within");
  }
  return false;
}

bool relate(const Geometry& a, const Geometry& b, const std::string& pattern) {
  if (pattern.size() != 9)
    fail(kInvalidArgument, "The relation must be a DE-9IM pattern of nine characters.", "Got \"" + pattern + "\".");
  std::string normal = pattern;
  for (char& c : normal) {
    if (c == 't') c = 'T';
    if (c == 'f') c = 'F';
    if (c != 'T' && c != 'F' && c != '*' && c != '0' && c != '1' && c != '2')
      fail(kInvalidArgument, "The relation may only hold the characters T, F, *, 0, 1 and 2.",
           "Got \"" + pattern + "\".");
  }
  GeomPtr ga = to_geos(a), gb = to_geos(b);
  return geos::truth(GEOSRelatePattern_r(ctx(), ga.get(), gb.get(), normal.c_str()), "relate");
}

double distance(const Geometry& a, const Geometry& b) {
  // No distance separates an empty geometry from anything.
  if (a.is_empty() || b.is_empty()) return kNaN;
  if (a.kind == GeometryKind::Point && b.kind == GeometryKind::Point)
    return std::hypot(a.point.x - b.point.x, a.point.y - b.point.y);
  GeomPtr ga = to_geos(a), gb = to_geos(b);
  double d = 0;
  geos::check(GEOSDistance_r(ctx(), ga.get(), gb.get(), &d), "distance");
  return d;
}

}  // namespace vaskelith::planar
