// Geodetic buffers: the set of points within a distance of a geometry,
// measured on the ellipsoid.
//
// The boundary is built from exact offsets: for every vertex, the geodesic
// circle of the buffer distance (GeographicLib Geodesic Direct), and for
// every edge the two offset curves reached by geodesics leaving the edge at
// right angles.  These pieces are united in an azimuthal equidistant plane
// centred on the geometry, where the pieces are sampled densely enough that
// straight chords stay within the maximum deviation of the true curves.  The
// union goes back to longitude and latitude, where rings that wind around a
// pole are closed over it and everything is cut at the antimeridian, so the
// result is a valid polygon in [-180, 180] x [-90, 90] (for a geographic
// reference) or is transformed into the reference's own plane.
//
// Edges of another curve type than the geodesic are first followed by short
// geodesic pieces.  The distance is the geodesic distance, except for
// loxodromes: a loxodrome buffer holds the points within the distance of
// the geometry along a loxodrome, taken the short way round in longitude as
// its length is measured.  Its circles are reached by loxodromes, and the
// offsets of an edge are the points where those circles touch their
// envelope (near a pole that is far from square to the edge).  Where the
// distance passes a pole, the loxodromes that would wind more than half a
// turn round it reach nothing: points beyond are nearer the other way
// round, and the pole and the cap round it lie inside the buffer.
#include <GeographicLib/AzimuthalEquidistant.hpp>
#include <algorithm>
#include <cmath>
#include <limits>
#include <functional>
#include <utility>
#include <vector>

#include "engine/box_index.hpp"
#include "engine/dissolve.hpp"
#include "engine/geodetic_frame.hpp"
#include "engine/geodetic_shapes.hpp"
#include "engine/geos_context.hpp"
#include "engine/geos_convert.hpp"
#include "engine/input_limits.hpp"
#include "errors.hpp"

namespace vaskelith::geodetic {

namespace {

// Below a tenth of a micrometer the geodesic computations only measure their
// own rounding: tolerances are never taken finer than this.
constexpr double kRoundingFloor = 1e-7;

// Offset points one buffer may compute before it gives up: a deviation far
// too fine for the geometry's size would otherwise run for hours.
constexpr long kOffsetBudget = 250'000;

// Pairs of buffer pieces whose boxes overlap up to which the pieces are
// united all at once.
constexpr long kDirectUnionPairs = 1'000'000;

// Holes of a buffer up to which each is cut from its region in longitude
// and latitude by a difference of its own.
constexpr std::size_t kHolesOneByOne = 64;

// The deviation when none usable is given, and the range it is held to, as
// fractions of the buffer distance: finer costs points without showing,
// coarser than half the distance is no longer a buffer.
constexpr double kDefaultDeviation = 1e-3;
constexpr double kFinestDeviation = 1e-6;
constexpr double kCoarsestDeviation = 0.5;

// Degrees within which a longitude is on the antimeridian or a latitude at
// a pole (and two of them equal): where the readers and PROJ put those
// lines, to rounding.
constexpr double kSeamDegrees = 1e-9;

// The length of a sum of unit vectors below which the points have no mean
// direction (they are spread round the globe).
constexpr double kNoMeanDirection = 1e-9;

// Degrees of turn below which consecutive edges continue straight on, so
// the next edge starts from the very offset points the last one ended at.
constexpr double kStraightJoint = 1e-7;

// Polygons and holes smaller than this fraction of a square of the
// deviation's side are slivers, not area of the buffer: pieces united
// along chords computed apart (a path drawn back over itself) leave them
// where the chords cross, and so does cutting at the antimeridian and the
// poles.  Dropping one moves no point of the result by more than a small
// part of the deviation.
constexpr double kSliverArea = 1e-3;

// Meters of mean width (twice the area over the perimeter) below which a
// polygon or hole is rounding whatever the deviation: the cracks chords
// computed apart leave are a few nanometers wide, and the narrowest buffer
// drawn, a circle of the rounding floor, is four times this.
constexpr double kSliverWidth = kRoundingFloor / 4;

// Halvings of the azimuth between two spokes of a loxodrome circle: enough
// to take a spoke from a few degrees to within kSeamDegrees of the last
// point a loxodrome reaches.
constexpr int kCircleDepth = 48;

// The point a loxodrome offset touches the envelope of the circles at is
// where the distances to the line's points this fraction of the buffer
// distance ahead and behind are equal; the touching point is found to an
// angle of kEnvelopeAngle degrees, far finer than any deviation shows.
constexpr double kEnvelopeStep = 1e-4;
constexpr double kEnvelopeAngle = 1e-8;
// Degrees from square to the edge searched for that point, in steps; an
// offset touching the envelope more obliquely than that is not looked for
// (the edge is covered by circles instead).
constexpr double kEnvelopeSearch = 10;
constexpr double kEnvelopeReach = 80;

// Meters of ground in a degree of latitude, near enough to turn the two
// above into degrees.
constexpr double kMetersPerDegree = 111320.0;
using XY = std::pair<double, double>;
using geos::GeomPtr;

GEOSContextHandle_t C() { return geos::ctx(); }

GEOSCoordSequence* sequence(const std::vector<XY>& ring) {
  std::vector<double> buf;
  buf.reserve(ring.size() * 2 + 2);
  for (const auto& [x, y] : ring) {
    buf.push_back(x);
    buf.push_back(y);
  }
  if (!ring.empty() && (ring.front() != ring.back())) {
    buf.push_back(ring.front().first);
    buf.push_back(ring.front().second);
  }
  GEOSCoordSequence* seq =
      GEOSCoordSeq_copyFromBuffer_r(C(), buf.data(), static_cast<unsigned>(buf.size() / 2), 0, 0);
  if (!seq) fail(kGeometryEngine, "The geometry engine could not build a coordinate sequence.");
  return seq;
}

// A polygon from one ring; invalid rings (a piece that folds over itself)
// are repaired so that the union can take them.
GeomPtr polygon(const std::vector<XY>& ring) {
  if (ring.size() < 3) return nullptr;
  GEOSGeometry* shell = GEOSGeom_createLinearRing_r(C(), sequence(ring));
  if (!shell) fail(kGeometryEngine, "The geometry engine could not build a ring.", geos::last_error());
  GeomPtr p = geos::take(GEOSGeom_createPolygon_r(C(), shell, nullptr, 0), "a buffer piece");
  if (GEOSisValid_r(C(), p.get()) != 1)
    p = geos::take(GEOSMakeValid_r(C(), p.get()), "repairing a buffer piece");
  return p;
}

GeomPtr box(double xmin, double ymin, double xmax, double ymax) {
  return polygon({{xmin, ymin}, {xmin, ymax}, {xmax, ymax}, {xmax, ymin}});
}

GeomPtr unite(std::vector<GeomPtr> pieces) { return planar::unite_areas(std::move(pieces)); }

GeomPtr difference(const GeomPtr& a, const GeomPtr& b) {
  return geos::take(GEOSDifference_r(C(), a.get(), b.get()), "subtracting from a buffer");
}

// Coordinates of a ring, closing vertex included.
std::vector<XY> coords(const GEOSGeometry* ring) {
  const GEOSCoordSequence* seq = GEOSGeom_getCoordSeq_r(C(), ring);
  unsigned n = 0;
  GEOSCoordSeq_getSize_r(C(), seq, &n);
  std::vector<XY> out(n);
  for (unsigned i = 0; i < n; ++i) GEOSCoordSeq_getXY_r(C(), seq, i, &out[i].first, &out[i].second);
  return out;
}

// Whether (x, y) is inside the closed ring (crossing rule).
bool inside(const std::vector<XY>& ring, double x, double y) {
  bool in = false;
  for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
    const auto [xi, yi] = ring[i];
    const auto [xj, yj] = ring[j];
    if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) in = !in;
  }
  return in;
}

struct Plan {
  double distance = 0;  // meters, absolute
  bool negative = false;
  double deviation = 0;  // meters
  double step = 0;       // spacing of samples along edges and offset curves, meters
  int circle = 8;        // vertices of a vertex circle
  bool rhumb = false;    // distances along loxodromes
  // Offset points still allowed, shared by every piece of one buffer.
  mutable long budget = kOffsetBudget;
};

Plan plan_for(double distance, double max_deviation, double radius) {
  Plan p;
  p.distance = std::fabs(distance);
  p.negative = distance < 0;
  double dev = max_deviation;
  // No usable deviation given: a thousandth of the distance.
  if (!(dev > 0) || !std::isfinite(dev)) dev = p.distance * kDefaultDeviation;
  dev = std::clamp(dev, p.distance * kFinestDeviation, p.distance * kCoarsestDeviation);
  p.deviation = dev;
  // A chord of a circle of radius r sagging by s spans 2 acos(1 - s/r); half
  // the deviation goes to the chords, a quarter to the clean-up below.
  const double theta = 2 * std::acos(1 - dev / 2 / p.distance);
  p.circle = clamped_cast(std::ceil(2 * kPi / theta), 8, 100000);
  // Chords of length h of curves bent like the earth (or like offset curves
  // and geodesics seen in the azimuthal plane) sag by about h^2 / (8 R);
  // a quarter of the deviation is allowed for that.
  p.step = std::clamp(std::sqrt(2 * dev * radius), 1.0, 500000.0);
  return p;
}

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

