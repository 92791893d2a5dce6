// Z, m and curves of an operation's inputs, put back on its GEOS result.
#include "engine/geos_sources.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <optional>
#include <unordered_map>
#include <utility>

#include "engine/box_index.hpp"
#include "engine/planar_curves.hpp"

namespace vaskelith::planar {

namespace {

// Tolerances of curve restoration.  GEOS works on the chords of the input
// curves, so its vertices lie on a chord or a curve only to rounding; these
// bound how far "to rounding" reaches.  Distances are relative to the
// magnitude of the coordinates involved, parameters to a curve's [0, 1].
//
// A point lies on a chord, on a straight segment's line, or at a chord's
// parameter; two runs of one curve meet; two arcs are of one ellipse.
constexpr double kOnChord = 1e-9;
// A closed arc whose sweep is a full turn within this many radians loops.
constexpr double kFullTurn = 1e-9;
// Where two curves (or a curve and a line) are taken to meet once Newton
// steps have converged.
constexpr double kConverged = 1e-12;
// How little a piece of curve may bulge from its chord before it stays a
// straight edge, in units of rounding of its coordinates: a thin cap cut
// from a circle far from the origin bulges by far less than 1e-12 of its
// coordinates and is still no straight edge.
constexpr double kFlatUnits = 16;
// How far a point may move when put on a curve: beyond this GEOS placed it
// by something else than rounding (a crossing it made), so it stays.
constexpr double kSnapReach = 1e-3;
// Newton steps for the meeting of two curves or of a curve and a line:
// quadratic convergence from a start within rounding needs far fewer.
constexpr int kNewtonSteps = 20;
// Keeps a relative scale positive at the origin.
constexpr double kScaleFloor = 1e-300;

bool valid_vertex(const Vertex& v) { return std::isfinite(v.x) && std::isfinite(v.y); }

}  // namespace

namespace {

struct Key {
  double x, y;
  bool operator==(const Key& o) const { return x == o.x && y == o.y; }
};
struct KeyHash {
  std::size_t operator()(const Key& k) const noexcept {
    const uint64_t a = std::bit_cast<uint64_t>(k.x == 0 ? 0.0 : k.x);
    const uint64_t b = std::bit_cast<uint64_t>(k.y == 0 ? 0.0 : k.y);
    return static_cast<std::size_t>(a * 0x9E3779B97F4A7C15ull ^ (b + 0x632BE59BD9B4E019ull + (a << 6) + (a >> 2)));
  }
};

struct Seg {
  Vertex a, b;
};

double seg_dist2(const Seg& s, double x, double y, double& u) {
  const double dx = s.b.x - s.a.x, dy = s.b.y - s.a.y;
  const double len2 = dx * dx + dy * dy;
  u = len2 > 0 ? std::clamp(((x - s.a.x) * dx + (y - s.a.y) * dy) / len2, 0.0, 1.0) : 0.0;
  const double px = s.a.x + u * dx - x, py = s.a.y + u * dy - y;
  return px * px + py * py;
}

}  // namespace

// One input curve and the chords that stood in for it.
struct SourceCurve {
  Vertex start, end;
  Curve curve;
  std::vector<Vertex> points;  // start, the chord vertices, end
  std::vector<double> params;  // the curve parameter of each point
  bool loop = false;           // a whole ellipse or circle: u 0 and 1 meet
};

// The chord vertices of the curves at one point: (curve, index in its
// points) each.
using CurvePoints = std::vector<std::pair<uint32_t, uint32_t>>;
using OnCurve = std::unordered_map<Key, CurvePoints, KeyHash>;

// The segments that carry one attribute, for the nearest of them to a
// point.  Only carrying segments go in: an index that held the others too
// would make every query walk them all where none carries the value (a Z
// geometry given no z at all).
class CarryingSegments {
 public:
  void add(const Seg& s) {
    segs_.push_back(s);
    index_.reset();
  }

