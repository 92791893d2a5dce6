// The runtime's geometry representation.
//
// A Geometry is immutable once built and is shared through GeometryPtr
// (shared_ptr<const Geometry>): handles, vector elements and engine results
// all point at the same object, so handing a geometry around never copies
// its vertices.  To change a geometry, copy it, edit the copy, and wrap the
// copy in a new shared_ptr.
//
// Layout of the kinds:
//   point       `point` holds the one vertex; an empty point has NaN x and y.
//   envelope    `envelope` holds the bounds; an empty envelope has NaN bounds.
//   multipoint  `points` holds the vertices (no curves).
//   polyline    `parts` holds the paths.
//   polygon     `parts` holds the rings.  Rings are stored open: the closing
//               vertex equal to the first is not repeated, and the closing
//               segment runs from the last vertex back to vertex 0.  Exterior
//               rings are clockwise and holes counter-clockwise (y up); the
//               builders keep what they are given, the engine produces this.
//
// Vertices always carry x, y, z and m.  A component the geometry does not
// have (has_z / has_m false) is NaN and means nothing; a geometry that has z
// may still hold NaN for a vertex that was given none.  A part stores x and
// y interleaved and z and m apart (see VertexList), so that geometries
// without z or m cost 16 bytes a vertex.
//
// Curves: a part stores, per vertex, the segment that ENDS at that vertex
// (as the JSON "curvePaths" items do).  curves[0] of a path is unused (a
// line); curves[0] of a ring is the closing segment (last vertex -> vertex
// 0).  A part without curves keeps `curves` empty; otherwise curves.size()
// equals vertices.size().  Use Part::segment() rather than indexing by hand.
#pragma once

#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <numbers>
#include <memory>
#include <mutex>
#include <vector>

namespace vaskelith {

struct SpatialReference;  // spatial_reference.hpp
using SpatialReferencePtr = std::shared_ptr<const SpatialReference>;

inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
inline constexpr double kPi = std::numbers::pi;

// v as an integer within [lo, hi]; NaN gives lo.  Counts and indices come
// from doubles that huge coordinates can push past any integer, and
// converting a double out of an integer's range is undefined: the clamping
// is done on the double.
template <class Int>
Int clamped_cast(double v, Int lo, Int hi) {
  if (!(v > static_cast<double>(lo))) return lo;
  if (v >= static_cast<double>(hi)) return hi;
  return static_cast<Int>(v);
}

// The kind codes reported through QX_Geometry_getObjectType.
enum class GeometryKind : int32_t { Point = 1, Envelope = 2, Polyline = 3, Polygon = 4, Multipoint = 5 };

// The kind codes reported through QX_Segment_getObjectType.
enum class SegmentKind : int32_t { Line = 1, CubicBezier = 2, EllipticArc = 3 };

struct Vertex {
  double x = kNaN;
  double y = kNaN;
  double z = kNaN;
  double m = kNaN;
};

// Control points of a cubic Bezier curve (planar; z and m of the curve are
// interpolated between its end vertices).
struct BezierCurve {
  double c1x = 0, c1y = 0, c2x = 0, c2y = 0;
};

// An arc of an ellipse (or circle), exact.  Points of the arc are
//   center + R(rotation) * (semi_major * cos t, semi_major * ratio * sin t)
// for the parameter t running from start_param to start_param + sweep.
// Angles are radians; sweep > 0 is counter-clockwise (y up).  A circle has
// ratio 1 and rotation 0, so that its parameter is the polar angle.
// The arc's end points are the vertices on either side of it; the start and
// end computed from the parameters agree with them to rounding.
struct EllipticArc {
  double cx = 0, cy = 0;
  double semi_major = 0;
  double ratio = 1;     // minor / major, in (0, 1]
  double rotation = 0;  // of the major axis, from the x axis
  double start_param = 0;
  double sweep = 0;  // signed; |sweep| <= 2*pi