// Whether the edge runs along the antimeridian or through the poles: in a
// geographic reference such edges only cut a polygon that goes on beyond
// them, so they bound nothing.
bool seam(const LonLat& a, const LonLat& b) {
  const bool on_cut =
      std::fabs(a.lon - b.lon) < kSeamDegrees && std::fabs(std::fabs(a.lon) - 180) < kSeamDegrees;
  const bool on_pole =
      std::fabs(std::fabs(a.lat) - 90) < kSeamDegrees && std::fabs(a.lat - b.lat) < kSeamDegrees;
  return on_cut || on_pole;
}

LonLat geodesic_mid(const Ellipsoid& e, const LonLat& a, const LonLat& b) {
  const GeographicLib::GeodesicLine line = e.geodesic().InverseLine(a.lat, a.lon, b.lat, b.lon);
  double lat, lon;
  line.Position(line.Distance() / 2, lat, lon);
  return {lon, lat};
}

struct Followed {
  std::vector<LonLat> pts;
  std::vector<char> seam;  // per point: the edge leaving it is a seam
};

bool e_short(const Ellipsoid& e, const LonLat& a, const LonLat& b, double step) {
  return e.distance(a, b) < step / 2;
}

Followed follow(const Frame& frame, CurveType type, const std::vector<Vertex>& verts, bool closed,
                double step, double deviation, double& budget) {
  std::vector<std::pair<double, double>> xy;
  for (const Vertex& v : verts) xy.emplace_back(v.x, v.y);
  const std::vector<LonLat> ll = frame.to_lonlat(xy);
  Followed raw;
  const std::size_t n = ll.size();
  if (n == 0) return raw;
  const bool geographic = frame.geographic();
  auto add = [&](const LonLat& p, bool on_seam) {
    raw.pts.push_back(p);
    raw.seam.push_back(on_seam);
  };
  const std::size_t segs = n < 2 ? 0 : (closed ? n : n - 1);
  for (std::size_t i = 0; i < segs; ++i) {
    const std::size_t j = (i + 1) % n;
    const bool on_seam = closed && geographic && seam(ll[i], ll[j]);
    add(ll[i], on_seam);
    if (on_seam) continue;
    // An edge shorter than a step needs no points of its own: any curve
    // type stays far closer than the deviation to the geodesic over it.
    if (e_short(frame.ellipsoid(), ll[i], ll[j], step)) {
      // A straight line of the plane may still go a long way round between
      // near (or equal) end points: its middle tells.
      if (type != CurveType::ShapePreserving) continue;
      const LonLat mid =
          frame.plane().to_lonlat((xy[i].first + xy[j].first) / 2, (xy[i].second + xy[j].second) / 2);
      if (frame.ellipsoid().distance(ll[i], mid) < step / 2) continue;
    }
    const Segment seg = type == CurveType::ShapePreserving
                            ? Segment(frame.ellipsoid(), type, ll[i], ll[j], &frame.plane(), xy[i].first,
                                      xy[i].second, xy[j].first, xy[j].second)
                            : Segment(frame.ellipsoid(), type, ll[i], ll[j]);
    double k = std::max(1.0, std::ceil(seg.length() / step));
    // The step suits curves bent like the earth; curves bent more (a
    // parallel near a pole) are divided further until the geodesic pieces
    // standing in for them stray less than a quarter of the deviation.
    std::vector<LonLat> pts;
    for (;;) {
      if (k > 1e6) fail(kInvalidArgument, "The maximum deviation is too small for the geometry.");
      // Every edge stays under the caps below, the whole geometry under one
      // budget of points computed (sampling in the plane computes eight
      // more for each).
      budget -= (type == CurveType::ShapePreserving ? 16 : type == CurveType::Geodesic ? 1 : 2) * k;
      if (budget < 0) fail(kInvalidArgument, "The maximum deviation is too small for the geometry.");
      // Dividing an edge straight in the plane samples it eight times over
      // for every point (and projects each sample): that work has a cap of
      // its own.
      if (type == CurveType::ShapePreserving && 16 * k > 4e6)
        fail(kInvalidArgument, "The maximum deviation is too small for the geometry.");
      if (type == CurveType::Geodesic) {
        pts = seg.divide(static_cast<std::size_t>(k));
        break;
      }
      const std::vector<LonLat> halves = seg.divide(2 * static_cast<std::size_t>(k));
      double worst = 0;
      for (std::size_t q = 1; q < halves.size(); q += 2)
        worst = std::max(worst, frame.ellipsoid().distance(halves[q], geodesic_mid(frame.ellipsoid(), halves[q - 1],
                                                                                   halves[q + 1])));
      const double allowed = std::max(deviation / 4, kRoundingFloor);
      if (worst <= allowed) {
        for (std::size_t q = 0; q < halves.size(); q += 2) pts.push_back(halves[q]);
        break;
      }
      // The strays fall with the square of the piece length: pieces that
      // would have to be far more than the cap allows are given up on now
      // rather than after dividing the edge ever finer up to it.
      if (k * std::sqrt(worst / allowed) > 4e6)
        fail(kInvalidArgument, "The maximum deviation is too small for the geometry.");
      k *= 2;
    }
    for (std::size_t q = 1; q + 1 < pts.size(); ++q) add(pts[q], false);
  }
  if (!closed || n == 1) add(ll[n - 1], false);
  // Repeated points make no edge; the edge leaving a run of repeats is the
  // one leaving its last point.
  Followed out;
  for (std::size_t i = 0; i < raw.pts.size(); ++i) {
    const LonLat& p = raw.pts[i];
    if (!out.pts.empty() && out.pts.back().lon == p.lon && out.pts.back().lat == p.lat) {
      out.seam.back() = raw.seam[i];
      continue;
    }
    out.pts.push_back(p);
    out.seam.push_back(raw.seam[i]);
  }
  if (closed)
    while (out.pts.size() > 1 && out.pts.back().lon == out.pts.front().lon &&
           out.pts.back().lat == out.pts.front().lat) {
      out.pts.pop_back();
      out.seam.pop_back();
    }
  return out;
}

Shapes shapes_of(const Geometry& g, const Frame& frame, CurveType type, double step, double deviation) {
  Shapes s;
  double budget = limits::kMaxDensifiedVertices;
  if (g.kind == GeometryKind::Point) {
    s.points = frame.to_lonlat(std::vector<Vertex>{g.point});
  } else if (g.kind == GeometryKind::Multipoint) {
    s.points = frame.to_lonlat(g.points);
  } else {
    s.area = g.kind == GeometryKind::Polygon || g.kind == GeometryKind::Envelope;
    for (const FlatPart& part : flat_parts(g)) {
      Followed f = follow(frame, type, part.vertices, part.closed, step, deviation, budget);
      std::vector<LonLat>& pts = f.pts;
      if (pts.size() == 1) {
        s.points.push_back(pts[0]);
      } else if (part.closed && pts.size() >= 3) {
        // The ring's boundary without its seams: open stretches between them.
        const std::size_t n = pts.size();
        std::size_t first_seam = n;
        for (std::size_t i = 0; i < n; ++i)
          if (f.seam[i]) {
            first_seam = i;
            break;
          }
        if (first_seam == n) {
          s.outlines.push_back(pts);
        } else {
          std::vector<LonLat> run;
          for (std::size_t k = 1; k <= n; ++k) {
            const std::size_t i = (first_seam + k) % n;
            run.push_back(pts[i]);
            if (f.seam[i]) {
              if (run.size() >= 2) s.paths.push_back(run);
              run.clear();
            }
          }
        }
        s.rings.push_back(std::move(pts));
      } else if (!pts.empty()) {
        s.paths.push_back(std::move(pts));
      }
    }
  }
  return s;
}

// Center of the azimuthal plane: the direction of the mean of the vertices'
// unit vectors, so that every vertex lies as near the center as can be.
LonLat center_of(const Shapes& s) {
  double sx = 0, sy = 0, sz = 0;
  LonLat first{0, 0};
  bool have = false;
  auto add = [&](const LonLat& p) {
    if (!have) first = p;
    have = true;
    const double la = p.lat * kPi / 180, lo = p.lon * kPi / 180;
    sx += std::cos(la) * std::cos(lo);
    sy += std::cos(la) * std::sin(lo);
    sz += std::sin(la);
  };
  for (const auto& p : s.points) add(p);
  for (const auto& path : s.paths)
    for (const auto& p : path) add(p);
  for (const auto& ring : s.rings)
    for (const auto& p : ring) add(p);
  const double n = std::sqrt(sx * sx + sy * sy + sz * sz);
  if (!(n > kNoMeanDirection)) return first;
  return {std::atan2(sy, sx) * 180 / kPi, std::asin(std::clamp(sz / n, -1.0, 1.0)) * 180 / kPi};
}

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

// Offset points of one buffer: the far ends of geodesics of the buffer
// distance, in the azimuthal plane.  Every point counts against the budget
// the buffer's plan holds.
class Offsets {
 public:
  Offsets(const Ellipsoid& e, const Azimuthal& az, const Plan& plan)
      : geod_(e.geodesic()), rhumb_(e.rhumb()), az_(az), plan_(plan), arc_step_(360.0 / plan.circle) {}