  // The value of attribute `which` (0 z, 1 m) at (x, y), interpolated along
  // the nearest segment (the earliest of equally near ones); NaN when there
  // is none.
  double nearest(double x, double y, int which) const {
    if (segs_.empty()) return kNaN;
    if (!index_) {
      std::vector<Box> boxes(segs_.size());
      for (std::size_t i = 0; i < segs_.size(); ++i) {
        boxes[i].add(segs_[i].a.x, segs_[i].a.y);
        boxes[i].add(segs_[i].b.x, segs_[i].b.y);
      }
      index_.emplace(boxes);
    }
    double u;
    const std::size_t i = index_->nearest(x, y, [&](std::size_t k) { return seg_dist2(segs_[k], x, y, u); });
    if (i == BoxIndex::kNone) return kNaN;
    const Seg& s = segs_[i];
    seg_dist2(s, x, y, u);
    const double va = which == 0 ? s.a.z : s.a.m, vb = which == 0 ? s.b.z : s.b.m;
    return va + (vb - va) * u;
  }

 private:
  std::vector<Seg> segs_;
  mutable std::optional<BoxIndex> index_;  // built on the first query
};

struct SourceIndex::Impl {
  std::vector<SourceCurve> curves;
  std::vector<const Geometry*> sources;  // for the straight segments
  OnCurve on_curve;                      // chord vertex -> its curve points
  std::unordered_map<Key, Vertex, KeyHash> exact;
  CarryingSegments carrying[2];  // the segments with z at both ends, with m

