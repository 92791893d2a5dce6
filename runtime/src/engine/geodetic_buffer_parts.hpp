// The geodetic buffer's rooms, shared by its files:
//   geodetic_buffer.cpp           what a buffer is made of, in one plane or
//                                 in stretches, and the entry points;
//   geodetic_buffer_sampling.cpp  the plan of one buffer, and the input
//                                 followed in longitude and latitude;
//   geodetic_buffer_pieces.cpp    the circles, wedges and bodies between
//                                 offset curves the buffer is the union of;
//   geodetic_buffer_union.cpp     how those pieces are united;
//   geodetic_buffer_cut.cpp       from the azimuthal plane back to longitude
//                                 and latitude (closed over the poles, cut at
//                                 the antimeridian) or to the reference's
//                                 own plane;
//   geodetic_buffer_geos.cpp      GEOS plumbing: rings, unions, differences,
//                                 slivers.
#pragma once

#include <GeographicLib/AzimuthalEquidistant.hpp>
#include <cstddef>
#include <utility>
#include <vector>

#include "engine/geodetic_curve.hpp"
#include "engine/geodetic_frame.hpp"
#include "engine/geos_context.hpp"
#include "errors.hpp"
#include "geometry.hpp"

namespace vaskelith::geodetic::buffering {

using XY = std::pair<double, double>;
using geos::GeomPtr;

// Below a tenth of a micrometer the geodesic computations only measure their
// own rounding: tolerances are never taken finer than this.
inline constexpr double kRoundingFloor = 1e-7;

// Degrees within which a longitude is on the antimeridian or a latitude at
// a pole (and two of them equal): where the readers and PROJ put those
// lines, to rounding.
inline constexpr double kSeamDegrees = 1e-9;

// Polygons and holes smaller than this fraction of a square of the
// deviation's side are slivers, not area of the buffer: pieces united
// along chords computed apart (a path drawn back over itself) leave them
// where the chords cross, and so does cutting at the antimeridian and the
// poles.  Dropping one moves no point of the result by more than a small
// part of the deviation.
inline constexpr double kSliverArea = 1e-3;

// Meters of mean width (twice the area over the perimeter) below which a
// polygon or hole is rounding whatever the deviation: the cracks chords
// computed apart leave are a few nanometers wide, and the narrowest buffer
// drawn, a circle of the rounding floor, is four times this.
inline constexpr double kSliverWidth = kRoundingFloor / 4;

// What a buffer whose work would outgrow its budget (a deviation far too
// fine for the geometry's size) fails with.
inline constexpr const char* kDeviationTooSmall = "The maximum deviation is too small for the geometry.";

// Points one buffer may still compute, spent as they are computed: past the
// budget the buffer fails rather than run for hours.
class PointBudget {
 public:
  explicit PointBudget(double points) : left_(points) {}
  void spend(double points) {
    left_ -= points;
    if (left_ < 0) fail(kInvalidArgument, kDeviationTooSmall);
  }
  // Fails at once where work about to start would outgrow what is left,
  // rather than when most of it is done.
  void require(double points) const {
    if (left_ < points) fail(kInvalidArgument, kDeviationTooSmall);
  }

 private:
  double left_;
};

struct Plan {
  double distance = 0;  // meters, absolute
  bool negative = false;
  double deviation = 0;  // meters
  double step = 0;       // spacing of samples along edges and offset curves, meters
  int circle = 8;        // vertices of a vertex circle
  bool rhumb = false;    // distances along loxodromes
};

// The plan of a buffer of this distance (negative: inward) on an ellipsoid
// of this radius, with the caller's maximum deviation (any number).
Plan plan_for(double distance, double max_deviation, double radius);

// The azimuthal equidistant plane about a center.
class Azimuthal {
 public:
  Azimuthal(const Ellipsoid& e, const LonLat& center) : proj_(e.geodesic()), c_(center) {}
  XY forward(const LonLat& p) const {
    double x, y, azi, rk;
    proj_.Forward(c_.lat, c_.lon, p.lat, p.lon, x, y, azi, rk);
    return {x, y};
  }
  LonLat reverse(double x, double y) const {
    double lat, lon, azi, rk;
    proj_.Reverse(c_.lat, c_.lon, x, y, lat, lon, azi, rk);
    return {lon, lat};
  }