  const GeographicLib::Geodesic& geodesic() const { return geod_; }
  const GeographicLib::Rhumb& rhumb() const { return rhumb_; }
  const Azimuthal& plane() const { return az_; }
  const Plan& plan() const { return plan_; }

  XY at(const LonLat& c, double azimuth) const {
    if (--plan_.budget < 0) fail(kInvalidArgument, "The maximum deviation is too small for the geometry.");
    double lat, lon;
    geod_.Direct(c.lat, c.lon, azimuth, plan_.distance, lat, lon);
    return az_.forward({lon, lat});
  }

  // Points of the arc about c from azimuth a1 turning by `sweep` degrees
  // (either sign), strictly between its ends.
  void arc(const LonLat& c, double a1, double sweep, std::vector<XY>& ring) const {
    const int n = clamped_cast(std::ceil(std::fabs(sweep) / arc_step_), 0, std::numeric_limits<int>::max());
    for (int k = 1; k < n; ++k) ring.push_back(at(c, a1 + sweep * k / n));
  }

  std::vector<XY> circle(const LonLat& c) const {
    // The loxodromes leaving a pole are its meridians, the geodesics.
    if (plan_.rhumb && std::fabs(c.lat) < 90) return rhumb_circle(c);
    std::vector<XY> ring;
    for (int k = 0; k < plan_.circle; ++k) ring.push_back(at(c, arc_step_ * k));
    return ring;
  }

  // The far end of the loxodrome of the buffer distance leaving c at this
  // azimuth; false where it passes a pole or winds more than half a turn
  // round in longitude (the loxodrome between its ends is then another,
  // shorter one).
  bool rhumb_reach(const LonLat& c, double azimuth, LonLat& out) const {
    if (--plan_.budget < 0) fail(kInvalidArgument, "The maximum deviation is too small for the geometry.");
    return rhumb_try(c, azimuth, out);
  }

  // The same, not counted against the budget: for the trials of a search
  // that counts its outcome.
  bool rhumb_try(const LonLat& c, double azimuth, LonLat& out) const {
    double lat = 0, lon = 0, area = 0;
    rhumb_.GenDirect(c.lat, c.lon, azimuth, plan_.distance,
                     GeographicLib::Rhumb::LATITUDE | GeographicLib::Rhumb::LONGITUDE |
                         GeographicLib::Rhumb::LONG_UNROLL,
                     lat, lon, area);
    if (!std::isfinite(lat) || !std::isfinite(lon) || std::fabs(lon - c.lon) > 180) return false;
    out = {lon, lat};
    return true;
  }

  double rhumb_distance(const LonLat& a, const LonLat& b) const {
    double s = 0, azi = 0;
    rhumb_.Inverse(a.lat, a.lon, b.lat, b.lon, s, azi);
    return s;
  }

  // Points of the loxodrome circle about c from azimuth a1 turning by
  // `sweep` degrees, strictly between its ends; false where one of them is
  // reached by no loxodrome.
  bool rhumb_arc(const LonLat& c, double a1, double sweep, std::vector<XY>& ring) const {
    const int n = static_cast<int>(std::ceil(std::fabs(sweep) / arc_step_));
    LonLat p;
    for (int k = 1; k < n; ++k) {
      if (!rhumb_reach(c, a1 + sweep * k / n, p)) return false;
      ring.push_back(az_.forward(p));
    }
    return true;
  }

 private:
  // A sample of a loxodrome circle: its azimuth and, where a loxodrome
  // reaches it, its point.
  struct Spoke {
    double azimuth;
    bool reached;
    XY xy;
  };

  Spoke spoke(const LonLat& c, double azimuth) const {
    LonLat p;
    Spoke s{azimuth, rhumb_reach(c, azimuth, p), {0, 0}};
    if (s.reached) s.xy = az_.forward(p);
    return s;
  }

  // The loxodrome circle: the far ends of the loxodromes of the buffer
  // distance all round, where one reaches; between two spokes of which one
  // reaches and one does not, the last point reached (where the circle
  // meets the meridian opposite the center).  Spokes are added wherever
  // the chord between two sags by more than half the deviation: near a
  // pole a few degrees of azimuth sweep the circle half round.
  std::vector<XY> rhumb_circle(const LonLat& c) const {
    std::vector<XY> ring;
    const double allowed = std::max(plan_.deviation / 2, kRoundingFloor);
    std::function<void(const Spoke&, const Spoke&, int)> between = [&](const Spoke& a, const Spoke& b, int depth) {
      if (depth >= kCircleDepth) {
        if (b.reached) ring.push_back(b.xy);
        return;
      }
      const Spoke m = spoke(c, (a.azimuth + b.azimuth) / 2);
      if (a.reached && b.reached && m.reached) {
        const double sag = std::hypot((a.xy.first + b.xy.first) / 2 - m.xy.first,
                                      (a.xy.second + b.xy.second) / 2 - m.xy.second);
        if (sag <= allowed) {
          ring.push_back(b.xy);
          return;
        }
      } else if (!a.reached && !b.reached && !m.reached) {
        return;
      } else if (std::fabs(b.azimuth - a.azimuth) < kSeamDegrees) {
        // The last point reached, to rounding.
        if (m.reached) ring.push_back(m.xy);
        return;
      }
      between(a, m, depth + 1);
      between(m, b, depth + 1);
    };
    const Spoke first = spoke(c, 0);
    if (first.reached) ring.push_back(first.xy);
    Spoke prev = first;
    for (int k = 1; k <= plan_.circle; ++k) {
      const Spoke next = k == plan_.circle ? Spoke{360, first.reached, first.xy} : spoke(c, arc_step_ * k);
      between(prev, next, 0);
      prev = next;
    }
    if (!ring.empty() && ring.front() == ring.back()) ring.pop_back();
    if (ring.size() < 3)
      fail(kGeometryEngine, "The geodetic buffer reaches too far around the globe.",
           "No loxodrome of the buffer distance stays within half a turn of the center.");
    return ring;
  }

  const GeographicLib::Geodesic& geod_;
  const GeographicLib::Rhumb& rhumb_;
  const Azimuthal& az_;
  const Plan& plan_;
  double arc_step_;
};

// The offset curves of one edge, sampled start to end, and the edge's
// azimuths at its ends.
struct Edge {
  double azi1 = 0, azi2 = 0;
  std::vector<XY> left, right;
  // Loxodromes: the azimuths at the edge's ends of the loxodromes reaching
  // the offsets there, and whether every offset was reached (where not, the
  // edge is covered by circles instead).
  double left1 = 0, left2 = 0, right1 = 0, right2 = 0;
  bool reached = true;
};

// The offsets of the point at distance s along `line`, to either side.
void offsets_along(const Offsets& o, const GeographicLib::GeodesicLine& line, double s, XY& left, XY& right,
                   double* azimuth = nullptr) {
  double lat, lon, azi;
  line.Position(s, lat, lon, azi);
  if (azimuth) *azimuth = azi;
  left = o.at({lon, lat}, azi - 90);
  right = o.at({lon, lat}, azi + 90);
}

// The step suits offsets bent like the earth, as they are seen within a
// quarter meridian of the plane's center; farther out the plane bends them
// more, and a chord between the offsets at s0 and s1 that sags by more than
// a quarter of the deviation is split, its new points appended to `ed` in
// order.
template <class Along>
bool split_sagging_chords(const Offsets& o, const Along& along, double near, Edge& ed, double s0, const XY& l0,
                          const XY& r0, double s1, const XY& l1, const XY& r1, int depth) {
  const auto is_near = [&](const XY& p) { return std::hypot(p.first, p.second) < near; };
  if (depth >= 16 || (is_near(l0) && is_near(l1) && is_near(r0) && is_near(r1))) return true;
  const double sm = (s0 + s1) / 2;
  XY lm, rm;
  if (!along(sm, lm, rm)) return false;
  const auto sag = [](const XY& p, const XY& q, const XY& mid) {
    return std::hypot((p.first + q.first) / 2 - mid.first, (p.second + q.second) / 2 - mid.second);
  };
  const double allowed = std::max(o.plan().deviation / 4, kRoundingFloor);
  if (sag(l0, l1, lm) <= allowed && sag(r0, r1, rm) <= allowed) return true;
  if (!split_sagging_chords(o, along, near, ed, s0, l0, r0, sm, lm, rm, depth + 1)) return false;
  ed.left.push_back(lm);
  ed.right.push_back(rm);
  return split_sagging_chords(o, along, near, ed, sm, lm, rm, s1, l1, r1, depth + 1);
}

// The offset curves of the geodesic edge from a to b, sampled a step apart
// and closer where the plane bends them.
Edge edge_offsets(const Offsets& o, const Ellipsoid& e, const LonLat& a, const LonLat& b) {
  const Plan& plan = o.plan();
  const GeographicLib::GeodesicLine line = o.geodesic().InverseLine(a.lat, a.lon, b.lat, b.lon);
  const double len = line.Distance();
  const double samples = std::ceil(len / plan.step);
  if (samples > 1e6) fail(kInvalidArgument, "The maximum deviation is too small for the geometry.");
  const int m = std::max(1, static_cast<int>(samples));
  const double near = kPi / 4 * e.semi_major();
  Edge ed;
  XY l0, r0;
  offsets_along(o, line, 0, l0, r0, &ed.azi1);
  ed.left.push_back(l0);
  ed.right.push_back(r0);
  const auto along = [&](double s, XY& left, XY& right) {
    offsets_along(o, line, s, left, right);
    return true;
  };
  for (int k = 1; k <= m; ++k) {
    XY l1, r1;
    offsets_along(o, line, len * k / m, l1, r1, k == m ? &ed.azi2 : nullptr);
    split_sagging_chords(o, along, near, ed, len * (k - 1) / m, l0, r0, len * k / m, l1, r1, 0);
    ed.left.push_back(l1);
    ed.right.push_back(r1);
    l0 = l1;
    r0 = r1;
  }
  return ed;
}