  bool is_circular() const { return ratio == 1.0; }
  bool is_counter_clockwise() const { return sweep > 0; }
  // Point at parameter t (see above).
  void point_at(double t, double& x, double& y) const {
    const double ex = semi_major * std::cos(t), ey = semi_major * ratio * std::sin(t);
    const double cr = std::cos(rotation), sr = std::sin(rotation);
    x = cx + cr * ex - sr * ey;
    y = cy + sr * ex + cr * ey;
  }
  // Polar angle (from the x axis, about the center) of the point at t.
  double polar_angle(double t) const {
    double x, y;
    point_at(t, x, y);
    return std::atan2(y - cy, x - cx);
  }
};

// The segment ending at one vertex.
struct Curve {
  SegmentKind kind = SegmentKind::Line;
  BezierCurve bezier;  // meaningful when kind == CubicBezier
  EllipticArc arc;     // meaningful when kind == EllipticArc
  bool is_line() const { return kind == SegmentKind::Line; }
};

// One segment of a part, as seen by the engine: its two end vertices and its
// curve (a line when `curve->is_line()`).
struct SegmentView {
  Vertex start;
  Vertex end;
  const Curve* curve;
};

// The vertices of a part.  x and y sit interleaved in one array, the form
// GEOS copies from and the measures walk; z and m each have an array of
// their own that exists only once some vertex holds a number there.  An
// absent array reads as NaN throughout, which is what a component the
// geometry does not have holds anyway, so most geometries carry 16 bytes a
// vertex instead of 32.  Reads hand out Vertex values; writes go through
// push_back, set, set_xy and edit, which make the z or m array when a
// number first arrives.
class VertexList {
 public:
  // The x, y storage.  Its growth by resize leaves the numbers for the
  // writer to set rather than clearing them first: every way a list is
  // filled writes each one.
  template <class T>
  struct FillLater : std::allocator<T> {
    using value_type = T;
    template <class U>
    struct rebind {
      using other = FillLater<U>;
    };
    FillLater() = default;
    template <class U>
    FillLater(const FillLater<U>&) noexcept {}
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
      if constexpr (sizeof...(Args) == 0)
        ::new (static_cast<void*>(p)) U;
      else
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
  };
  using XY = std::vector<double, FillLater<double>>;

  class const_iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = Vertex;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = const Vertex;
    const_iterator() = default;
    const_iterator(const VertexList* list, std::size_t i) : list_(list), i_(i) {}
    const Vertex operator*() const { return (*list_)[i_]; }
    const_iterator& operator++() {
      ++i_;
      return *this;
    }
    const_iterator operator++(int) {
      const_iterator old = *this;
      ++i_;
      return old;
    }
    bool operator==(const const_iterator& o) const { return i_ == o.i_; }

   private:
    const VertexList* list_ = nullptr;
    std::size_t i_ = 0;
  };

  VertexList() = default;
  VertexList(const VertexList& o)
      : xy_(o.xy_), extras_(o.extras_ ? std::make_unique<Extras>(*o.extras_) : nullptr) {}
  VertexList& operator=(const VertexList& o) {
    if (this != &o) {
      xy_ = o.xy_;
      extras_ = o.extras_ ? std::make_unique<Extras>(*o.extras_) : nullptr;
    }
    return *this;
  }
  VertexList(VertexList&&) noexcept = default;
  VertexList& operator=(VertexList&&) noexcept = default;
  // The first `count` vertices of `o`, in storage of that size.
  VertexList(const VertexList& o, std::size_t count) {
    xy_.assign(o.xy_.begin(), o.xy_.begin() + static_cast<std::ptrdiff_t>(2 * count));
    if (o.extras_) {
      Extras& e = extras();
      const auto n = static_cast<std::ptrdiff_t>(count);
      if (!o.extras_->z.empty()) e.z.assign(o.extras_->z.begin(), o.extras_->z.begin() + n);
      if (!o.extras_->m.empty()) e.m.assign(o.extras_->m.begin(), o.extras_->m.begin() + n);
    }
  }
  VertexList(std::initializer_list<Vertex> vs) { assign(vs.begin(), vs.end()); }
  // Implicit, so that a part can be written down as a list of vertices.
  VertexList(const std::vector<Vertex>& vs) { assign(vs.begin(), vs.end()); }
  // Vertices with only x and y, taken from x0, y0, x1, y1, ...
  static VertexList from_xy(XY xy) {
    VertexList out;
    out.xy_ = std::move(xy);
    return out;
  }
  // n vertices with only x and y, which fill(double* xy) writes as x0, y0,
  // x1, y1, ... into storage of that size.
  template <class Fill>
  static VertexList from_written_xy(std::size_t n, Fill&& fill) {
    VertexList out;
    out.xy_.resize(2 * n);
    fill(out.xy_.data());
    return out;
  }
  // The same with z from z0, z1, ...: one per vertex, NaN where a vertex
  // has none.
  static VertexList from_xy_z(XY xy, std::vector<double> z) {
    VertexList out;
    out.xy_ = std::move(xy);
    out.extras().z = std::move(z);
    return out;
  }