 private:
  GeographicLib::AzimuthalEquidistant proj_;
  LonLat c_;
};

// The input in longitude and latitude, its edges followed by geodesic
// pieces: lone points; open paths (polylines, and the stretches of polygon
// rings between seams); polygon rings whole, for their interiors; and the
// rings without seams, which bound all round.
struct Shapes {
  std::vector<LonLat> points;
  std::vector<std::vector<LonLat>> paths;     // open lines that bound or are buffered
  std::vector<std::vector<LonLat>> rings;     // polygon rings, for the interiors
  std::vector<std::vector<LonLat>> outlines;  // rings that bound all round
  bool area = false;
};

// The pieces of one buffer, each with its place along the paths it follows
// (so that pieces next to one another there can be united first).
struct Pieces {
  std::vector<GeomPtr> shapes;
  std::vector<std::size_t> place;
  void add(GeomPtr g, std::size_t at) {
    shapes.push_back(std::move(g));
    place.push_back(at);
  }
};

// ---- sampling ----

// The input in longitude and latitude, its edges of `type` followed by
// geodesic pieces about `step` apart and within a quarter of `deviation`
// of the curve.
Shapes shapes_of(const Geometry& g, const Frame& frame, CurveType type, double step, double deviation);

// Center of the azimuthal plane for these shapes.
LonLat center_of(const Shapes& s);

// The point halfway along the geodesic from a to b.
LonLat geodesic_mid(const Ellipsoid& e, const LonLat& a, const LonLat& b);

// ---- pieces ----

// The pieces the buffer of these shapes is the union of, in the azimuthal
// plane; every offset point computed is spent from `budget`.
Pieces pieces(const Shapes& s, const Ellipsoid& e, const Azimuthal& az, const Plan& plan,
              PointBudget& budget);

// ---- union ----

GeomPtr unite_pieces(Pieces p, double deviation);

// The polygon interiors of the input in the azimuthal plane.
GeomPtr areas(const Shapes& s, const Azimuthal& az);

// The buffer of an area from its interior and the band the pieces make
// round its boundary: the two united, or the band taken from the interior
// for a negative distance.
GeomPtr with_interior(GeomPtr interior, GeomPtr band, bool negative);

// ---- cutting ----

// Longitude and latitude regions in [-180, 180] x [-90, 90] from the
// polygons of the azimuthal plane, their edges within `tolerance` of the
// chords they stand for.
GeomPtr to_lonlat_world(const GeomPtr& plane, const Azimuthal& az, const Ellipsoid& e, double tolerance);

// Polygon rings in the reference's plane from rings of the azimuthal plane.
GeometryPtr to_plane(const GeomPtr& plane, const Azimuthal& az, const Frame& frame, double tolerance);

// ---- GEOS plumbing ----

GEOSContextHandle_t C();
// A polygon from one ring, repaired where it folds over itself; null for
// fewer than three points.
GeomPtr polygon(const std::vector<XY>& ring);
GeomPtr box(double xmin, double ymin, double xmax, double ymax);
GeomPtr unite(std::vector<GeomPtr> pieces);
GeomPtr difference(const GeomPtr& a, const GeomPtr& b);
// Coordinates of a ring, closing vertex included.
std::vector<XY> coords(const GEOSGeometry* ring);
// Whether (x, y) is inside the closed ring (crossing rule).
bool inside(const std::vector<XY>& ring, double x, double y);
// Whether a polygon or ring of this area and perimeter is a sliver: no
// larger than `min_area`, or thinner on average than `min_width` (twice
// the area over the perimeter).
bool sliver(double area, double perimeter, double min_area, double min_width);
// The area in square meters up to which a polygon or hole of a buffer
// with this deviation is a sliver.
double sliver_area(double deviation);
// A polygon of a copy of `shell` and these holes.
GeomPtr polygon_with_holes(const GEOSGeometry* shell, std::vector<GeomPtr> holes);
// Area and perimeter of the region a ring bounds.
void ring_measures(const GEOSGeometry* ring, double& area, double& perimeter);
// A result without its polygons and holes that are slivers; a valid
// result stays valid.
GeomPtr without_slivers(GeomPtr g, double min_area, double min_width);

}  // namespace vaskelith::geodetic::buffering