// The point at distance s along a loxodrome, its longitude unrolled; false
// past a pole.
bool rhumb_position(const GeographicLib::RhumbLine& line, double s, LonLat& out) {
  double lat = 0, lon = 0, area = 0;
  line.GenPosition(s, GeographicLib::Rhumb::LATITUDE | GeographicLib::Rhumb::LONGITUDE | GeographicLib::Rhumb::LONG_UNROLL,
                   lat, lon, area);
  out = {lon, lat};
  return std::isfinite(lat) && std::isfinite(lon);
}

// The offset to one side (-1 left, +1 right) of the point at s along the
// loxodrome `line` of azimuth `alpha`: the far end of the loxodrome of the
// buffer distance from that point which touches the envelope of the
// circles round the line's points, and that loxodrome's azimuth.  There the
// distances to the line's points just ahead and just behind are equal;
// square to the line the nearer one lies ahead or behind as the parallels
// narrow towards the pole, and the touching point is searched for from
// there by false position.  False where no loxodrome reaches it.
bool rhumb_offset(const Offsets& o, const GeographicLib::RhumbLine& line, double alpha, double s, int side,
                  XY& out, double& azimuth) {
  const double h = o.plan().distance * kEnvelopeStep;
  LonLat ahead, behind, c;
  if (!rhumb_position(line, s, c) || !rhumb_position(line, s + h, ahead) || !rhumb_position(line, s - h, behind))
    return false;
  // Nearer the point behind than the one ahead: negative.  Its sign turns
  // from - to + between the line's heading (angle 0) and the reverse (180).
  LonLat p;
  const auto lean = [&](double angle) {
    if (!o.rhumb_try(c, alpha + side * angle, p)) return kNaN;
    return o.rhumb_distance(ahead, p) - o.rhumb_distance(behind, p);
  };
  double prev = 90, g_prev = lean(prev);
  if (!std::isfinite(g_prev)) return false;
  // Walk away from square, towards the side the sign says, until it turns.
  const double dir = g_prev < 0 ? 1 : -1;
  double lo = 0, hi = 0, g_lo = 0, g_hi = 0;
  for (;;) {
    const double a = prev + dir * kEnvelopeSearch;
    if (std::fabs(a - 90) > kEnvelopeReach) return false;
    const double g = lean(a);
    if (!std::isfinite(g)) return false;
    if ((g < 0) != (g_prev < 0)) {
      lo = g < 0 ? a : prev;
      g_lo = g < 0 ? g : g_prev;
      hi = g < 0 ? prev : a;
      g_hi = g < 0 ? g_prev : g;
      break;
    }
    prev = a;
    g_prev = g;
  }
  // Now lean(lo) < 0 <= lean(hi); false position with the Illinois step.
  int stale = 0;
  while (std::fabs(hi - lo) > kEnvelopeAngle) {
    double a = (lo * g_hi - hi * g_lo) / (g_hi - g_lo);
    if (!(a > std::min(lo, hi) && a < std::max(lo, hi))) a = (lo + hi) / 2;
    const double g = lean(a);
    if (!std::isfinite(g)) return false;
    if (g == 0) {
      lo = hi = a;
      break;
    }
    if (g < 0) {
      lo = a;
      g_lo = g;
      if (stale < 0) g_hi /= 2;
      stale = -1;
    } else {
      hi = a;
      g_hi = g;
      if (stale > 0) g_lo /= 2;
      stale = 1;
    }
  }
  azimuth = alpha + side * (lo + hi) / 2;
  if (!o.rhumb_reach(c, azimuth, p)) return false;
  out = o.plane().forward(p);
  return true;
}

// The offset curves of the loxodrome edge from a to b, sampled as
// edge_offsets samples a geodesic's; `reached` false where a loxodrome
// reaches no offset.
Edge rhumb_edge_offsets(const Offsets& o, const Ellipsoid& e, const LonLat& a, const LonLat& b) {
  double len = 0, alpha = 0;
  o.rhumb().Inverse(a.lat, a.lon, b.lat, b.lon, len, alpha);
  const GeographicLib::RhumbLine line = o.rhumb().Line(a.lat, a.lon, alpha);
  const double samples = std::ceil(len / o.plan().step);
  if (samples > 1e6) fail(kInvalidArgument, "The maximum deviation is too small for the geometry.");
  const int m = std::max(1, static_cast<int>(samples));
  const double near = kPi / 4 * e.semi_major();
  Edge ed;
  ed.azi1 = ed.azi2 = alpha;
  double left_azi = 0, right_azi = 0;
  const auto along = [&](double s, XY& left, XY& right) {
    return rhumb_offset(o, line, alpha, s, -1, left, left_azi) && rhumb_offset(o, line, alpha, s, 1, right, right_azi);
  };
  XY l0, r0;
  ed.reached = along(0, l0, r0);
  ed.left1 = left_azi;
  ed.right1 = right_azi;
  ed.left.push_back(l0);
  ed.right.push_back(r0);
  for (int k = 1; k <= m && ed.reached; ++k) {
    XY l1, r1;
    ed.reached = along(len * k / m, l1, r1);
    if (k == m) {
      ed.left2 = left_azi;
      ed.right2 = right_azi;
    }
    ed.reached = ed.reached && split_sagging_chords(o, along, near, ed, len * (k - 1) / m, l0, r0, len * k / m, l1, r1, 0);
    ed.left.push_back(l1);
    ed.right.push_back(r1);
    l0 = l1;
    r0 = r1;
  }
  return ed;
}

// Loxodrome circles along the loxodrome from a to b, both ends included,
// close enough together that the notches between them are no deeper than a
// quarter of the deviation: the buffer of edges whose offsets no loxodrome
// reaches.
void add_edge_circles(const Offsets& o, const LonLat& a, const LonLat& b, Pieces& out, std::size_t at) {
  const Plan& plan = o.plan();
  double len = 0, alpha = 0;
  o.rhumb().Inverse(a.lat, a.lon, b.lat, b.lon, len, alpha);
  const GeographicLib::RhumbLine line = o.rhumb().Line(a.lat, a.lon, alpha);
  const double samples = std::ceil(len / std::sqrt(2 * plan.distance * plan.deviation));
  if (samples > 1e6) fail(kInvalidArgument, "The maximum deviation is too small for the geometry.");
  const int m = std::max(1, static_cast<int>(samples));
  for (int k = 0; k <= m; ++k) {
    LonLat c;
    if (rhumb_position(line, len * k / m, c)) out.add(polygon(o.circle(c)), at);
  }
}

// A wedge of a loxodrome circle about c: from the offset `from` (reached
// at azimuth a1) round by `sweep` degrees to the offset `to`; the whole
// circle where a loxodrome reaches no point between.
void add_rhumb_wedge(const Offsets& o, const LonLat& c, const XY& from, double a1, double sweep, const XY& to,
                     Pieces& out, std::size_t at) {
  std::vector<XY> wedge{o.plane().forward(c), from};
  if (!o.rhumb_arc(c, a1, sweep, wedge)) {
    out.add(polygon(o.circle(c)), at);
    return;
  }
  wedge.push_back(to);
  out.add(polygon(wedge), at);
}

// The wedges at a vertex between loxodrome edges: each side turns from the
// azimuth reaching one edge's offset to that reaching the next one's.  A
// vertex of an edge whose offsets are not reached has its circle from the
// circles along that edge.
void add_rhumb_joint(const Offsets& o, const LonLat& c, const Edge& in, const Edge& next, Pieces& out,
                     std::size_t at) {
  if (!in.reached || !next.reached) return;
  add_rhumb_wedge(o, c, in.left.back(), in.left2, std::remainder(next.left1 - in.left2, 360.0), next.left.front(),
                  out, at);
  add_rhumb_wedge(o, c, in.right.back(), in.right2, std::remainder(next.right1 - in.right2, 360.0),
                  next.right.front(), out, at);
}

// The two wedges at vertex c, where the edge `in` turns into `next`: the
// arcs between their offsets.  Where the direction does not turn, `next`
// starts from the very points `in` ended at instead.
void add_joint(const Offsets& o, const LonLat& c, const Edge& in, Edge& next, Pieces& out, std::size_t at) {
  const double turn = std::remainder(next.azi1 - in.azi2, 360.0);
  if (in.reached && next.reached && std::fabs(turn) < kStraightJoint) {
    next.left.front() = in.left.back();
    next.right.front() = in.right.back();
    return;
  }
  if (o.plan().rhumb) {
    add_rhumb_joint(o, c, in, next, out, at);
    return;
  }
  const XY centre = o.plane().forward(c);
  std::vector<XY> lw{centre, in.left.back()};
  o.arc(c, in.azi2 - 90, turn, lw);
  lw.push_back(next.left.front());
  out.add(polygon(lw), at);
  std::vector<XY> rw{centre, in.right.back()};
  o.arc(c, in.azi2 + 90, turn, rw);
  rw.push_back(next.right.front());
  out.add(polygon(rw), at);
}

