// What a Python geometry object holds: its model, and the runtime geometry
// its operations use, built at first need and kept while the model stays as
// it was.
//
// A geometry made by an operation starts the other way round: it holds the
// runtime geometry the operation returned and reads its model from it only
// when something asks for the model, so operations chained on results never
// pass through the model.  Such a geometry is made only where reading the
// model back and building a runtime geometry from it again gives the same
// runtime geometry (see `reads_back_exactly`).
#pragma once

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
// model is also entered in a list of all such, which a full garbage
// collection empties: kept geometries cost memory that the model already
// holds in another form, and a program that asks for a full collection
// wants memory back (each is built again at its next use).  A geometry made
// by an operation stays, since it is the object's only form until its model
// is read.
class Kept {
 public:
  Kept() = default;
  explicit Kept(rt::KeptGeometry made) : geometry_(std::move(made)) {}
  Kept(const Kept&) = delete;
  Kept& operator=(const Kept&) = delete;
  ~Kept() { unlink(); }

  const rt::KeptGeometry& geometry() const { return geometry_; }
  // Keeps a geometry built from the model.
  void keep_built(rt::KeptGeometry built);
  void let_go() {
    unlink();
    geometry_.reset();
  }

  // Lets go of every kept geometry that was built from a model.
  static void let_go_of_built();

 private:
  void unlink();

  rt::KeptGeometry geometry_;
  bool linked_ = false;
  Kept* prev_ = nullptr;
  Kept* next_ = nullptr;
};

template <class M>
struct State {
  explicit State(model::Cell<M> model) : cell(std::move(model)) {}
  explicit State(rt::KeptGeometry made) : kept(std::move(made)) {}

  // Absent until a geometry made by an operation is asked for its model.
  std::optional<model::Cell<M>> cell;
  // The runtime geometry of the model, or none.  With a model, it is good
  // while `built_from` is current: the geometry's cell, and for geometries
  // with parts their collections and every part, which other geometries and
  // live views may share and write.
  Kept kept;
  model::Stamp built_from;
};

template <class M>
State<M>& state_of(PyObject* self) {
  return unbox<State<M>>(self);
}

// The model's cell, read from the kept runtime geometry first when the
// object was made by an operation.  The kept geometry stays good for it.
template <class M>
model::Cell<M>& model_cell(PyObject* self) {
  State<M>& s = state_of<M>(self);
  if (!s.cell) {
    model::Cell<M> cell(M::read_back(*s.kept.geometry()));
    model::Stamp stamp;
    stamp.watch(cell);
    {
      auto g = cell.read();
      g->watch(stamp);
    }
    s.built_from = std::move(stamp);
    s.cell = std::move(cell);
  }
  return *s.cell;
}

// The runtime geometry of the object's model, as it is now: the kept one
// while nothing it was built from has changed, else a new one, which is kept.
template <class M>
const rt::KeptGeometry& kept_ref(PyObject* self) {
  State<M>& s = state_of<M>(self);
  if (s.kept.geometry() && (!s.cell || s.built_from.current())) return s.kept.geometry();
  s.kept.let_go();
  const model::Cell<M>& cell = *s.cell;
  model::Stamp stamp;
  rt::GeometryOwned made = [&] {
    auto g = cell.read();
    stamp.watch(cell);
    g->watch(stamp);
    return g->as_geometry_owned();
  }();
  s.kept.keep_built(rt::keep(std::move(made)));
  s.built_from = std::move(stamp);
  return s.kept.geometry();
}

// The same, shared with an operation for as long as it runs.
template <class M>
rt::GeometryLease kept_geometry(PyObject* self) {
  return rt::GeometryLease(kept_ref<M>(self));
}

// The same, lent: good only until Python code runs or the object goes.
template <class M>
const rt::GeometryOwned& kept_borrowed(PyObject* self) {
  return *kept_ref<M>(self);
}

// The runtime geometry of an object made by an operation whose model has not
// been read yet, or null.
template <class M>
const rt::GeometryOwned* unread(PyObject* self) {
  State<M>& s = state_of<M>(self);
  return s.cell ? nullptr : s.kept.geometry().get();
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
  if (s.cell) s.kept.let_go();
}

// Whether the model read back from `g` builds the same runtime geometry
// again, so that an object may hold `g` in place of its model and answer as
// the model would.  Curves are read back through their defining points,
// which need not give the same curve to the last bit; a polygon's ring of
// fewer than three vertices fails the read-back, whose error must come when
// the result is made; z and m flags with no vertex to carry them, and a ring
// whose last vertex repeats its first, are lost when the model is built.
bool reads_back_exactly(const rt::GeometryOwned& g, rt::GeometryType kind);

// Enters the hook that lets go of kept geometries built from models on full
// garbage collections (see Kept); run once, at import.  Without it they
// simply stay until their objects go.
void watch_collections();

}  // namespace ostrel::py::geometry_state
