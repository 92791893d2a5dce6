#include "python/classes/segment.hpp"

#include <string>

#include "python/classes/common.hpp"
#include "python/pyapi/args.hpp"
#include "python/pyapi/trampoline.hpp"
#include "python/pyapi/types.hpp"

namespace ostrel::py {

namespace {

using model::ZorvCoord;

SegmentState& state(PyObject* self) { return unbox<SegmentState>(self); }

// Readers may not look while an item write is converting its arguments.
SegmentState& read_state(PyObject* self) {
  SegmentState& s = state(self);
  if (s.write_borrowed) raise(PyExc_RuntimeError, "Already mutably borrowed");
  return s;
}
SegmentState& write_state(PyObject* self) {
  SegmentState& s = state(self);
  if (s.write_borrowed) raise(PyExc_RuntimeError, "Already borrowed");
  return s;
}

// Clears the write borrow however the item write ends.
struct WriteBorrow {
  explicit WriteBorrow(SegmentState& s) : s_(s) { s_.write_borrowed = true; }
  ~WriteBorrow() { s_.write_borrowed = false; }
  WriteBorrow(const WriteBorrow&) = delete;
  WriteBorrow& operator=(const WriteBorrow&) = delete;
  SegmentState& s_;
};

Ref opt_f64(std::optional<double> v) { return v ? to_py(*v) : none(); }

// ---- components ----

enum Component : intptr_t { kX, kY, kZ, kM };

Ref get_component(PyObject* self, void* closure) {
  const ZorvCoord& c = read_state(self).coord;
  switch (static_cast<Component>(reinterpret_cast<intptr_t>(closure))) {
    case kX: return to_py(c.x());
    case kY: return to_py(c.y());
    case kZ: return opt_f64(c.z());
    case kM: return opt_f64(c.m());
  }
  return none();
}

// The whole vertex goes back to the parent; a position past its end changes nothing.
void write_back_coord(SegmentState& s) {
  if (s.part_parent) {
    auto g = s.part_parent->lock_or_fatal("Lock poisoned");
    (void)g->set_coord(s.index, s.coord);
  } else if (s.curve_parent) {
    auto g = s.curve_parent->lock_or_fatal("Lock poisoned");
    (void)g->set_coord(s.index, s.coord);
  }
}

int set_component(PyObject* self, PyObject* value, void* closure) {
  return trampoline_int([&] {
    if (!value) refuse_delete();
    double v = arg_f64(value, "val");
    SegmentState& s = write_state(self);
    ZorvCoord next = s.coord;
    switch (static_cast<Component>(reinterpret_cast<intptr_t>(closure))) {
      case kX: next = s.coord.mod_x(v); break;
      case kY: next = s.coord.mod_y(v); break;
      case kZ: next = s.coord.mod_z(v); break;
      case kM: next = s.coord.mod_m(v); break;
    }
    s.coord = next;
    write_back_coord(s);
    return 0;
  });
}

PyObject* getter_component(PyObject* self, void* closure) {
  return trampoline([&] { return get_component(self, closure); });
}

// ---- item access ----

Py_ssize_t seg_len(PyObject* self) {
  try {
    return static_cast<Py_ssize_t>(read_state(self).coord.len());
  } catch (...) {
    set_python_error_from_current();
    return -1;
  }
}

Ref item_read(PyObject* self, PyObject* key) {
  int64_t i = arg_i64(key, "key");
  const ZorvCoord& c = read_state(self).coord;
  uint64_t n = common::py_index(i, c.len(), "Coord", 0);
  return to_py(c.at(n));
}

PyObject* seg_subscript(PyObject* self, PyObject* key) {
  return trampoline([&] { return item_read(self, key); });
}

PyObject* seg_sq_item(PyObject* self, Py_ssize_t i) {
  return trampoline([&] {
    Ref key = check(PyLong_FromSsize_t(i));
    return item_read(self, key.get());
  });
}

int seg_ass_subscript(PyObject* self, PyObject* key, PyObject* value) {
  return trampoline_int([&] {
    if (!value) raise(PyExc_NotImplementedError, "can't delete item");
    SegmentState& s = write_state(self);
    WriteBorrow borrow(s);
    uint64_t idx = convert_arg("idx", [&] { return common::to_u64(key); });
    double v = arg_f64(value, "val");
    s.coord = s.coord.mod_idx(idx, v);
    write_back_coord(s);
    return 0;
  });
}

int seg_sq_ass_item(PyObject* self, Py_ssize_t i, PyObject* value) {
  Ref key = Ref::steal(PyLong_FromSsize_t(i));
  if (!key) return -1;
  return seg_ass_subscript(self, key.get(), value);
}

// ---- curve fields ----

// The closure names a field: kind * 16 + position in the payload.
enum CurveField : intptr_t {
  kInteriorX = 0x10, kInteriorY,
  kCenterX = 0x20, kCenterY, kRotation, kAxis, kRatio, kMinor, kClockwise,
  kCtrl1X = 0x30, kCtrl1Y, kCtrl2X, kCtrl2Y,
};

double* float_field(model::CurveData& curve, CurveField f) {
  if (auto* a = std::get_if<model::CircularArc>(&curve)) {
    if (f == kInteriorX) return &a->interior_x;
    if (f == kInteriorY) return &a->interior_y;
  } else if (auto* e = std::get_if<model::EllipticArc>(&curve)) {
    switch (f) {
      case kCenterX: return &e->center_x;
      case kCenterY: return &e->center_y;
      case kRotation: return &e->rotation;
      case kAxis: return &e->axis;
      case kRatio: return &e->ratio;
      default: break;
    }
  } else if (auto* b = std::get_if<model::BezierCurve>(&curve)) {
    switch (f) {
      case kCtrl1X: return &b->ctrl1_x;
      case kCtrl1Y: return &b->ctrl1_y;
      case kCtrl2X: return &b->ctrl2_x;
      case kCtrl2Y: return &b->ctrl2_y;
      default: break;
    }
  }
  return nullptr;
}

bool* bool_field(model::CurveData& curve, CurveField f) {
  if (auto* e = std::get_if<model::EllipticArc>(&curve)) {
    if (f == kMinor) return &e->minor;
    if (f == kClockwise) return &e->clockwise;
  }
  return nullptr;
}

PyObject* get_curve_field(PyObject* self, void* closure) {
  return trampoline([&]() -> Ref {
    auto f = static_cast<CurveField>(reinterpret_cast<intptr_t>(closure));
    SegmentState& s = read_state(self);
    if (double* d = float_field(s.curve, f)) return to_py(*d);
    if (bool* b = bool_field(s.curve, f)) return to_py(*b);
    fatal("Internal error: curve field read on a segment of another kind");
  });
}

int set_curve_field(PyObject* self, PyObject* value, void* closure) {
  return trampoline_int([&] {
    if (!value) refuse_delete();
    auto f = static_cast<CurveField>(reinterpret_cast<intptr_t>(closure));
    bool is_flag = f == kMinor || f == kClockwise;
    double d = 0;
    bool b = false;
    if (is_flag) {
      b = convert_arg("val", [&] { return common::to_bool(value); });
    } else {
      d = arg_f64(value, "val");
    }
    SegmentState& s = write_state(self);
    if (is_flag) {
      bool* field = bool_field(s.curve, f);
      if (!field) fatal("Internal error: curve field written on a segment of another kind");
      *field = b;
    } else {
      double* field = float_field(s.curve, f);
      if (!field) fatal("Internal error: curve field written on a segment of another kind");
      *field = d;
    }
    update_parent_curve(s.curve_parent, s.index, s.curve);
    return 0;
  });
}

// ---- types ----

PyGetSetDef segment_getset[] = {
    {"x", getter_component, nullptr, nullptr, reinterpret_cast<void*>(kX)},
    {"y", getter_component, nullptr, nullptr, reinterpret_cast<void*>(kY)},
    {"z", getter_component, nullptr, nullptr, reinterpret_cast<void*>(kZ)},
    {"m", getter_component, nullptr, nullptr, reinterpret_cast<void*>(kM)},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyGetSetDef writable_getset[] = {
    {"x", getter_component, set_component, nullptr, reinterpret_cast<void*>(kX)},
    {"y", getter_component, set_component, nullptr, reinterpret_cast<void*>(kY)},
    {"z", getter_component, set_component, nullptr, reinterpret_cast<void*>(kZ)},
    {"m", getter_component, set_component, nullptr, reinterpret_cast<void*>(kM)},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

#define CURVE_FIELD(name, id) {name, get_curve_field, set_curve_field, nullptr, reinterpret_cast<void*>(id)}

PyGetSetDef circular_getset[] = {
    CURVE_FIELD("interior_x", kInteriorX),
    CURVE_FIELD("interior_y", kInteriorY),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};
PyGetSetDef elliptic_getset[] = {
    CURVE_FIELD("center_x", kCenterX), CURVE_FIELD("center_y", kCenterY), CURVE_FIELD("rotation", kRotation),
    CURVE_FIELD("axis", kAxis),        CURVE_FIELD("ratio", kRatio),      CURVE_FIELD("minor", kMinor),
    CURVE_FIELD("clockwise", kClockwise),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};
PyGetSetDef bezier_getset[] = {
    CURVE_FIELD("ctrl1_x", kCtrl1X), CURVE_FIELD("ctrl1_y", kCtrl1Y), CURVE_FIELD("ctrl2_x", kCtrl2X),
    CURVE_FIELD("ctrl2_y", kCtrl2Y),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

#undef CURVE_FIELD

PyTypeObject* build_segment() {
  static PyType_Slot slots[] = {
      {Py_tp_new, reinterpret_cast<void*>(no_constructor_new)},
      {Py_tp_dealloc, reinterpret_cast<void*>(boxed_dealloc<SegmentState>)},
      {Py_tp_getset, segment_getset},
      {Py_mp_length, reinterpret_cast<void*>(seg_len)},
      {Py_mp_subscript, reinterpret_cast<void*>(seg_subscript)},
      {Py_sq_item, reinterpret_cast<void*>(seg_sq_item)},
      {0, nullptr},
  };
  static PyType_Spec spec = {"ostrel_geometry.Segment", sizeof(Boxed<SegmentState>), 0,
                             Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE, slots};
  return build_type(&spec);
}

// A writable subclass of Segment: Coord and CurveSegment.
PyTypeObject* build_writable(const char* name, unsigned long extra_flags) {
  static PyType_Slot slots[] = {
      {Py_tp_getset, writable_getset},
      {Py_mp_ass_subscript, reinterpret_cast<void*>(seg_ass_subscript)},
      {Py_sq_ass_item, reinterpret_cast<void*>(seg_sq_ass_item)},
      {0, nullptr},
  };
  // PyType_FromSpec copies what it needs from the spec.
  PyType_Spec spec = {name, 0, 0, static_cast<unsigned int>(Py_TPFLAGS_DEFAULT | extra_flags), slots};
  return build_type(&spec, Segment::type());
}

PyTypeObject* build_curve_class(const char* name, PyGetSetDef* getset) {
  PyType_Slot slots[] = {
      {getset ? Py_tp_getset : 0, getset},
      {0, nullptr},
  };
  PyType_Spec spec = {name, 0, 0, Py_TPFLAGS_DEFAULT, slots};
  return build_type(&spec, CurveSegment::type());
}

}  // namespace

PyTypeObject* Segment::type() {
  static PyTypeObject* t = build_segment();
  return t;
}

PyTypeObject* Coord::type() {
  static PyTypeObject* t = build_writable("ostrel_geometry.Coord", 0);
  return t;
}
PyTypeObject* CurveSegment::type() {
  static PyTypeObject* t = build_writable("ostrel_geometry.CurveSegment", Py_TPFLAGS_BASETYPE);
  return t;
}
PyTypeObject* LinearSegment::type() {
  static PyTypeObject* t = build_curve_class("ostrel_geometry.Linear", nullptr);
  return t;
}
PyTypeObject* CircularArcSegment::type() {
  static PyTypeObject* t = build_curve_class("ostrel_geometry.CircularArc", circular_getset);
  return t;
}
PyTypeObject* EllipticArcSegmentClass::type() {
  static PyTypeObject* t = build_curve_class("ostrel_geometry.EllipticArc", elliptic_getset);
  return t;
}
PyTypeObject* BezierCurveSegment::type() {
  static PyTypeObject* t = build_curve_class("ostrel_geometry.BezierCurve", bezier_getset);
  return t;
}

Ref Coord::make(const model::ZorvCoord& c, std::optional<model::Cell<model::ZorvPart>> parent, uint64_t index) {
  Ref obj = make_boxed<SegmentState>(Coord::type());
  SegmentState& s = state(obj.get());
  s.coord = c;
  s.part_parent = std::move(parent);
  s.index = index;
  return obj;
}

Ref from_coord_curve(const model::ZorvCoord& c, const model::CurveData& curve,
                     std::optional<model::Cell<model::ZorvCurvePart>> parent, uint64_t index) {
  PyTypeObject* type = nullptr;
  switch (curve.index()) {
    case 0: type = LinearSegment::type(); break;
    case 1: type = CircularArcSegment::type(); break;
    case 2: type = EllipticArcSegmentClass::type(); break;
    default: type = BezierCurveSegment::type(); break;
  }
  Ref obj = make_boxed<SegmentState>(type);
  SegmentState& s = state(obj.get());
  s.coord = c;
  s.curve = curve;
  s.curve_parent = std::move(parent);
  s.index = index;
  return obj;
}

void update_parent_curve(const std::optional<model::Cell<model::ZorvCurvePart>>& parent, uint64_t index,
                         const model::CurveData& curve) {
  if (!parent) return;
  auto g = parent->lock_or_fatal("Lock poisoned");
  (void)g->set_curve(index, curve);
}

namespace {
Registrar reg_segment("ostrel_geometry", "Segment", &Segment::type);
Registrar reg_coord("ostrel_geometry", "Coord", &Coord::type);
Registrar reg_curve_segment("ostrel_geometry", "CurveSegment", &CurveSegment::type);
Registrar reg_linear("ostrel_geometry", "Linear", &LinearSegment::type);
Registrar reg_circular("ostrel_geometry", "CircularArc", &CircularArcSegment::type);
Registrar reg_elliptic("ostrel_geometry", "EllipticArc", &EllipticArcSegmentClass::type);
Registrar reg_bezier("ostrel_geometry", "BezierCurve", &BezierCurveSegment::type);
}  // namespace

}  // namespace ostrel::py