// The body of the edge from a to b, between its offset curves.  It runs
// through the edge's own end points, so that it meets the wedges and caps
// along the very same chords.
GeomPtr edge_body(const Azimuthal& az, const Edge& ed, const LonLat& a, const LonLat& b) {
  std::vector<XY> ring(ed.left.begin(), ed.left.end());
  ring.push_back(az.forward(b));
  ring.insert(ring.end(), ed.right.rbegin(), ed.right.rend());
  ring.push_back(az.forward(a));
  return polygon(ring);
}

// Half circles around the ends of an open path, from one offset round to
// the other.
void add_end_caps(const Offsets& o, const std::vector<LonLat>& pts, const Edge& first, const Edge& last,
                  Pieces& out, std::size_t first_at, std::size_t last_at) {
  if (o.plan().rhumb) {
    // Round the back of the start from the right offset to the left one,
    // and round the front of the end from the left to the right.
    const auto ahead = [](double from, double to) { return std::fmod(to - from + 720.0, 360.0); };
    if (first.reached)
      add_rhumb_wedge(o, pts.front(), first.right.front(), first.right1, ahead(first.right1, first.left1),
                      first.left.front(), out, first_at);
    if (last.reached)
      add_rhumb_wedge(o, pts.back(), last.left.back(), last.left2, ahead(last.left2, last.right2),
                      last.right.back(), out, last_at);
    return;
  }
  const Azimuthal& az = o.plane();
  std::vector<XY> cap{az.forward(pts.front()), first.right.front()};
  o.arc(pts.front(), first.azi1 + 90, 180, cap);
  cap.push_back(first.left.front());
  out.add(polygon(cap), first_at);
  std::vector<XY> end{az.forward(pts.back()), last.left.back()};
  o.arc(pts.back(), last.azi2 - 90, 180, end);
  end.push_back(last.right.back());
  out.add(polygon(end), last_at);
}

// The pieces along one path, or along a ring when `closed`: wedges at its
// joints, a body along every edge, and caps at the ends of a path.  Their
// places along the path start at `at`; returns the place after the last.
std::size_t add_path_pieces(const Offsets& o, const Ellipsoid& e, const std::vector<LonLat>& pts, bool closed,
                            Pieces& out, std::size_t at) {
  const std::size_t n = pts.size();
  const std::size_t count = closed ? n : n - 1;
  // Places: the first cap, then body i at 2i + 1 and the joint after it at
  // 2i + 2; the joint closing a ring sits last, beside the first body.
  const auto body_at = [&](std::size_t i) { return at + 2 * i + 1; };
  std::vector<Edge> edges;
  edges.reserve(count);
  for (std::size_t i = 0; i < count; ++i)
    edges.push_back(o.plan().rhumb ? rhumb_edge_offsets(o, e, pts[i], pts[(i + 1) % n])
                                   : edge_offsets(o, e, pts[i], pts[(i + 1) % n]));
  for (std::size_t i = 0; i + 1 < count; ++i)
    add_joint(o, pts[i + 1], edges[i], edges[i + 1], out, body_at(i) + 1);
  if (closed && count > 1) add_joint(o, pts[0], edges[count - 1], edges[0], out, body_at(count));
  // Edges whose offsets are not reached are covered by circles, along each
  // run of them that keeps one heading (one loxodrome) at once.
  std::size_t run = count;
  for (std::size_t i = 0; i < count; ++i) {
    if (edges[i].reached) {
      out.add(edge_body(o.plane(), edges[i], pts[i], pts[(i + 1) % n]), body_at(i));
      continue;
    }
    if (run == count) run = i;
    const bool run_goes_on = i + 1 < count && !edges[i + 1].reached &&
                             std::fabs(std::remainder(edges[i + 1].azi1 - edges[i].azi2, 360.0)) < kStraightJoint;
    if (run_goes_on) continue;
    add_edge_circles(o, pts[run], pts[(i + 1) % n], out, body_at(i));
    run = count;
  }
  if (!closed) add_end_caps(o, pts, edges.front(), edges.back(), out, at, body_at(count));
  return body_at(count) + 1;
}

// The buffer pieces in the azimuthal plane: circles around lone points; for
// paths and rings, a body along every edge (between its two offset curves),
// a wedge at every vertex where the direction turns (the arc between the
// offsets of the edges meeting there) and a half circle at each end of a
// path.  Neighbouring pieces share their offset points exactly, so that
// their union closes without cracks.
Pieces pieces(const Shapes& s, const Ellipsoid& e, const Azimuthal& az, const Plan& plan) {
  const Offsets o(e, az, plan);
  Pieces out;
  std::size_t at = 0;
  for (const auto& p : s.points) out.add(polygon(o.circle(p)), at++);
  for (const auto& path : s.paths)
    if (path.size() >= 2) at = add_path_pieces(o, e, path, false, out, at);
  for (const auto& ring : s.outlines)
    if (ring.size() >= 2) at = add_path_pieces(o, e, ring, true, out, at);
  return out;
}

// Pairs of pieces whose boxes overlap, counted up to `cap` (and a little
// past it).
long overlapping_pairs(const std::vector<GeomPtr>& shapes, long cap) {
  std::vector<planar::Box> boxes(shapes.size());
  for (std::size_t i = 0; i < shapes.size(); ++i) {
    planar::Box& b = boxes[i];
    if (!shapes[i] || GEOSisEmpty_r(C(), shapes[i].get()) != 0 ||
        !GEOSGeom_getExtent_r(C(), shapes[i].get(), &b.xmin, &b.ymin, &b.xmax, &b.ymax))
      b = planar::Box{kNaN, kNaN, kNaN, kNaN};
  }
  const planar::BoxIndex index(boxes);
  long pairs = 0;
  for (std::size_t i = 0; i < boxes.size() && pairs <= cap; ++i)
    index.query(boxes[i], [&](std::size_t j) { pairs += j > i; });
  return pairs;
}

// Whether a polygon or ring of this area and perimeter is a sliver: no
// larger than `min_area`, or thinner on average than `min_width` (twice
// the area over the perimeter).
bool sliver(double area, double perimeter, double min_area, double min_width) {
  return !(area > min_area) || 2 * area < min_width * perimeter;
}

// The area in square meters up to which a polygon or hole of a buffer
// with this deviation is a sliver.
double sliver_area(double deviation) { return kSliverArea * deviation * deviation; }

// Area and perimeter of the region a ring bounds.
void ring_measures(const GEOSGeometry* ring, double& area, double& perimeter) {
  const GeomPtr region =
      geos::take(GEOSGeom_createPolygon_r(C(), GEOSGeom_clone_r(C(), ring), nullptr, 0), "a hole");
  area = perimeter = 0;
  GEOSArea_r(C(), region.get(), &area);
  GEOSLength_r(C(), ring, &perimeter);
}

// `g` without the holes narrower than `width` on average (twice their area
// over their perimeter).
GeomPtr without_thin_holes(GeomPtr g, double width) {
  bool dropped = false;
  std::vector<GeomPtr> polys;
  for (const GEOSGeometry* poly : geos::components(g.get())) {
    if (GEOSGeomTypeId_r(C(), poly) != GEOS_POLYGON) return g;
    std::vector<GEOSGeometry*> holes;
    const int n = GEOSGetNumInteriorRings_r(C(), poly);
    for (int k = 0; k < n; ++k) {
      const GEOSGeometry* ring = GEOSGetInteriorRingN_r(C(), poly, k);
      double area = 0, perimeter = 0;
      ring_measures(ring, area, perimeter);
      if (2 * area < width * perimeter) {
        dropped = true;
        continue;
      }
      holes.push_back(GEOSGeom_clone_r(C(), ring));
    }
    GEOSGeometry* shell = GEOSGeom_clone_r(C(), GEOSGetExteriorRing_r(C(), poly));
    const auto count = static_cast<unsigned>(holes.size());
    polys.push_back(geos::take(GEOSGeom_createPolygon_r(C(), shell, holes.data(), count), "a polygon"));
  }
  if (!dropped) return g;
  return unite(std::move(polys));
}

// The union of the pieces in their order along the paths: runs of pieces
// next to one another are united first, which leaves only their outlines
// to meet, and then runs of those.
GeomPtr unite_along_paths(Pieces p, double deviation) {
  std::vector<std::size_t> by_place(p.shapes.size());
  for (std::size_t i = 0; i < by_place.size(); ++i) by_place[i] = i;
  std::stable_sort(by_place.begin(), by_place.end(),
                   [&](std::size_t a, std::size_t b) { return p.place[a] < p.place[b]; });
  std::vector<GeomPtr> in_order;
  in_order.reserve(by_place.size());
  for (std::size_t i : by_place) in_order.push_back(std::move(p.shapes[i]));
  // Runs meet along chords that each has noded on its own, rounding the
  // nodes apart: cracks far thinner than the deviation open between them.
  return without_thin_holes(planar::unite_in_order(std::move(in_order)), deviation / 4);
}