  std::size_t size() const { return xy_.size() / 2; }
  bool empty() const { return xy_.empty(); }
  // Values, const so that a write through them fails to compile rather
  // than change a copy.
  const Vertex operator[](std::size_t i) const {
    if (!extras_) return Vertex{xy_[2 * i], xy_[2 * i + 1], kNaN, kNaN};
    const std::vector<double>& z = extras_->z;
    const std::vector<double>& m = extras_->m;
    return Vertex{xy_[2 * i], xy_[2 * i + 1], z.empty() ? kNaN : z[i], m.empty() ? kNaN : m[i]};
  }
  const Vertex front() const { return (*this)[0]; }
  const Vertex back() const { return (*this)[size() - 1]; }
  const_iterator begin() const { return {this, 0}; }
  const_iterator end() const { return {this, size()}; }

  // x0, y0, x1, y1, ...: 2 * size() numbers.  Writable for transforms that
  // rewrite every x, y where it lies (the projection engine's).
  const double* xy_data() const { return xy_.data(); }
  double* xy_data() { return xy_.data(); }

  void reserve(std::size_t n) {
    xy_.reserve(2 * n);
    if (!extras_) return;
    if (!extras_->z.empty()) extras_->z.reserve(n);
    if (!extras_->m.empty()) extras_->m.reserve(n);
  }
  void push_back(const Vertex& v) {
    xy_.push_back(v.x);
    xy_.push_back(v.y);
    if (!extras_ && std::isnan(v.z) && std::isnan(v.m)) return;
    push_extra(extras().z, v.z);
    push_extra(extras().m, v.m);
  }
  // A vertex with only x and y (z and m NaN).
  void push_xy(double x, double y) {
    xy_.push_back(x);
    xy_.push_back(y);
    if (!extras_) return;
    if (!extras_->z.empty()) extras_->z.push_back(kNaN);
    if (!extras_->m.empty()) extras_->m.push_back(kNaN);
  }
  void pop_back() {
    xy_.resize(xy_.size() - 2);
    if (!extras_) return;
    if (!extras_->z.empty()) extras_->z.pop_back();
    if (!extras_->m.empty()) extras_->m.pop_back();
  }
  void set(std::size_t i, const Vertex& v) {
    set_xy(i, v.x, v.y);
    if (!extras_ && std::isnan(v.z) && std::isnan(v.m)) return;
    set_extra(extras().z, i, v.z);
    set_extra(extras().m, i, v.m);
  }
  void set_xy(std::size_t i, double x, double y) {
    xy_[2 * i] = x;
    xy_[2 * i + 1] = y;
  }
  // Appends other's vertices from index `from` on.
  void append(const VertexList& other, std::size_t from = 0) {
    for (std::size_t i = from; i < other.size(); ++i) push_back(other[i]);
  }
  // Calls f(Vertex&) on every vertex and stores what it leaves.
  template <class F>
  void edit(F&& f) {
    for (std::size_t i = 0; i < size(); ++i) {
      Vertex v = (*this)[i];
      f(v);
      set(i, v);
    }
  }
  std::vector<Vertex> to_vector() const { return std::vector<Vertex>(begin(), end()); }

