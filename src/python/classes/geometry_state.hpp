// What a Python geometry object holds: its model, and the runtime geometry
// its operations use, built at first need and kept while the model stays as
// it was.
//
// A geometry made by an operation starts the other way round: it holds the
// runtime geometry the operation returned and reads its model from it only
// when something asks for the model, so operations chained on results never
// pass through the model.  Such a geometry is made only where reading the
// model back and building a runtime geometry from it again gives the same
// runtime geometry (see `reads_back`).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <type_traits>
#include <utility>

#include "binding/geometry.hpp"
#include "model/model.hpp"
#include "python/pyapi/types.hpp"

namespace ostrel::py::geometry_state {

template <class M>
inline constexpr bool kGeometryKind =
    std::is_same_v<M, model::ZorvGeometryPoint> || std::is_same_v<M, model::ZorvGeometryMultipoint> ||
    std::is_same_v<M, model::ZorvGeometryPolyline> || std::is_same_v<M, model::ZorvGeometryPolygon> ||
    std::is_same_v<M, model::ZorvGeometryEnvelope>;

// The kept runtime geometry of one object.  One that was built from the
// model, or that came from an operation whose model has been read since, is
// a cache: it costs memory that the model already holds in another form.
// Such geometries are counted against one budget for the process and listed
// in the order they were kept; keeping a new one lets go of the oldest while
// the count is over the budget, except that one used since it was kept or
// last passed over goes to the front instead (a second chance, which lets
// go of the least recently used first without reordering at every use).
// Each is built again at its next use.  A geometry made by an operation whose model has not been read is
// the object's only form, and stays.
//
// The count is an estimate made when a geometry is kept: it charges each
// one with the forms the engines may derive from it later (see
// kKeptBytesPerVertex), so that a budget holds whatever operations follow.
class Kept {
 public:
  Kept() = default;
  explicit Kept(rt::KeptGeometry made, bool rings_unchecked = false)
      : rings_unchecked_(rings_unchecked), handle_(made ? made->raw() : nullptr), geometry_(std::move(made)) {}
  Kept(const Kept&) = delete;
  Kept& operator=(const Kept&) = delete;
  ~Kept() { unlink(); }

  const rt::KeptGeometry& geometry() const { return geometry_; }
  // The runtime handle of the geometry, or null: read from the object
  // itself, where the geometry's own handle lies in the block it is shared
  // from, one load further for a walk over many objects.
  QX_GeometryHandle handle() const { return handle_; }
  // Keeps a geometry built from a model of `vertices` vertices.  Others are
  // let go meanwhile, never this one: a caller that holds on to another
  // object's kept geometry without a lease must not build one.
  void keep_built(rt::KeptGeometry built, std::size_t vertices);
  // Counts the geometry made by an operation as a cache from now on, its
  // model (of `vertices` vertices) having been read.
  void count_as_built(std::size_t vertices);
  // Marks the geometry as used since the budget last passed it over: a
  // flag in the object, where moving it to the front of the list would
  // write to two other objects at every use.
  // Written only when it changes: a walk over many kept geometries then
  // leaves their objects' memory clean.
  void touch() {
    if (!used_) used_ = true;
  }
  void let_go() {
    unlink();
    geometry_.reset();
    handle_ = nullptr;
    rings_unchecked_ = false;
  }
  // Whether the geometry, made by an operation, may still hold a ring whose
  // last vertex repeats its first (see `result_reads_back`).
  bool rings_unchecked() const { return rings_unchecked_; }
  void rings_found_open() { rings_unchecked_ = false; }

  // The budget, in bytes, and the estimate of what is counted against it now.
  static std::size_t budget() { return budget_; }
  static std::size_t in_use() { return in_use_; }
  // Sets the budget and lets go of the least recently used geometries until
  // the count is within it.
  static void set_budget(std::size_t bytes);

 private:
  // Enters the list as the newest, or leaves it, without changing the count.
  void link();
  void detach();
  // Leaves the list and the count.
  void unlink();
  // Lets go of the least recently used while over the budget, sparing `keep`.
  static void trim(const Kept* keep);