// Whether a union of pieces came out cracked beyond what dropping its
// slivers mends: with a hole or polygon thinner than the deviation could
// show (no piece is that thin), or with polygons that meet or all but
// meet.  Pieces whose chords lie nearly on one another (a path drawn back
// over itself) are noded apart where those chords cross, and the thin
// wedges between them can be rounded away, cutting the buffer across.
bool cracked(const GeomPtr& g, double deviation) {
  const auto thin = [&](const GEOSGeometry* ring, bool& dropped) {
    double area = 0, perimeter = 0;
    ring_measures(ring, area, perimeter);
    dropped = sliver(area, perimeter, sliver_area(deviation), kSliverWidth);
    return !dropped && sliver(area, perimeter, 0, deviation / 4);
  };
  const std::vector<const GEOSGeometry*> polys = geos::components(g.get());
  std::vector<planar::Box> boxes(polys.size(), planar::Box{kNaN, kNaN, kNaN, kNaN});
  for (std::size_t i = 0; i < polys.size(); ++i) {
    const GEOSGeometry* poly = polys[i];
    bool dropped = false;
    if (GEOSGeomTypeId_r(C(), poly) != GEOS_POLYGON || GEOSisEmpty_r(C(), poly) != 0) continue;
    if (thin(GEOSGetExteriorRing_r(C(), poly), dropped)) return true;
    if (dropped) continue;
    for (int k = 0, n = GEOSGetNumInteriorRings_r(C(), poly); k < n; ++k)
      if (thin(GEOSGetInteriorRingN_r(C(), poly, k), dropped)) return true;
    planar::Box b;
    if (!GEOSGeom_getExtent_r(C(), poly, &b.xmin, &b.ymin, &b.xmax, &b.ymax)) continue;
    boxes[i] = planar::Box{b.xmin - kRoundingFloor, b.ymin - kRoundingFloor, b.xmax + kRoundingFloor,
                           b.ymax + kRoundingFloor};
  }
  if (polys.size() < 2) return false;
  const planar::BoxIndex index(boxes);
  bool meet = false;
  for (std::size_t i = 0; i < polys.size() && !meet; ++i)
    index.query(boxes[i], [&](std::size_t j) {
      double d = 0;
      if (j > i && !meet && GEOSDistanceIndexed_r(C(), polys[i], polys[j], &d) && d < kRoundingFloor)
        meet = true;
    });
  return meet;
}

// The union of the pieces.  Where few of them overlap, all at once; where
// many overlap one another (an outline far smaller than the distance, or
// one drawn back and forth over itself), a union of all at once would node
// every crossing of every pair, although the result keeps hardly any, and
// the pieces are united along the paths instead.  They are so too when a
// union of all at once comes out cracked.
GeomPtr unite_pieces(Pieces p, double deviation) {
  if (overlapping_pairs(p.shapes, kDirectUnionPairs) > kDirectUnionPairs)
    return unite_along_paths(std::move(p), deviation);
  std::vector<GeomPtr> kept;
  std::vector<std::size_t> place;
  for (std::size_t i = 0; i < p.shapes.size(); ++i)
    if (p.shapes[i] && GEOSisEmpty_r(C(), p.shapes[i].get()) == 0) {
      kept.push_back(std::move(p.shapes[i]));
      place.push_back(p.place[i]);
    }
  if (kept.size() < 2) return unite(std::move(kept));
  // The pieces stay in one collection, to be taken again if need be.
  const GeomPtr all = geos::collect(GEOS_GEOMETRYCOLLECTION, std::move(kept));
  GeomPtr united = geos::take(GEOSUnaryUnion_r(C(), all.get()), "union");
  if (!cracked(united, deviation)) return united;
  Pieces again;
  for (std::size_t k = 0; k < place.size(); ++k)
    again.add(geos::take(GEOSGeom_clone_r(C(), GEOSGetGeometryN_r(C(), all.get(), static_cast<int>(k))),
                         "copying a buffer piece"),
              place[k]);
  return unite_along_paths(std::move(again), deviation);
}

// The polygon interiors of the input in the azimuthal plane.
GeomPtr areas(const Shapes& s, const Azimuthal& az) {
  std::vector<Part> rings;
  for (const auto& ring : s.rings) {
    Part p;
    for (const auto& q : ring) {
      const XY xy = az.forward(q);
      p.vertices.push_back(Vertex{xy.first, xy.second, kNaN, kNaN});
    }
    rings.push_back(std::move(p));
  }
  std::vector<GeomPtr> polys;
  for (const auto& group : planar::nest_rings(rings)) {
    std::vector<XY> shell;
    for (const Vertex& v : rings[group[0]].vertices) shell.emplace_back(v.x, v.y);
    GeomPtr poly = polygon(shell);
    for (std::size_t k = 1; k < group.size(); ++k) {
      std::vector<XY> hole;
      for (const Vertex& v : rings[group[k]].vertices) hole.emplace_back(v.x, v.y);
      if (GeomPtr h = polygon(hole)) poly = difference(poly, h);
    }
    polys.push_back(std::move(poly));
  }
  return unite(std::move(polys));
}

// A ring of the azimuthal plane with points added wherever an edge strays
// more than `tolerance` meters from the chord of the azimuthal plane it
// stands for, whether the edge is read as a straight line of the output's
// own plane (`plane_mid` gives the ground point halfway along it) or as a
// geodesic: either reading then stays within the deviation.
std::vector<XY> refine(const std::vector<XY>& ring, const Azimuthal& az, const Ellipsoid& e, double tolerance,
                       const std::function<LonLat(const LonLat&, const LonLat&)>& plane_mid) {
  if (ring.size() < 2) return ring;
  tolerance = std::max(tolerance, kRoundingFloor);
  std::vector<XY> out;
  out.reserve(ring.size());
  std::function<void(const XY&, const LonLat&, const XY&, const LonLat&, int)> split =
      [&](const XY& a, const LonLat& la, const XY& b, const LonLat& lb, int depth) {
        const XY m{(a.first + b.first) / 2, (a.second + b.second) / 2};
        const LonLat lm = az.reverse(m.first, m.second);
        // Chords shorter than the tolerance need no check: nothing on them
        // can stray that far.
        const double chord = std::hypot(b.first - a.first, b.second - a.second);
        if (depth < 20 && chord > tolerance &&
            (e.distance(plane_mid(la, lb), lm) > tolerance ||
             e.distance(geodesic_mid(e, la, lb), lm) > tolerance)) {
          split(a, la, m, lm, depth + 1);
          out.push_back(m);
          split(m, lm, b, lb, depth + 1);
        }
      };
  LonLat prev = az.reverse(ring[0].first, ring[0].second);
  out.push_back(ring[0]);
  for (std::size_t i = 1; i < ring.size(); ++i) {
    const LonLat cur = az.reverse(ring[i].first, ring[i].second);
    split(ring[i - 1], prev, ring[i], cur, 0);
    out.push_back(ring[i]);
    prev = cur;
  }
  return out;
}

LonLat lonlat_mid(const LonLat& a, const LonLat& b) {
  const double dlon = std::remainder(b.lon - a.lon, 360.0);
  return {a.lon + dlon / 2, (a.lat + b.lat) / 2};
}

// The part of the sphere inside one ring of the azimuthal plane, as a
// region of the longitude/latitude rectangle [-180, 180] x [-90, 90].
GeomPtr lonlat_region(const std::vector<XY>& raw, const Azimuthal& az, const Ellipsoid& e, double tolerance,
                      const XY& north, const XY& south) {
  const std::vector<XY> ring = refine(raw, az, e, tolerance, lonlat_mid);
  const bool has_north = inside(ring, north.first, north.second);
  const bool has_south = inside(ring, south.first, south.second);
  std::vector<XY> ll;
  ll.reserve(ring.size() + 2);
  for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
    const LonLat p = az.reverse(ring[i].first, ring[i].second);
    double lon = p.lon;
    if (!ll.empty()) lon = ll.back().first + std::remainder(lon - ll.back().first, 360.0);
    ll.emplace_back(lon, p.lat);
  }
  if (ll.size() < 3) return nullptr;
  // Closing the ring, the longitude has turned by 0 or a whole turn.
  const double last = ll.back().first + std::remainder(ll.front().first - ll.back().first, 360.0);
  const double turn = std::round((last - ll.front().first) / 360.0) * 360.0;
  std::vector<XY> shape = ll;
  const bool around_pole = turn != 0;
  if (around_pole) {
    // The copies shifted by whole turns below must meet exactly along the
    // meridian that closes the ring over the pole, or their union keeps a
    // hairline seam there.  A longitude on a grid of 2^-40 degrees (1e-7 m)
    // survives shifts by multiples of 360 unchanged.
    shape.front().first = std::ldexp(std::round(std::ldexp(shape.front().first, 40)), -40);
    // A ring that winds around a pole bounds the cap on the pole's side:
    // close it over the pole.
    const double pole = has_north ? 90.0 : has_south ? -90.0 : (ll.front().second >= 0 ? 90.0 : -90.0);
    const double seam = shape.front().first;
    shape.emplace_back(seam + turn, ll.front().second);
    shape.emplace_back(seam + turn, pole);
    shape.emplace_back(seam, pole);
  }
  const GeomPtr base = polygon(shape);
  if (!base) return nullptr;
  const GeomPtr world = box(-180, -90, 180, 90);
  double west = shape.front().first, east = west;
  for (const auto& q : shape) {
    west = std::min(west, q.first);
    east = std::max(east, q.first);
  }
  std::vector<GeomPtr> copies;
  for (int k = -2; k <= 2; ++k) {
    // Only copies that reach into [-180, 180] take part; one that lies
    // inside it whole needs no cut.
    if (east + 360.0 * k <= -180 || west + 360.0 * k >= 180) continue;
    if (k == 0 && west >= -180 && east <= 180) {
      copies.push_back(geos::take(GEOSGeom_clone_r(C(), base.get()), "copying a region"));
      continue;
    }
    GeomPtr moved = geos::take(GEOSGeom_clone_r(C(), base.get()), "copying a region");
    if (k != 0) {
      // Shift by whole turns: rebuild from shifted coordinates.
      std::vector<XY> shifted = shape;
      for (auto& q : shifted) q.first += 360.0 * k;
      moved = polygon(shifted);
    }
    copies.push_back(
        geos::take(GEOSIntersection_r(C(), moved.get(), world.get()), "cutting at the antimeridian"));
  }
  GeomPtr region = unite(std::move(copies));
  // A ring holding both poles, without winding around either, bounds the
  // part of the sphere outside its longitude/latitude image.
  if (!around_pole && has_north && has_south) region = difference(world, region);
  return region;
}