 private:
  template <class It>
  void assign(It first, It last) {
    reserve(static_cast<std::size_t>(std::distance(first, last)));
    for (; first != last; ++first) push_back(*first);
  }
  // Keeps an optional array in step with xy_, which has just grown by one.
  void push_extra(std::vector<double>& a, double value) {
    if (!a.empty()) {
      a.push_back(value);
    } else if (!std::isnan(value)) {
      a.reserve(xy_.capacity() / 2);
      a.assign(size() - 1, kNaN);
      a.push_back(value);
    }
  }
  void set_extra(std::vector<double>& a, std::size_t i, double value) {
    if (a.empty()) {
      if (std::isnan(value)) return;
      a.assign(size(), kNaN);
    }
    a[i] = value;
  }

  // The z and m arrays, in one box that exists only once one of them holds
  // a number: one pointer in every part that has neither.
  struct Extras {
    std::vector<double> z;  // empty, or one per vertex
    std::vector<double> m;  // empty, or one per vertex
  };
  Extras& extras() {
    if (!extras_) extras_ = std::make_unique<Extras>();
    return *extras_;
  }

  XY xy_;
  std::unique_ptr<Extras> extras_;
};

// The curves of a part: one pointer while there are none, which is what
// most parts hold.  Copies copy the curves; clearing lets go of the storage.
class CurveList {
 public:
  CurveList() = default;
  CurveList(const CurveList& o)
      : curves_(o.empty() ? nullptr : std::make_unique<std::vector<Curve>>(*o.curves_)) {}
  CurveList& operator=(const CurveList& o) {
    if (this != &o) curves_ = o.empty() ? nullptr : std::make_unique<std::vector<Curve>>(*o.curves_);
    return *this;
  }
  CurveList(CurveList&&) noexcept = default;
  CurveList& operator=(CurveList&&) noexcept = default;

  bool empty() const { return !curves_ || curves_->empty(); }
  std::size_t size() const { return curves_ ? curves_->size() : 0; }
  const Curve& operator[](std::size_t i) const { return (*curves_)[i]; }
  Curve& operator[](std::size_t i) { return (*curves_)[i]; }
  const Curve& back() const { return curves_->back(); }
  Curve& back() { return curves_->back(); }
  const Curve* begin() const { return curves_ ? curves_->data() : nullptr; }
  const Curve* end() const { return curves_ ? curves_->data() + curves_->size() : nullptr; }
  Curve* begin() { return curves_ ? curves_->data() : nullptr; }
  Curve* end() { return curves_ ? curves_->data() + curves_->size() : nullptr; }

  void clear() { curves_.reset(); }
  void resize(std::size_t n) {
    if (n == 0)
      curves_.reset();
    else
      made().resize(n);
  }
  void push_back(const Curve& c) { made().push_back(c); }
  void pop_back() { curves_->pop_back(); }

 private:
  std::vector<Curve>& made() {
    if (!curves_) curves_ = std::make_unique<std::vector<Curve>>();
    return *curves_;
  }
  std::unique_ptr<std::vector<Curve>> curves_;
};

struct Part {
  VertexList vertices;
  CurveList curves;  // empty, or one per vertex (see above)