  // What a collection walk reads, the flags and the handle, first: right
  // after the stamp's epoch (see State).
  bool linked_ = false;
  bool used_ = false;
  bool rings_unchecked_ = false;
  // What the count holds for this one is cost_of(vertices_); a count of
  // vertices beside the flags keeps the object a size class smaller.
  uint32_t vertices_ = 0;
  QX_GeometryHandle handle_ = nullptr;  // geometry_->raw(), or null
  rt::KeptGeometry geometry_;
  Kept* newer_ = nullptr;
  Kept* older_ = nullptr;

  static inline Kept* newest_ = nullptr;
  static inline Kept* oldest_ = nullptr;
  static inline std::size_t in_use_ = 0;
  static std::size_t budget_;
};

// The members a collection walk reads (the cell's pointer, the stamp's
// epoch, the kept geometry's flags and handle) come first and together:
// they then lie in two cache lines of the object wherever it starts.
template <class M>
struct State {
  explicit State(model::Cell<M> model) : cell(std::move(model)) {}
  explicit State(rt::KeptGeometry made, bool rings_unchecked = false)
      : cell(model::Cell<M>::none()), kept(std::move(made), rings_unchecked) {}

  // None until a geometry made by an operation is asked for its model.
  model::Cell<M> cell;
  model::Stamp built_from;
  // The runtime geometry of the model, or none.  With a model, it is good
  // while `built_from` is current: the geometry's cell, and for geometries
  // with parts their collections and every part, which other geometries and
  // live views may share and write.
  Kept kept;
};

template <class M>
State<M>& state_of(PyObject* self) {
  return unbox<State<M>>(self);
}

// Whether no ring of `polygon` ends with its first vertex again.
bool rings_stay_open(const rt::GeometryOwned& polygon);

// Whether the runtime geometry of an object made by an operation stands for
// the model read back from it.  Finding a ring that still repeats its first
// vertex needs two runtime points per ring, so it waits for the first use of
// the geometry or its model: most results are only ever let go.
template <class M>
bool result_reads_back(State<M>& s) {
  if (!s.kept.rings_unchecked()) return true;
  if (!rings_stay_open(*s.kept.geometry())) return false;
  s.kept.rings_found_open();
  return true;
}

// The model's cell, read from the kept runtime geometry first when the
// object was made by an operation.  The kept geometry stays good for it,
// unless its rings make it another geometry than the model's.
template <class M>
model::Cell<M>& model_cell(PyObject* self) {
  State<M>& s = state_of<M>(self);
  if (!s.cell.has_value()) {
    const bool exact = result_reads_back(s);
    model::Cell<M> cell(M::read_back(*s.kept.geometry()));
    if (!exact) {
      s.cell = std::move(cell);
      s.kept.let_go();
      return s.cell;
    }
    model::Stamp stamp;
    stamp.watch(cell);
    std::size_t vertices;
    {
      auto g = cell.read();
      g->watch(stamp);
      vertices = g->vertex_count();
    }
    s.built_from = std::move(stamp);
    s.cell = std::move(cell);
    s.kept.count_as_built(vertices);
  }
  return s.cell;
}

// Whether a kept runtime geometry stands for the object: nothing it was
// built from has changed (and, for a result, its rings are known to stand
// for its model).
template <class M>
[[gnu::always_inline]] inline bool kept_current(State<M>& s) {
  return s.cell.has_value() ? s.built_from.current() : !s.kept.rings_unchecked();
}

// The kept runtime geometry while it stands for the object, else null;
// builds nothing, so that it lets go of no other object's.
template <class M>
[[gnu::always_inline]] inline const rt::GeometryOwned* kept_ready(PyObject* self) {
  State<M>& s = state_of<M>(self);
  if (s.kept.geometry() && kept_current(s)) {
    s.kept.touch();
    return s.kept.geometry().get();
  }
  return nullptr;
}

// kept_ready of items[0], items[1]... while each is exactly of `type` and
// ready, at most `count` of them: their runtime handles go to `out`, and
// the number gathered is returned.  The loop of a collection walk over many
// small items, which waits on memory more than it computes: the objects are
// fetched a few items ahead, and what each handle points to as it is
// gathered (the runtime's walk reads that next), so that the loads of
// several items overlap.
template <class M>
std::size_t kept_ready_run(PyObject* const* items, std::size_t count, PyTypeObject* type, QX_GeometryHandle* out) {
  constexpr std::size_t kFetchAhead = 16;
  std::size_t i = 0;
  for (; i < count; ++i) {
    if (i + kFetchAhead < count) {
      // The members read lie within the first 72 bytes of an object, which
      // starts 0, 16, 32 or 48 bytes into a line: two lines at most.
      const char* later = reinterpret_cast<const char*>(items[i + kFetchAhead]);
      __builtin_prefetch(later);
      __builtin_prefetch(later + 64);
    }
    PyObject* item = items[i];
    if (Py_TYPE(item) != type) break;
    State<M>& s = state_of<M>(item);
    const QX_GeometryHandle h = s.kept.handle();
    if (!h || !kept_current(s)) break;
    s.kept.touch();
    __builtin_prefetch(h);
    out[i] = h;
  }
  return i;
}

// The runtime geometry of the object's model, as it is now: the kept one
// while nothing it was built from has changed, else a new one, which is kept.
template <class M>
const rt::KeptGeometry& kept_ref(PyObject* self) {
  State<M>& s = state_of<M>(self);
  if (!s.cell.has_value() && !result_reads_back(s)) (void)model_cell<M>(self);
  if (kept_ready<M>(self)) return s.kept.geometry();
  s.kept.let_go();
  const model::Cell<M>& cell = s.cell;
  model::Stamp stamp;
  std::size_t vertices = 0;
  rt::GeometryOwned made = [&] {
    auto g = cell.read();
    stamp.watch(cell);
    g->watch(stamp);
    vertices = g->vertex_count();
    return g->as_geometry_owned();
  }();
  s.kept.keep_built(rt::keep(std::move(made)), vertices);
  s.built_from = std::move(stamp);
  return s.kept.geometry();
}

// The same, shared with an operation for as long as it runs.
template <class M>
rt::GeometryLease kept_geometry(PyObject* self) {
  return rt::GeometryLease(kept_ref<M>(self));
}

// The same, lent: good only until Python code runs, the object goes or
// another object keeps a geometry it builds (which may let this one go).
template <class M>
const rt::GeometryOwned& kept_borrowed(PyObject* self) {
  return *kept_ref<M>(self);
}

// The runtime geometry of an object made by an operation whose model has not
// been read yet, or null.
template <class M>
const rt::GeometryOwned* unread(PyObject* self) {
  State<M>& s = state_of<M>(self);
  return s.cell.has_value() ? nullptr : s.kept.geometry().get();
}

// What the model read back from `g` will answer to has_z, has_m and
// is_empty, asked of `g` itself (so a result checked before the next
// operation is not read back for it).
struct Flags {
  bool has_z;
  bool has_m;
  bool is_empty;
};
Flags read_back_flags(const rt::GeometryOwned& g, rt::GeometryType kind);

template <class M>
constexpr rt::GeometryType kind_of() {
  if constexpr (std::is_same_v<M, model::ZorvGeometryPoint>) return rt::GeometryType::Point;
  if constexpr (std::is_same_v<M, model::ZorvGeometryEnvelope>) return rt::GeometryType::Envelope;
  if constexpr (std::is_same_v<M, model::ZorvGeometryPolyline>) return rt::GeometryType::Polyline;
  if constexpr (std::is_same_v<M, model::ZorvGeometryPolygon>) return rt::GeometryType::Polygon;
  return rt::GeometryType::Multipoint;
}

// Lets go of the kept runtime geometry once the model has been changed
// through the object itself (a change through a shared cell is caught by the
// stamp instead).
template <class M>
void drop_kept(PyObject* self) {
  State<M>& s = state_of<M>(self);
  if (s.cell.has_value()) s.kept.let_go();
}

// Whether the model read back from `g` builds the same runtime geometry
// again, so that an object may hold `g` in place of its model and answer as
// the model would.  Curves are read back through their defining points,
// which need not give the same curve to the last bit; a polygon's ring of
// fewer than three vertices fails the read-back, whose error must come when
// the result is made; z and m flags with no vertex to carry them, and a ring
// whose last vertex repeats its first, are lost when the model is built.
// The last is left to `rings_stay_open`, asked at first use.
enum class ReadBack { Exact, ExactIfRingsOpen, Differs };
ReadBack reads_back(const rt::GeometryOwned& g, rt::GeometryType kind);

}  // namespace ostrel::py::geometry_state