// A result without its slivers: polygons and holes of no more than
// `min_area`, or thinner on average than `min_width` (twice the area over
// the perimeter), both in the result's units.  Without a hole or a whole
// polygon, a valid result stays valid.
GeomPtr without_slivers(GeomPtr g, double min_area, double min_width) {
  std::vector<GeomPtr> keep;
  bool dropped = false;
  for (const GEOSGeometry* poly : geos::components(g.get())) {
    double area = 0, perimeter = 0;
    if (GEOSGeomTypeId_r(C(), poly) != GEOS_POLYGON || !GEOSArea_r(C(), poly, &area) ||
        !GEOSLength_r(C(), poly, &perimeter) || sliver(area, perimeter, min_area, min_width)) {
      dropped = true;
      continue;
    }
    std::vector<GeomPtr> holes;
    const int n = GEOSGetNumInteriorRings_r(C(), poly);
    for (int k = 0; k < n; ++k) {
      const GEOSGeometry* ring = GEOSGetInteriorRingN_r(C(), poly, k);
      ring_measures(ring, area, perimeter);
      if (!sliver(area, perimeter, min_area, min_width))
        holes.push_back(geos::take(GEOSGeom_clone_r(C(), ring), "copying a hole"));
    }
    if (holes.size() == static_cast<std::size_t>(n)) {
      keep.push_back(geos::take(GEOSGeom_clone_r(C(), poly), "copying a polygon"));
      continue;
    }
    dropped = true;
    GeomPtr shell = geos::take(GEOSGeom_clone_r(C(), GEOSGetExteriorRing_r(C(), poly)), "copying a shell");
    std::vector<GEOSGeometry*> rings;
    for (GeomPtr& h : holes) rings.push_back(h.release());
    keep.push_back(geos::take(GEOSGeom_createPolygon_r(C(), shell.release(), rings.data(),
                                                       static_cast<unsigned>(rings.size())),
                              "a polygon"));
  }
  if (!dropped) return g;
  if (keep.empty()) return geos::take(GEOSGeom_createEmptyPolygon_r(C()), "an empty polygon");
  return geos::collect(GEOS_MULTIPOLYGON, std::move(keep));
}

GeomPtr to_lonlat_world(const GeomPtr& plane, const Azimuthal& az, const Ellipsoid& e, double tolerance) {
  const XY north = az.forward({0, 90});
  const XY south = az.forward({0, -90});
  std::vector<GeomPtr> polys;
  for (const GEOSGeometry* poly : geos::components(plane.get())) {
    if (GEOSGeomTypeId_r(C(), poly) != GEOS_POLYGON || GEOSisEmpty_r(C(), poly)) continue;
    GeomPtr region = lonlat_region(coords(GEOSGetExteriorRing_r(C(), poly)), az, e, tolerance, north, south);
    if (!region) continue;
    std::vector<GeomPtr> holes;
    const int n = GEOSGetNumInteriorRings_r(C(), poly);
    for (int k = 0; k < n; ++k) {
      const std::vector<XY> ring = coords(GEOSGetInteriorRingN_r(C(), poly, k));
      GeomPtr hole = lonlat_region(ring, az, e, tolerance, north, south);
      if (hole) holes.push_back(std::move(hole));
    }
    // One difference for each hole redraws the whole region every time;
    // the holes are disjoint, so many go at once.
    if (holes.size() > kHolesOneByOne) {
      region = difference(region, unite(std::move(holes)));
    } else {
      for (const GeomPtr& hole : holes) region = difference(region, hole);
    }
    polys.push_back(std::move(region));
  }
  return unite(std::move(polys));
}

GeometryPtr empty_polygon(const SpatialReferencePtr& sr) {
  return planar::empty_geometry(GeometryKind::Polygon, false, false, sr);
}

// Polygon rings in the reference's plane from rings of the azimuthal plane.
GeometryPtr to_plane(const GeomPtr& plane, const Azimuthal& az, const Frame& frame, double tolerance) {
  const auto plane_mid = [&](const LonLat& a, const LonLat& b) {
    const auto xy = frame.from_lonlat({a, b});
    return frame
        .to_lonlat(std::vector<std::pair<double, double>>{
            {(xy[0].first + xy[1].first) / 2, (xy[0].second + xy[1].second) / 2}})
        .front();
  };
  std::vector<Part> rings;
  for (const GEOSGeometry* poly : geos::components(plane.get())) {
    if (GEOSGeomTypeId_r(C(), poly) != GEOS_POLYGON || GEOSisEmpty_r(C(), poly)) continue;
    const int holes = GEOSGetNumInteriorRings_r(C(), poly);
    for (int k = -1; k < holes; ++k) {
      const GEOSGeometry* r = k < 0 ? GEOSGetExteriorRing_r(C(), poly) : GEOSGetInteriorRingN_r(C(), poly, k);
      std::vector<XY> xy = refine(coords(r), az, frame.ellipsoid(), tolerance, plane_mid);
      if (xy.size() > 1) xy.pop_back();
      std::vector<LonLat> ll;
      for (const auto& [x, y] : xy) ll.push_back(az.reverse(x, y));
      Part p;
      for (const auto& [x, y] : frame.from_lonlat(ll)) p.vertices.push_back(Vertex{x, y, kNaN, kNaN});
      rings.push_back(std::move(p));
    }
  }
  planar::orient_rings(rings);
  auto g = std::make_shared<Geometry>();
  g->kind = GeometryKind::Polygon;
  g->spatial_reference = frame.spatial_reference();
  g->parts = std::move(rings);
  return g;
}

}  // namespace