  std::size_t size() const { return vertices.size(); }
  bool empty() const { return vertices.empty(); }
  bool has_curves() const {
    for (const Curve& c : curves)
      if (!c.is_line()) return true;
    return false;
  }
  const Curve& curve_at(std::size_t vertex) const {
    static const Curve line{};
    return vertex < curves.size() ? curves[vertex] : line;
  }
  // Segments: a path of n vertices has n - 1 (0 when n < 2); a ring
  // (closed = true) of n >= 2 vertices has n, the last being the closing one.
  // A one-vertex ring has one segment only when its closing curve is not a
  // line (a full circle or ellipse, or a closed Bezier loop).
  std::size_t segment_count(bool closed) const {
    const std::size_t n = vertices.size();
    if (n == 0) return 0;
    if (n == 1) return closed && !curve_at(0).is_line() ? 1 : 0;
    return closed ? n : n - 1;
  }
  // Segment i runs from vertex i to vertex i + 1 (to vertex 0 for the
  // closing segment of a ring).
  SegmentView segment(std::size_t i, bool closed) const {
    const std::size_t n = vertices.size();
    const std::size_t j = (closed && i + 1 == n) ? 0 : i + 1;
    return SegmentView{vertices[i], vertices[j], &curve_at(j)};
  }
  // Sets the curve ending at `vertex`, creating the curve list on demand.
  void set_curve(std::size_t vertex, const Curve& c) {
    if (curves.empty()) {
      if (c.is_line()) return;
      curves.resize(vertices.size());
    }
    curves[vertex] = c;
  }
  // Appends a vertex whose incoming segment is `c` (a line by default).
  void push(const Vertex& v, const Curve& c = Curve{}) {
    vertices.push_back(v);
    if (!curves.empty())
      curves.push_back(c);
    else if (!c.is_line()) {
      curves.resize(vertices.size());
      curves.back() = c;
    }
  }
};

struct EnvelopeBounds {
  double xmin = kNaN, xmax = kNaN, ymin = kNaN, ymax = kNaN;
  double zmin = kNaN, zmax = kNaN, mmin = kNaN, mmax = kNaN;
  bool empty() const { return std::isnan(xmin) || std::isnan(ymin) || std::isnan(xmax) || std::isnan(ymax); }
};

// What is derived from a geometry at first need and kept with it: its
// extent, and the engines' own forms of it.  A shared geometry never
// changes, so what was derived from it stays true of it.
struct Derived {
  // Held while something is derived or a kept form is used: the caller's
  // interpreter lock serialises calls today, and this keeps two threads from
  // making the same form at once should they ever meet here.
  std::recursive_mutex mutex;
  // Set once the extent is made; the extent never changes after, so that
  // readers who find it set read it without the mutex.
  std::atomic<bool> has_extent{false};
  EnvelopeBounds extent;
  bool extent_whole = true;  // no vertex with a NaN x or y was left out of it
  std::shared_ptr<void> engine;  // the planar engine's forms (engine/engine_form.hpp)
  std::atomic<void*> engine_ready{nullptr};  // engine.get(), published once it is set
};

// A geometry's slot for what is derived from it.  A copy starts empty:
// geometries are copied to be edited, and what held for the original need
// not hold for the copy.
class DerivedSlot {
 public:
  DerivedSlot() = default;
  DerivedSlot(const DerivedSlot&) noexcept {}
  DerivedSlot& operator=(const DerivedSlot&) noexcept {
    reset();
    return *this;
  }
  ~DerivedSlot() { reset(); }
  // Made at first call.
  Derived& get() const;
  // Null until made.
  Derived* peek() const { return slot_.load(std::memory_order_acquire); }

 private:
  void reset() noexcept { delete slot_.exchange(nullptr, std::memory_order_acq_rel); }
  mutable std::atomic<Derived*> slot_{nullptr};
};

// The x and y bounds of every vertex of a small polyline or polygon, kept
// with it at first need (see Geometry::flat_bounds).
struct FlatBounds {
  double xmin, ymin, xmax, ymax;
};