  void add_vertex(const Vertex& v) { exact.emplace(Key{v.x, v.y}, v); }
  void add_segment(const Vertex& a, const Vertex& b) {
    if (!std::isnan(a.z) && !std::isnan(b.z)) carrying[0].add(Seg{a, b});
    if (!std::isnan(a.m) && !std::isnan(b.m)) carrying[1].add(Seg{a, b});
  }
};

SourceIndex::SourceIndex() : impl_(std::make_unique<Impl>()) {}
SourceIndex::~SourceIndex() = default;

void SourceIndex::add(const Geometry& g) {
  impl_->sources.push_back(&g);
  if (g.is_multipart() && g.has_curves()) {
    // At the curves' own tolerance, as to_geos cuts them.
    const double tol = 0;
    for (const Part& p : g.parts) {
      const std::size_t n = p.segment_count(g.closed());
      for (std::size_t i = 0; i < n; ++i) {
        const SegmentView sv = p.segment(i, g.closed());
        if (sv.curve->is_line()) continue;
        SourceCurve c{sv.start, sv.end, *sv.curve, {sv.start}, {0.0}, false};
        linearize_segment(sv, tol, c.points, &c.params);
        // A single chord is the curve to the tolerance: nothing to restore.
        if (c.points.size() < 3) continue;
        c.loop = c.curve.kind == SegmentKind::EllipticArc && c.start.x == c.end.x && c.start.y == c.end.y &&
                 std::fabs(std::fabs(c.curve.arc.sweep) - 2 * std::numbers::pi) < kFullTurn;
        const auto id = static_cast<uint32_t>(impl_->curves.size());
        for (uint32_t k = 0; k < c.points.size(); ++k)
          impl_->on_curve[Key{c.points[k].x, c.points[k].y}].push_back({id, k});
        impl_->curves.push_back(std::move(c));
      }
    }
  }
  if (!g.has_z && !g.has_m) return;
  has_z_ = has_z_ || g.has_z;
  has_m_ = has_m_ || g.has_m;
  auto clean = [&](Vertex v) {
    if (!g.has_z) v.z = kNaN;
    if (!g.has_m) v.m = kNaN;
    return v;
  };
  switch (g.kind) {
    case GeometryKind::Point:
      if (valid_vertex(g.point)) {
        impl_->add_vertex(clean(g.point));
        impl_->add_segment(clean(g.point), clean(g.point));
      }
      break;
    case GeometryKind::Multipoint:
      for (const Vertex& v : g.points) {
        impl_->add_vertex(clean(v));
        impl_->add_segment(clean(v), clean(v));
      }
      break;
    case GeometryKind::Envelope: {
      const EnvelopeBounds& e = g.envelope;
      if (e.empty()) break;
      const Vertex c[4] = {{e.xmin, e.ymin, e.zmin, e.mmin},
                           {e.xmin, e.ymax, e.zmin, e.mmin},
                           {e.xmax, e.ymax, e.zmax, e.mmax},
                           {e.xmax, e.ymin, e.zmax, e.mmax}};
      for (int i = 0; i < 4; ++i) {
        impl_->add_vertex(clean(c[i]));
        impl_->add_segment(clean(c[i]), clean(c[(i + 1) % 4]));
      }
      break;
    }
    default: {
      for (const Part& p0 : g.parts) {
        const Part p = p0.has_curves() ? linearize_part(p0, g.closed(), 0) : Part{p0.vertices, {}};
        for (const Vertex& v : p.vertices) impl_->add_vertex(clean(v));
        const std::size_t n = p.segment_count(g.closed());
        for (std::size_t i = 0; i < n; ++i) {
          const SegmentView s = p.segment(i, g.closed());
          impl_->add_segment(clean(s.start), clean(s.end));
        }
        if (p.vertices.size() == 1) impl_->add_segment(clean(p.vertices[0]), clean(p.vertices[0]));
      }
    }
  }
}

void SourceIndex::fill(Vertex& v) const {
  v.z = kNaN;
  v.m = kNaN;
  if (!has_z_ && !has_m_) return;
  auto it = impl_->exact.find(Key{v.x, v.y});
  if (it != impl_->exact.end()) {
    v.z = it->second.z;
    v.m = it->second.m;
  }
  if (has_z_ && std::isnan(v.z)) v.z = impl_->carrying[0].nearest(v.x, v.y, 0);
  if (has_m_ && std::isnan(v.m)) v.m = impl_->carrying[1].nearest(v.x, v.y, 1);
}


namespace {

// The curve c between parameters ua and ub (either order), as the curve of
// a segment running from the point at ua to the point at ub.
Curve sub_curve(const SourceCurve& c, double ua, double ub) {
  Curve out = c.curve;
  if (c.curve.kind == SegmentKind::EllipticArc) {
    out.arc.start_param = c.curve.arc.start_param + c.curve.arc.sweep * ua;
    out.arc.sweep = c.curve.arc.sweep * (ub - ua);
  } else if (c.curve.kind == SegmentKind::CubicBezier) {
    // Control points of the piece from the blossom of the cubic.
    const double px[4] = {c.start.x, c.curve.bezier.c1x, c.curve.bezier.c2x, c.end.x};
    const double py[4] = {c.start.y, c.curve.bezier.c1y, c.curve.bezier.c2y, c.end.y};
    auto blossom = [&](double t1, double t2, double t3, double& x, double& y) {
      double qx[4], qy[4];
      for (int i = 0; i < 4; ++i) qx[i] = px[i], qy[i] = py[i];
      const double ts[3] = {t1, t2, t3};
      for (int level = 0; level < 3; ++level)
        for (int i = 0; i < 3 - level; ++i) {
          qx[i] = qx[i] + (qx[i + 1] - qx[i]) * ts[level];
          qy[i] = qy[i] + (qy[i + 1] - qy[i]) * ts[level];
        }
      x = qx[0];
      y = qy[0];
    };
    blossom(ua, ua, ub, out.bezier.c1x, out.bezier.c1y);
    blossom(ua, ub, ub, out.bezier.c2x, out.bezier.c2y);
  }
  return out;
}

struct EdgeOnCurve {
  int64_t curve = -1;
  double ua = 0, ub = 0;
};

}  // namespace

namespace {

// Point and derivative of a source curve at parameter u (for a loop, any u).
void curve_eval(const SourceCurve& c, double u, double& x, double& y, double& dx, double& dy) {
  if (c.curve.kind == SegmentKind::EllipticArc) {
    const EllipticArc& a = c.curve.arc;
    const double t = a.start_param + a.sweep * u;
    a.point_at(t, x, y);
    const double ex = -a.semi_major * std::sin(t), ey = a.semi_major * a.ratio * std::cos(t);
    const double cr = std::cos(a.rotation), sr = std::sin(a.rotation);
    dx = a.sweep * (cr * ex - sr * ey);
    dy = a.sweep * (sr * ex + cr * ey);
    return;
  }
  const BezierCurve& b = c.curve.bezier;
  const double s = 1 - u;
  x = s * s * s * c.start.x + 3 * s * s * u * b.c1x + 3 * s * u * u * b.c2x + u * u * u * c.end.x;
  y = s * s * s * c.start.y + 3 * s * s * u * b.c1y + 3 * s * u * u * b.c2y + u * u * u * c.end.y;
  dx = 3 * s * s * (b.c1x - c.start.x) + 6 * s * u * (b.c2x - b.c1x) + 3 * u * u * (c.end.x - b.c2x);
  dy = 3 * s * s * (b.c1y - c.start.y) + 6 * s * u * (b.c2y - b.c1y) + 3 * u * u * (c.end.y - b.c2y);
}

// A stretch of a result part: one straight edge, or a run of edges along
// one source curve from parameter ua to ub.
struct Piece {
  int64_t curve = -1;
  double ua = 0, ub = 0;
  std::size_t from = 0, to = 0;  // walk positions of its end vertices
};

}  // namespace

namespace {

// Puts the source curves back into one linear result part.  GEOS saw each
// curve as its chords; a run of result edges along the chords of one curve
// becomes the piece of that curve between the run's ends.  The steps, in
// the order restore_curves takes them: find the curve each edge follows,
// choose where to start walking a ring, cut the walk into pieces (straight
// edges and runs), move the vertices where pieces meet onto the true
// crossings, settle the open ends of a path, and build the part again.
class CurveRestorer {
 public:
  CurveRestorer(const std::vector<SourceCurve>& curves, const OnCurve& on_curve,
                const std::vector<const Geometry*>& sources, const Part& part, bool closed)
      : curves_(curves),
        on_curve_(on_curve),
        sources_(sources),
        part_(part),
        closed_(closed),
        m_(part.size()),
        edges_(closed ? m_ : m_ - 1) {}

