// The plan of one geodetic buffer, and its input followed in longitude and
// latitude: edges of every curve type as geodesic pieces close to them.
#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/geodetic_buffer_parts.hpp"
#include "engine/geodetic_shapes.hpp"
#include "engine/input_limits.hpp"

namespace vaskelith::geodetic::buffering {

namespace {

// The deviation when none usable is given, and the range it is held to, as
// fractions of the buffer distance: finer costs points without showing,
// coarser than half the distance is no longer a buffer.
constexpr double kDefaultDeviation = 1e-3;
constexpr double kFinestDeviation = 1e-6;
constexpr double kCoarsestDeviation = 0.5;

// The length of a sum of unit vectors below which the points have no mean
// direction (they are spread round the globe).
constexpr double kNoMeanDirection = 1e-9;

// The longest step between samples: chords of offset curves this long in
// the azimuthal plane sag by no more than the coarsest deviation shows.
constexpr double kLongestStep = 500000.0;

// Pieces one edge may be followed in: past that the deviation is far too
// fine for the edge.  One edge whose pieces would still stray by far more
// than allowed at the current count is given up on once that many pieces
// could not bring it within (strays fall with the square of the piece
// length): kHopelessPieces.
constexpr double kMaxPieces = 1e6;
constexpr double kHopelessPieces = 4e6;
// Plane points an edge straight in the plane may be sampled at (each piece
// samples it sixteen times over, and projects each sample).
constexpr double kMaxPlaneSamples = 4e6;

}  // namespace

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
  p.step = std::clamp(std::sqrt(2 * dev * radius), 1.0, kLongestStep);
  return p;
}

namespace {

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

}  // namespace

LonLat geodesic_mid(const Ellipsoid& e, const LonLat& a, const LonLat& b) {
  const GeographicLib::GeodesicLine line = e.geodesic().InverseLine(a.lat, a.lon, b.lat, b.lon);
  double lat, lon;
  line.Position(line.Distance() / 2, lat, lon);
  return {lon, lat};
}

namespace {

struct Followed {
  std::vector<LonLat> pts;
  std::vector<char> seam;  // per point: the edge leaving it is a seam
};

bool e_short(const Ellipsoid& e, const LonLat& a, const LonLat& b, double step) {
  return e.distance(a, b) < step / 2;
}

// How far p lies from the geodesic from a to b, for points a step or so
// apart: the height of the triangle with these sides, which the ellipsoid
// bends by a part in (side / radius) squared.
double off_geodesic(const Ellipsoid& e, const LonLat& a, const LonLat& b, const LonLat& p) {
  const double base = e.distance(a, b), sa = e.distance(a, p), sb = e.distance(p, b);
  if (!(base > 0)) return std::max(sa, sb);
  const double along = (base * base + sa * sa - sb * sb) / (2 * base);
  // Beyond an end, the end is the nearest point.
  if (along < 0) return sa;
  if (along > base) return sb;
  return std::sqrt(std::max(0.0, sa * sa - along * along));
}

Followed follow(const Frame& frame, CurveType type, const std::vector<Vertex>& verts, bool closed,
                double step, double deviation, PointBudget& budget) {
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
    // An edge shorter than a step needs no points of its own where it
    // stays within a quarter of the deviation of the geodesic over it, as
    // plane sections always do.  Loxodromes and straight lines of the plane
    // need not: near a pole one a step long can wind round it, and a
    // straight line may go a long way round between near (or equal) end
    // points.  Their middles tell.
    if (e_short(frame.ellipsoid(), ll[i], ll[j], step)) {
      if (type != CurveType::ShapePreserving && type != CurveType::Loxodrome) continue;
      const LonLat mid =
          type == CurveType::ShapePreserving
              ? frame.plane().to_lonlat((xy[i].first + xy[j].first) / 2, (xy[i].second + xy[j].second) / 2)
              : Segment(frame.ellipsoid(), type, ll[i], ll[j]).divide(2)[1];
      if (off_geodesic(frame.ellipsoid(), ll[i], ll[j], mid) <= std::max(deviation / 4, kRoundingFloor))
        continue;
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
      if (k > kMaxPieces) fail(kInvalidArgument, kDeviationTooSmall);
      // Every edge stays under the caps below, the whole geometry under one
      // budget of points computed (sampling in the plane computes eight
      // more for each).
      budget.spend((type == CurveType::ShapePreserving ? 16 : type == CurveType::Geodesic ? 1 : 2) * k);
      // Dividing an edge straight in the plane samples it eight times over
      // for every point (and projects each sample): that work has a cap of
      // its own.
      if (type == CurveType::ShapePreserving && 16 * k > kMaxPlaneSamples)
        fail(kInvalidArgument, kDeviationTooSmall);
      if (type == CurveType::Geodesic) {
        pts = seg.divide(static_cast<std::size_t>(k));
        break;
      }
      const std::vector<LonLat> halves = seg.divide(2 * static_cast<std::size_t>(k));
      double worst = 0;
      for (std::size_t q = 1; q < halves.size(); q += 2)
        worst =
            std::max(worst, frame.ellipsoid().distance(
                                halves[q], geodesic_mid(frame.ellipsoid(), halves[q - 1], halves[q + 1])));
      const double allowed = std::max(deviation / 4, kRoundingFloor);
      if (worst <= allowed) {
        for (std::size_t q = 0; q < halves.size(); q += 2) pts.push_back(halves[q]);
        break;
      }
      // The strays fall with the square of the piece length: pieces that
      // would have to be far more than the cap allows are given up on now
      // rather than after dividing the edge ever finer up to it.
      if (k * std::sqrt(worst / allowed) > kHopelessPieces) fail(kInvalidArgument, kDeviationTooSmall);
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

}  // namespace

Shapes shapes_of(const Geometry& g, const Frame& frame, CurveType type, double step, double deviation) {
  Shapes s;
  PointBudget budget(limits::kMaxDensifiedVertices);
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

}  // namespace vaskelith::geodetic::buffering