// Whether a geometry's flat bounds are known.  A copy starts unknown, like
// DerivedSlot: geometries are copied to be edited.
class FlatBoundsMark {
 public:
  enum State : uint8_t { Unknown, Known, Unbounded };
  FlatBoundsMark() = default;
  FlatBoundsMark(const FlatBoundsMark&) noexcept {}
  FlatBoundsMark& operator=(const FlatBoundsMark&) noexcept {
    state_.store(Unknown, std::memory_order_relaxed);
    return *this;
  }
  State get() const { return static_cast<State>(state_.load(std::memory_order_acquire)); }
  void set(State s) const { state_.store(s, std::memory_order_release); }

 private:
  mutable std::atomic<uint8_t> state_{Unknown};
};

struct Geometry {
  Geometry() : envelope() {}

  GeometryKind kind = GeometryKind::Point;
  bool has_z = false;
  bool has_m = false;
  FlatBoundsMark flat_bounds_mark;        // in the room after the flags
  // Right after the kind: a walk over many small geometries reads both, in
  // one cache line.
  std::vector<Part> parts;                // kinds Polyline, Polygon
  SpatialReferencePtr spatial_reference;  // may be null

  // A geometry is one kind for life, so the point and the bounds share
  // their room; both start as NaN (the point reads the first four bounds).
  // A polyline or polygon of few vertices keeps its flat bounds there, once
  // asked (flat_bounds_mark says whether they are there): such geometries
  // keep no extent, and the bounds are what relations ask them first.
  union {
    Vertex point;                   // kind Point
    EnvelopeBounds envelope;        // kind Envelope
    mutable FlatBounds flat_bounds; // kinds Polyline and Polygon, see above
  };
  std::vector<Vertex> points;  // kind Multipoint
  DerivedSlot derived;         // see Derived; fill only once the geometry is shared

  bool is_multipart() const { return kind == GeometryKind::Polyline || kind == GeometryKind::Polygon; }
  // Whether parts are rings (closed) rather than paths.
  bool closed() const { return kind == GeometryKind::Polygon; }
  bool has_curves() const {
    for (const Part& p : parts)
      if (p.has_curves()) return true;
    return false;
  }
  bool is_empty() const {
    switch (kind) {
      case GeometryKind::Point:
        return std::isnan(point.x) || std::isnan(point.y);
      case GeometryKind::Envelope:
        return envelope.empty();
      case GeometryKind::Multipoint:
        return points.empty();
      default:
        for (const Part& p : parts)
          if (!p.empty()) return false;
        return true;
    }
  }
};

using GeometryPtr = std::shared_ptr<const Geometry>;

// A geometry of the given kind with no coordinates yet, carrying g's z and m
// flags and spatial reference: the start of every result made from g.
inline Geometry header_of(const Geometry& g, GeometryKind kind) {
  Geometry out;
  out.kind = kind;
  out.has_z = g.has_z;
  out.has_m = g.has_m;
  out.spatial_reference = g.spatial_reference;
  return out;
}

// A free-standing segment, as handed out by QX_ImmutablePart_getSegment and
// made by the segment constructors.
struct Segment {
  Vertex start;
  Vertex end;
  Curve curve;
  bool has_z = false;
  bool has_m = false;
  SpatialReferencePtr spatial_reference;
};

using SegmentPtr = std::shared_ptr<const Segment>;

// Stores a ring open: a last vertex that repeats the first (in x and y) is
// dropped, and the curve that ended at it becomes the ring's closing curve.
// Defined in geometry.cpp.
void open_ring(Part& ring);
// A copy of the ring stored open, in storage of its open size.
Part opened_copy(const Part& ring);

// The extent of a geometry, curves included (exact for arcs and Bezier
// curves).  Defined in geometry.cpp.
EnvelopeBounds extent_of(const Geometry& g);
// The same, and in `whole` whether it counts every vertex: a vertex with a
// NaN x or y is left out of the extent.
EnvelopeBounds extent_of(const Geometry& g, bool& whole);
// Up to this many vertices, without curves, the extent is measured at each
// use rather than kept: a record of what is derived costs about 150 bytes,
// ten times the vertices of a small polygon.
inline constexpr std::size_t kKeptExtentFrom = 16;

}  // namespace vaskelith