  bool match_edges();
  bool find_walk_start();
  Part whole_loop() const;
  void cut_walk();
  void refine_meetings();
  void settle_open_ends();
  Part assemble() const;

 private:
  const SourceCurve& curve(int64_t c) const { return curves_[static_cast<std::size_t>(c)]; }
  const CurvePoints* lookup(const Vertex& v) const;
  bool is_point_of(const Vertex& v, int64_t c) const;
  double on_chord(const SourceCurve& c, uint32_t k, int64_t k2, const Vertex& b) const;
  EdgeOnCurve edge_on_curve(const Vertex& a, const Vertex& b) const;
  EdgeOnCurve edge_along_chord(const CurvePoints& known, const Vertex& other, bool known_first) const;
  bool continues(std::size_t i, std::size_t j, double& shift) const;
  void refine_meeting(Piece& left, Piece& right, std::size_t pos);
  void meet_two_curves(Piece& left, Piece& right, Vertex& v, double scale);
  void meet_curve_and_line(Piece& left, Piece& right, Vertex& v, double scale);
  void settle_end(Piece& r, bool at_start);
  bool end_onto_cutter(Piece& r, bool at_start, Vertex& v, double scale);
  bool end_onto_segment(Piece& r, bool at_start, Vertex& v, double scale, const Vertex& a, const Vertex& b);
  bool flat(const Piece& r) const;