namespace {

double half_meridian(const Ellipsoid& e) { return kPi * e.semi_major() * (1 - e.flattening() / 2); }

double reach_from(const Shapes& shapes, const Ellipsoid& e, const LonLat& center) {
  double reach = 0;
  auto farther = [&](const LonLat& p) { reach = std::max(reach, e.distance(center, p)); };
  for (const auto& p : shapes.points) farther(p);
  for (const auto& path : shapes.paths)
    for (const auto& p : path) farther(p);
  for (const auto& ring : shapes.rings)
    for (const auto& p : ring) farther(p);
  return reach;
}

// Whether the shapes fit one azimuthal plane: it holds everything short of
// the center's antipode, and offset curves fold beyond a quarter of the globe.
bool fits_one_plane(const Shapes& shapes, const Ellipsoid& e, const Plan& plan, const LonLat& center) {
  return reach_from(shapes, e, center) + plan.distance <= 0.97 * half_meridian(e);
}

// The buffer of shapes that fit one azimuthal plane, in the reference's
// coordinates.
GeometryPtr buffer_in_one_plane(const Shapes& shapes, const Frame& frame, const Plan& plan) {
  const Ellipsoid& e = frame.ellipsoid();
  const SpatialReferencePtr& sr = frame.spatial_reference();
  const Azimuthal az(e, center_of(shapes));
  GeomPtr result = unite_pieces(pieces(shapes, e, az, plan), plan.deviation);
  if (shapes.area) {
    GeomPtr interior = areas(shapes, az);
    result = plan.negative ? difference(interior, result) : unite([&] {
      std::vector<GeomPtr> v;
      v.push_back(std::move(interior));
      v.push_back(std::move(result));
      return v;
    }());
  }
  result = without_slivers(std::move(result), sliver_area(plan.deviation), kSliverWidth);
  if (GEOSisEmpty_r(C(), result.get())) return empty_polygon(sr);
  // The pieces are sampled more densely than the deviation needs along
  // gently bent stretches, and the union can leave hairline notches where
  // pieces meet at a slant; simplifying within a quarter of the deviation
  // drops both.
  result =
      geos::take(GEOSTopologyPreserveSimplify_r(C(), result.get(), plan.deviation / 4), "smoothing a buffer");
  // Where a straight edge of the output's plane would stray from the chord
  // it stands for, points are added as the rings are carried over (refine).
  if (!sr->geographic) return to_plane(result, az, frame, plan.deviation / 4);

  const double dev_deg = plan.deviation / kMetersPerDegree;
  const GeomPtr world = without_slivers(to_lonlat_world(result, az, e, plan.deviation / 4),
                                        kSliverArea * dev_deg * dev_deg, kSliverWidth / kMetersPerDegree);
  planar::ResultSpec spec;
  spec.kind = GeometryKind::Polygon;
  spec.spatial_reference = sr;
  GeometryPtr deg = planar::from_geos(world.get(), spec);
  if (frame.from_lonlat({{1, 1}}).front().first == 1) return deg;
  auto scaled = std::make_shared<Geometry>(*deg);
  for (Part& p : scaled->parts) {
    std::vector<LonLat> ll;
    for (const Vertex& v : p.vertices) ll.push_back({v.x, v.y});
    const auto xy = frame.from_lonlat(ll);
    for (std::size_t i = 0; i < xy.size(); ++i) p.vertices.set_xy(i, xy[i].first, xy[i].second);
  }
  return scaled;
}

// Units of the reference's plane in a meter of ground at `at` (along the
// meridian).
double units_per_meter(const Frame& frame, const LonLat& at) {
  const LonLat near{at.lon, at.lat > 0 ? at.lat - 1e-3 : at.lat + 1e-3};
  const auto xy = frame.from_lonlat({at, near});
  return std::hypot(xy[1].first - xy[0].first, xy[1].second - xy[0].second) /
         frame.ellipsoid().distance(at, near);
}

// Shapes too wide for one plane: lone points one by one, and paths and ring
// boundaries in stretches of at most 5000 km, each buffered in its own plane
// and united in the reference's plane (where geographic results are already
// cut at the antimeridian).  Areas join as the input polygon itself, taken
// as it stands in the reference's plane.
GeometryPtr buffer_in_pieces(const Shapes& shapes, const Frame& frame, const Plan& plan) {
  const Ellipsoid& e = frame.ellipsoid();
  const SpatialReferencePtr& sr = frame.spatial_reference();
  if (!shapes.paths.empty() || !shapes.rings.empty())
    if (plan.distance > 0.45 * half_meridian(e))
      fail(kGeometryEngine, "The geodetic buffer reaches too far around the globe.",
           "Offsets of lines beyond a quarter of the globe fold over themselves.");
  std::vector<Shapes> parts;
  for (const LonLat& p : shapes.points) {
    Shapes one;
    one.points.push_back(p);
    parts.push_back(std::move(one));
  }
  auto stretches = [&](const std::vector<LonLat>& pts, bool closed) {
    std::vector<LonLat> run{pts.front()};
    double run_length = 0;
    const std::size_t n = pts.size();
    const std::size_t edges = closed ? n : n - 1;
    for (std::size_t i = 0; i < edges; ++i) {
      const LonLat& next = pts[(i + 1) % n];
      const double len = e.distance(run.back(), next);
      if (run.size() > 1 && run_length + len > 5.0e6) {
        Shapes one;
        one.paths.push_back(run);
        parts.push_back(std::move(one));
        run = {run.back()};
        run_length = 0;
      }
      run.push_back(next);
      run_length += len;
    }
    if (run.size() > 1) {
      Shapes one;
      one.paths.push_back(std::move(run));
      parts.push_back(std::move(one));
    }
  };
  for (const auto& path : shapes.paths) stretches(path, false);
  for (const auto& ring : shapes.outlines) stretches(ring, true);

  std::vector<GeomPtr> buffers;
  for (const Shapes& part : parts) {
    if (!fits_one_plane(part, e, plan, center_of(part)))
      fail(kGeometryEngine, "The geodetic buffer reaches too far around the globe.",
           "The buffer distance spans more than the geodetic buffer supports.");
    buffers.push_back(planar::to_geos(*buffer_in_one_plane(part, frame, plan)));
  }
  GeomPtr result = unite(std::move(buffers));
  if (shapes.area) {
    // The input's rings, their edges followed as the curve type has them.
    Geometry area;
    area.kind = GeometryKind::Polygon;
    area.spatial_reference = sr;
    for (const auto& ring : shapes.rings) {
      Part p;
      for (const auto& [x, y] : frame.from_lonlat(ring)) p.vertices.push_back(Vertex{x, y, kNaN, kNaN});
      area.parts.push_back(std::move(p));
    }
    GeomPtr interior = planar::to_geos(area);
    if (plan.negative) {
      result = difference(interior, result);
    } else {
      std::vector<GeomPtr> v;
      v.push_back(std::move(interior));
      v.push_back(std::move(result));
      result = unite(std::move(v));
    }
  }
  // Buffers of neighbouring stretches meet along chords computed apart.
  const double scale = units_per_meter(frame, center_of(shapes));
  if (scale > 0 && std::isfinite(scale))
    result = without_slivers(std::move(result), kSliverArea * plan.deviation * plan.deviation * scale * scale,
                             kSliverWidth * scale);
  planar::ResultSpec spec;
  spec.kind = GeometryKind::Polygon;
  spec.spatial_reference = sr;
  return planar::from_geos(result.get(), spec);
}

}  // namespace

GeometryPtr buffer_geodetic(const Geometry& g, CurveType type, double distance, double max_deviation) {
  if (!std::isfinite(distance)) fail(kInvalidArgument, "The buffer distance must be a number.");
  const SpatialReferencePtr& sr = g.spatial_reference;
  if (g.is_empty()) return empty_polygon(sr);
  const Frame frame(sr);
  const Ellipsoid& e = frame.ellipsoid();
  limits::check_geodetic_range(g, frame.geographic());
  const bool is_area = g.kind == GeometryKind::Polygon || g.kind == GeometryKind::Envelope;
  // A buffer thinner than the computations' own rounding has no width they
  // could draw: its outline would be rounding noise, chased for as long as
  // the deviation allows.  It is the area itself, or nothing.
  if (std::fabs(distance) < kRoundingFloor) distance = 0;
  if (distance == 0 || (distance < 0 && !is_area)) {
    if (distance == 0 && is_area) {
      auto out = std::make_shared<Geometry>();
      out->kind = GeometryKind::Polygon;
      out->spatial_reference = sr;
      for (const FlatPart& part : flat_parts(g)) {
        Part p;
        for (const Vertex& v : part.vertices) p.vertices.push_back(Vertex{v.x, v.y, kNaN, kNaN});
        out->parts.push_back(std::move(p));
      }
      return out;
    }
    return empty_polygon(sr);
  }
  Plan plan = plan_for(distance, max_deviation, e.semi_major());
  plan.rhumb = type == CurveType::Loxodrome;
  // Edges of another curve type are followed by geodesic pieces short
  // enough to stay within the deviation of the curve.  Geodesic edges need
  // pieces only so short that, drawn straight in the azimuthal plane, they
  // stay well inside the bodies around them (sagging by at most half the
  // distance), which is all the polygon interiors ask.
  const double follow_step =
      type == CurveType::Geodesic
          ? std::clamp(std::sqrt(4 * plan.distance * e.semi_major()), plan.step, 1000000.0)
          : plan.step;
  const Shapes shapes = shapes_of(g, frame, type, follow_step, plan.deviation);
  const bool has_edges = !shapes.paths.empty() || !shapes.rings.empty();
  const LonLat center = center_of(shapes);
  if (fits_one_plane(shapes, e, plan, center) && !(has_edges && plan.distance > 0.45 * half_meridian(e)))
    return buffer_in_one_plane(shapes, frame, plan);
  // A point whose buffer covers the globe.
  const auto antipode_distance = [&](const LonLat& p) {
    return e.distance(p, {std::remainder(p.lon + 180, 360.0), -p.lat});
  };
  if (!has_edges && shapes.points.size() == 1 && !plan.negative && sr->geographic &&
      plan.distance >= antipode_distance(shapes.points.front())) {
    auto out = std::make_shared<Geometry>();
    out->kind = GeometryKind::Polygon;
    out->spatial_reference = sr;
    Part ring;
    for (const auto& [x, y] : frame.from_lonlat({{-180, -90}, {-180, 90}, {180, 90}, {180, -90}}))
      ring.vertices.push_back(Vertex{x, y, kNaN, kNaN});
    out->parts.push_back(std::move(ring));
    return out;
  }
  return buffer_in_pieces(shapes, frame, plan);
}

GeometryPtr unite_buffers(const std::vector<GeometryPtr>& buffers) {
  // Buffers in a geographic reference are already cut at the antimeridian, so
  // their union in the reference's plane is sound.  Each buffer is a region
  // on the ground: one made in another reference joins the first's after
  // projection.
  const SpatialReferencePtr& sr = buffers.front()->spatial_reference;
  std::vector<geos::GeomPtr> parts;
  for (const GeometryPtr& b : buffers)
    parts.push_back(planar::to_geos(same_spatial_reference(b->spatial_reference, sr)
                                        ? *b
                                        : *projection::project_geometry(*b, sr)));
  geos::GeomPtr all = geos::collect(GEOS_GEOMETRYCOLLECTION, std::move(parts));
  geos::GeomPtr merged = geos::take(GEOSUnaryUnion_r(geos::ctx(), all.get()), "uniting buffers");
  planar::ResultSpec spec;
  spec.kind = GeometryKind::Polygon;
  spec.spatial_reference = sr;
  return planar::from_geos(merged.get(), spec);
}

}  // namespace vaskelith::geodetic