  const std::vector<SourceCurve>& curves_;
  const OnCurve& on_curve_;
  const std::vector<const Geometry*>& sources_;
  const Part& part_;
  const bool closed_;
  const std::size_t m_;      // vertices of the part
  const std::size_t edges_;  // its edges, the closing one of a ring included
  std::vector<EdgeOnCurve> on_;  // the curve each edge follows
  std::size_t first_ = 0;        // the vertex the walk starts from
  std::vector<Vertex> walk_;     // walk position p is vertex (first_ + p) % m_
  std::vector<Piece> pieces_;    // in walk order
};

// The curve points at v: (curve, index in its points), or null.
const CurvePoints* CurveRestorer::lookup(const Vertex& v) const {
  auto it = on_curve_.find(Key{v.x, v.y});
  return it == on_curve_.end() ? nullptr : &it->second;
}

bool CurveRestorer::is_point_of(const Vertex& v, int64_t c) const {
  const auto* l = lookup(v);
  if (l)
    for (auto [cc, k] : *l)
      if (cc == c) return true;
  return false;
}

// Where b lies on the chord from point k to point k2 of curve c, as a
// parameter of the curve; NaN when it is not on that chord.  GEOS adds
// such vertices where it nodes a chord.
double CurveRestorer::on_chord(const SourceCurve& c, uint32_t k, int64_t k2, const Vertex& b) const {
  if (k2 < 0 || k2 >= static_cast<int64_t>(c.points.size())) return kNaN;
  const Vertex& p = c.points[k];
  const Vertex& q = c.points[static_cast<std::size_t>(k2)];
  const double dx = q.x - p.x, dy = q.y - p.y, len2 = dx * dx + dy * dy;
  if (len2 == 0) return kNaN;
  const double t = ((b.x - p.x) * dx + (b.y - p.y) * dy) / len2;
  const double off = std::fabs((b.x - p.x) * dy - (b.y - p.y) * dx) / std::sqrt(len2);
  const double scale = std::fabs(p.x) + std::fabs(p.y) + std::sqrt(len2);
  if (t < 0 || t > 1 || off > kOnChord * scale) return kNaN;
  return c.params[k] + t * (c.params[static_cast<uint32_t>(k2)] - c.params[k]);
}

// An edge with one end at a chord vertex (`known`) and the other end on
// a chord next to it: a piece of that chord.  `known_first`: the known end
// is the edge's start.
EdgeOnCurve CurveRestorer::edge_along_chord(const CurvePoints& known, const Vertex& other, bool known_first) const {
  for (auto [c, k] : known)
    for (int64_t k2 : {static_cast<int64_t>(k) - 1, static_cast<int64_t>(k) + 1}) {
      const double u = on_chord(curves_[c], k, k2, other);
      if (std::isnan(u)) continue;
      const double uk = curves_[c].params[k];
      return known_first ? EdgeOnCurve{c, uk, u} : EdgeOnCurve{c, u, uk};
    }
  return {};
}

// The curve the edge from a to b follows: a whole chord (both ends are
// consecutive chord vertices of one curve), or a piece of one.
EdgeOnCurve CurveRestorer::edge_on_curve(const Vertex& a, const Vertex& b) const {
  const auto* la = lookup(a);
  const auto* lb = lookup(b);
  if (la && lb)
    for (auto [ca, ka] : *la)
      for (auto [cb, kb] : *lb)
        if (ca == cb && (ka + 1 == kb || kb + 1 == ka))
          return EdgeOnCurve{ca, curves_[ca].params[ka], curves_[ca].params[kb]};
  EdgeOnCurve e;
  if (la) e = edge_along_chord(*la, b, true);
  if (e.curve < 0 && lb) e = edge_along_chord(*lb, a, false);
  return e;
}

// Which curve each edge follows; false when none follows any.
bool CurveRestorer::match_edges() {
  on_.resize(edges_);
  bool any = false;
  for (std::size_t i = 0; i < edges_; ++i) {
    on_[i] = edge_on_curve(part_.vertices[i], part_.vertices[(i + 1) % m_]);
    any = any || on_[i].curve >= 0;
  }
  return any;
}

// Whether edge j continues the run of edge i along the same curve, and by
// how much the parameter shifts there (a loop passes from u = 1 to u = 0
// where it starts).
bool CurveRestorer::continues(std::size_t i, std::size_t j, double& shift) const {
  const EdgeOnCurve &a = on_[i], &b = on_[j];
  shift = 0;
  if (a.curve < 0 || a.curve != b.curve) return false;
  if ((a.ub > a.ua) != (b.ub > b.ua)) return false;
  if (std::fabs(a.ub - b.ua) <= kOnChord) return true;
  if (curve(a.curve).loop) {
    if (std::fabs(a.ub - 1 - b.ua) <= kOnChord) return shift = 1, true;
    if (std::fabs(a.ub + 1 - b.ua) <= kOnChord) return shift = -1, true;
  }
  return false;
}

// A ring is walked from a vertex where no run passes through, so that no
// run is split at the walk's start; false when there is none (the whole
// ring follows one closed curve).
bool CurveRestorer::find_walk_start() {
  for (std::size_t i = 0; i < edges_; ++i) {
    double shift;
    if (!continues((i + edges_ - 1) % edges_, i, shift)) {
      first_ = i;
      return true;
    }
  }
  return false;
}

// A ring that follows one closed curve all round: that curve, from where
// the ring starts, as the closing segment of a one-vertex ring.
Part CurveRestorer::whole_loop() const {
  const SourceCurve& c = curve(on_[0].curve);
  const double dir = on_[0].ub > on_[0].ua ? 1.0 : -1.0;
  Part ring;
  Vertex v = part_.vertices[0];
  double dx, dy;
  curve_eval(c, on_[0].ua, v.x, v.y, dx, dy);
  ring.push(v);
  ring.set_curve(0, sub_curve(c, on_[0].ua, on_[0].ua + dir));
  return ring;
}

// The walk's vertices, and the pieces it falls into: each straight edge on
// its own, and each run of edges along one curve as one piece.
void CurveRestorer::cut_walk() {
  walk_.resize(edges_ + 1);
  for (std::size_t p = 0; p <= edges_; ++p) walk_[p] = part_.vertices[(first_ + p) % m_];
  for (std::size_t n = 0; n < edges_;) {
    const std::size_t i = (first_ + n) % m_;
    if (on_[i].curve < 0) {
      pieces_.push_back(Piece{-1, 0, 0, n, n + 1});
      ++n;
      continue;
    }
    double ub = on_[i].ub, offset = 0;
    std::size_t k = n + 1;
    for (; k < edges_; ++k) {
      double shift;
      if (!continues((first_ + k - 1) % m_, (first_ + k) % m_, shift)) break;
      offset += shift;
      ub = on_[(first_ + k) % m_].ub + offset;
    }
    pieces_.push_back(Piece{on_[i].curve, on_[i].ua, ub, n, k});
    n = k;
  }
}

// The vertices where a run meets something else came from GEOS crossing
// chords: each is moved onto the true crossing of the curve with the line
// or curve it meets, so that both sides agree exactly.  A ring's last
// meeting is its first vertex again.
void CurveRestorer::refine_meetings() {
  const std::size_t np = pieces_.size();
  for (std::size_t j = 0; j + 1 < np; ++j) refine_meeting(pieces_[j], pieces_[j + 1], pieces_[j].to);
  if (closed_ && np > 1) {
    refine_meeting(pieces_[np - 1], pieces_[0], edges_);
    walk_[0].x = walk_[edges_].x;
    walk_[0].y = walk_[edges_].y;
  }
}

// The meeting of two pieces at walk position pos.  A vertex that is one of
// a run's own chord vertices is on its curve already.
void CurveRestorer::refine_meeting(Piece& left, Piece& right, std::size_t pos) {
  Vertex& v = walk_[pos];
  const bool left_curve = left.curve >= 0, right_curve = right.curve >= 0;
  if (left_curve && is_point_of(v, left.curve)) return;
  if (right_curve && is_point_of(v, right.curve)) return;
  const double scale = std::fabs(v.x) + std::fabs(v.y) + kScaleFloor;
  if (left_curve && right_curve)
    meet_two_curves(left, right, v, scale);
  else if (left_curve || right_curve)
    meet_curve_and_line(left, right, v, scale);
}

// Two arcs of one ellipse (to rounding) do not cross: they coincide.
bool same_ellipse(const SourceCurve& c1, const SourceCurve& c2) {
  if (c1.curve.kind != SegmentKind::EllipticArc || c2.curve.kind != SegmentKind::EllipticArc) return false;
  const EllipticArc &e1 = c1.curve.arc, &e2 = c2.curve.arc;
  const double r = e1.semi_major;
  return std::hypot(e1.cx - e2.cx, e1.cy - e2.cy) <= kOnChord * r &&
         std::fabs(e1.semi_major - e2.semi_major) <= kOnChord * r && std::fabs(e1.ratio - e2.ratio) <= kOnChord &&
         (e1.ratio == 1.0 || std::fabs(e1.rotation - e2.rotation) <= kOnChord);
}

// Two runs meet: Newton's method on both parameters from the chord
// crossing.  The vertex moves only when the two curves meet there to
// rounding and the move is within snapping reach.
void CurveRestorer::meet_two_curves(Piece& left, Piece& right, Vertex& v, double scale) {
  const SourceCurve& c1 = curve(left.curve);
  const SourceCurve& c2 = curve(right.curve);
  if (same_ellipse(c1, c2)) return;
  double u1 = left.ub, u2 = right.ua;
  for (int it = 0; it < kNewtonSteps; ++it) {
    double x1, y1, dx1, dy1, x2, y2, dx2, dy2;
    curve_eval(c1, u1, x1, y1, dx1, dy1);
    curve_eval(c2, u2, x2, y2, dx2, dy2);
    // Solve [d1, -d2] (du1, du2) = p2 - p1.
    const double det = dx1 * (-dy2) - (-dx2) * dy1;
    if (det == 0) return;
    const double rx = x2 - x1, ry = y2 - y1;
    u1 += (rx * (-dy2) - (-dx2) * ry) / det;
    u2 += (dx1 * ry - dy1 * rx) / det;
  }
  double x1, y1, dx1, dy1, x2, y2, dx2, dy2;
  curve_eval(c1, u1, x1, y1, dx1, dy1);
  curve_eval(c2, u2, x2, y2, dx2, dy2);
  if (std::hypot(x1 - x2, y1 - y2) > kConverged * scale || std::hypot(x1 - v.x, y1 - v.y) > kSnapReach * scale)
    return;
  left.ub = u1;
  right.ua = u2;
  v.x = x1;
  v.y = y1;
}

// Moves v, at parameter u of curve c, onto the crossing of the curve with
// the line through q along (lx, ly), by Newton's method from u; u follows.
// False, and nothing moved, when the method fails or the crossing lies
// beyond snapping reach.
bool onto_line(const SourceCurve& c, double& u, Vertex& v, const Vertex& q, double lx, double ly, double scale) {
  double t = u;
  for (int it = 0; it < kNewtonSteps; ++it) {
    double x, y, dx, dy;
    curve_eval(c, t, x, y, dx, dy);
    const double df = lx * dy - ly * dx;
    if (df == 0) return false;
    t -= (lx * (y - q.y) - ly * (x - q.x)) / df;
  }
  double x, y, dx, dy;
  curve_eval(c, t, x, y, dx, dy);
  if (std::hypot(x - v.x, y - v.y) > kSnapReach * scale) return false;
  u = t;
  v.x = x;
  v.y = y;
  return true;
}

// A run meets a straight edge: the crossing with the line through that
// edge.
void CurveRestorer::meet_curve_and_line(Piece& left, Piece& right, Vertex& v, double scale) {
  const bool curve_on_left = left.curve >= 0;
  Piece& run = curve_on_left ? left : right;
  const Piece& straight = curve_on_left ? right : left;
  const Vertex& q = walk_[curve_on_left ? straight.to : straight.from];
  const double lx = v.x - q.x, ly = v.y - q.y;
  if (std::hypot(lx, ly) == 0) return;
  // A line crossing a circle at a shallow angle (its chords' own tolerance,
  // 1e-5 of the radius, over the angle) crosses its chords up to some 1e-3
  // of the radius from where it crosses the circle: the reach grows with the
  // radius, but for an arc shorter than a grid step, whose chords pass
  // through the crossing already (curve_contacts) and whose radius may be
  // immense.
  const SourceCurve& c = curve(run.curve);
  double reach = scale;
  if (c.curve.kind == SegmentKind::EllipticArc && std::fabs(c.curve.arc.sweep) >= 2 * kPi / kCircleGrid)
    reach += c.curve.arc.semi_major;
  onto_line(c, curve_on_left ? run.ub : run.ua, v, q, lx, ly, reach);
}

// The open ends of a path that a curve run reaches.
void CurveRestorer::settle_open_ends() {
  if (pieces_.empty()) return;
  if (pieces_.front().curve >= 0) settle_end(pieces_.front(), true);
  if (pieces_.back().curve >= 0) settle_end(pieces_.back(), false);
}

// An open end of a run was cut there by some straight input segment (a
// clipping edge, a cutter): it goes onto the crossing with that segment's
// line.  Failing that, it is put on the curve.
void CurveRestorer::settle_end(Piece& r, bool at_start) {
  Vertex& v = walk_[at_start ? r.from : r.to];
  if (is_point_of(v, r.curve)) return;
  const double scale = std::fabs(v.x) + std::fabs(v.y) + kScaleFloor;
  if (end_onto_cutter(r, at_start, v, scale)) return;
  const SourceCurve& c = curve(r.curve);
  const double u = at_start ? r.ua : r.ub;
  double dx, dy;
  curve_eval(c, c.loop ? u : std::clamp(u, 0.0, 1.0), v.x, v.y, dx, dy);
}

// The straight input segments the end may lie on, latest operand first:
// the operand that did the cutting usually came last.
bool CurveRestorer::end_onto_cutter(Piece& r, bool at_start, Vertex& v, double scale) {
  for (auto it = sources_.rbegin(); it != sources_.rend(); ++it) {
    const Geometry* g = *it;
    if (g->kind == GeometryKind::Envelope && !g->envelope.empty()) {
      const EnvelopeBounds& e = g->envelope;
      const Vertex c[4] = {{e.xmin, e.ymin}, {e.xmin, e.ymax}, {e.xmax, e.ymax}, {e.xmax, e.ymin}};
      for (int i = 0; i < 4; ++i)
        if (end_onto_segment(r, at_start, v, scale, c[i], c[(i + 1) % 4])) return true;
    } else if (g->is_multipart()) {
      for (const Part& p : g->parts) {
        const std::size_t n = p.segment_count(g->closed());
        for (std::size_t i = 0; i < n; ++i) {
          const SegmentView sv = p.segment(i, g->closed());
          if (sv.curve->is_line() && end_onto_segment(r, at_start, v, scale, sv.start, sv.end)) return true;
        }
      }
    }
  }
  return false;
}

// The end goes onto the run's crossing with the line through a and b when
// it lies on the segment from a to b (to rounding).
bool CurveRestorer::end_onto_segment(Piece& r, bool at_start, Vertex& v, double scale, const Vertex& a,
                                     const Vertex& b) {
  const double lx = b.x - a.x, ly = b.y - a.y, len = std::hypot(lx, ly);
  if (len == 0) return false;
  const double t = ((v.x - a.x) * lx + (v.y - a.y) * ly) / (len * len);
  if (t < -kOnChord || t > 1 + kOnChord) return false;
  if (std::fabs((v.x - a.x) * ly - (v.y - a.y) * lx) / len > kOnChord * scale) return false;
  return onto_line(curve(r.curve), at_start ? r.ua : r.ub, v, a, lx, ly, scale);
}

// A piece of curve too short to bulge from its chord by more than
// rounding stays a straight edge: as an arc it could not even be told
// apart from its chord when read back.
bool CurveRestorer::flat(const Piece& r) const {
  const SourceCurve& c = curve(r.curve);
  const Vertex &a = walk_[r.from], &b = walk_[r.to];
  const double scale = std::fabs(a.x) + std::fabs(a.y) + std::fabs(b.x) + std::fabs(b.y) + kScaleFloor;
  double mx, my, dx, dy;
  curve_eval(c, 0.5 * (r.ua + r.ub), mx, my, dx, dy);
  const double len = std::hypot(b.x - a.x, b.y - a.y);
  const double bulge = len > 0 ? std::fabs((b.x - a.x) * (my - a.y) - (b.y - a.y) * (mx - a.x)) / len
                               : std::hypot(mx - a.x, my - a.y);
  return bulge <= kFlatUnits * std::numeric_limits<double>::epsilon() * scale;
}

// The part again: the walk's vertices at the ends of the pieces, each run
// carrying its piece of curve.
Part CurveRestorer::assemble() const {
  Part out;
  out.push(walk_[0]);
  for (const Piece& r : pieces_) {
    if (r.curve < 0 || flat(r))
      out.push(walk_[r.to]);
    else
      out.push(walk_[r.to], sub_curve(curve(r.curve), r.ua, r.ub));
  }
  if (closed_) {
    // The walk came back to its first vertex: that last step closes the ring.
    const Curve closing = out.curve_at(out.size() - 1);
    out.vertices.pop_back();
    if (!out.curves.empty()) out.curves.pop_back();
    out.set_curve(0, closing);
  }
  return out;
}

}  // namespace

void SourceIndex::restore_curves(Part& part, bool closed) const {
  if (impl_->curves.empty() || part.size() < 2 || part.has_curves()) return;
  CurveRestorer restorer(impl_->curves, impl_->on_curve, impl_->sources, part, closed);
  if (!restorer.match_edges()) return;
  if (closed && !restorer.find_walk_start()) {
    part = restorer.whole_loop();
    return;
  }
  restorer.cut_walk();
  restorer.refine_meetings();
  if (!closed) restorer.settle_open_ends();
  part = restorer.assemble();
}

}  // namespace vaskelith::planar
