#include "python/classes/enums.hpp"

#include <functional>
#include <string>

#include "python/classes/common.hpp"
#include "python/pyapi/args.hpp"
#include "python/pyapi/trampoline.hpp"
#include "python/pyapi/types.hpp"

namespace ostrel::py {

namespace {

// ---- the three code enumerations ----

struct Member {
  const char* name;
  int64_t code;
};

struct EnumValue {
  int64_t code;
};

const Member kAreaUnitIds[] = {
    {"Other", 0},
    {"Hectares", 109401},
    {"Acres", 109402},
    {"SquareMeters", 109404},
    {"SquareFeet", 109405},
    {"SquareKilometers", 109414},
    {"SquareMiles", 109439},
    {"SquareYards", 109442},
    {"SquareDecimeters", 109450},
    {"SquareCentimeters", 109451},
    {"SquareMillimeters", 109452},
};

const Member kLinearUnitIds[] = {
    {"Other", 0},          {"Millimeters", 1025}, {"Centimeters", 1033}, {"Meters", 9001},  {"Feet", 9002},
    {"NauticalMiles", 9030}, {"Kilometers", 9036}, {"Miles", 9093},       {"Yards", 9096},   {"Inches", 109008},
};

const Member kCurveTypes[] = {
    {"Geodesic", 0}, {"Loxodrome", 1}, {"GreatElliptic", 2}, {"NormalSection", 3}, {"ShapePreserving", 4},
};

struct EnumSpec {
  const char* class_name;
  const Member* members;
  std::size_t count;
};

const EnumSpec kAreaSpec{"AreaUnitId", kAreaUnitIds, std::size(kAreaUnitIds)};
const EnumSpec kLinearSpec{"LinearUnitId", kLinearUnitIds, std::size(kLinearUnitIds)};
const EnumSpec kCurveSpec{"GeodeticCurveType", kCurveTypes, std::size(kCurveTypes)};

int64_t code_of(PyObject* self) { return unbox<EnumValue>(self).code; }

template <const EnumSpec& S>
PyObject* enum_repr(PyObject* self) {
  return trampoline([&] {
    int64_t code = code_of(self);
    for (std::size_t i = 0; i < S.count; ++i) {
      if (S.members[i].code == code) return to_py(std::string(S.class_name) + "." + S.members[i].name);
    }
    return to_py(std::string(S.class_name) + "(" + std::to_string(code) + ")");
  });
}

PyObject* enum_int(PyObject* self) { return PyLong_FromLongLong(code_of(self)); }

template <const EnumSpec& S>
PyTypeObject* build_enum(const char* qualified) {
  static PyType_Slot slots[] = {
      {Py_tp_new, reinterpret_cast<void*>(no_constructor_new)},
      {Py_tp_dealloc, reinterpret_cast<void*>(boxed_dealloc<EnumValue>)},
      {Py_tp_repr, reinterpret_cast<void*>(enum_repr<S>)},
      {Py_tp_str, reinterpret_cast<void*>(enum_repr<S>)},
      {Py_nb_int, reinterpret_cast<void*>(enum_int)},
      {0, nullptr},
  };
  PyType_Spec spec = {qualified, sizeof(Boxed<EnumValue>), 0, Py_TPFLAGS_DEFAULT, slots};
  PyTypeObject* type = build_type(&spec);
  for (std::size_t i = 0; i < S.count; ++i) {
    Ref member = make_boxed<EnumValue>(type, EnumValue{S.members[i].code});
    check_status(PyObject_SetAttrString(reinterpret_cast<PyObject*>(type), S.members[i].name, member.get()));
  }
  return type;
}

template <const EnumSpec& S>
int64_t extract_member(PyObject* obj, PyTypeObject* type, const char* arg) {
  expect_instance(obj, type, S.class_name, arg);
  return code_of(obj);
}

// ---- GeometryExtendOptions ----

struct Flags {
  uint32_t bits;
};

PyTypeObject* extend_options_type() { return GeometryExtendOptions::type(); }

Ref make_flags(uint32_t bits) { return make_boxed<Flags>(extend_options_type(), Flags{bits}); }

bool is_flags(PyObject* obj) { return PyObject_TypeCheck(obj, extend_options_type()); }

// & and |: only between two flag sets; anything else is left to Python,
// which then raises its TypeError for the operand types.
template <class Op>
PyObject* flags_binary(PyObject* a, PyObject* b) {
  return trampoline([&]() -> Ref {
    if (!is_flags(a) || !is_flags(b)) return Ref::borrow(Py_NotImplemented);
    return make_flags(Op{}(unbox<Flags>(a).bits, unbox<Flags>(b).bits));
  });
}

PyObject* flags_invert(PyObject* a) {
  return trampoline([&] { return make_flags(~unbox<Flags>(a).bits); });
}

PyObject* flags_repr(PyObject* self) {
  return trampoline([&] { return to_py("GeometryExtendOptions(" + std::to_string(unbox<Flags>(self).bits) + ")"); });
}

PyTypeObject* build_extend_options() {
  static PyType_Slot slots[] = {
      {Py_tp_new, reinterpret_cast<void*>(no_constructor_new)},
      {Py_tp_dealloc, reinterpret_cast<void*>(boxed_dealloc<Flags>)},
      {Py_tp_doc, const_cast<char*>("Flags for the type of extend operation to perform.")},
      {Py_tp_repr, reinterpret_cast<void*>(flags_repr)},
      {Py_tp_str, reinterpret_cast<void*>(flags_repr)},
      {Py_nb_and, reinterpret_cast<void*>(flags_binary<std::bit_and<uint32_t>>)},
      {Py_nb_or, reinterpret_cast<void*>(flags_binary<std::bit_or<uint32_t>>)},
      {Py_nb_invert, reinterpret_cast<void*>(flags_invert)},
      {0, nullptr},
  };
  static PyType_Spec spec = {"ostrel_geometry.GeometryExtendOptions", sizeof(Boxed<Flags>), 0, Py_TPFLAGS_DEFAULT,
                             slots};
  PyTypeObject* type = build_type(&spec);
  const std::pair<const char*, uint32_t> attrs[] = {
      {"DEFAULT", 0},
      {"RELOCATE_ENDS", 1},
      {"KEEP_END_ATTRIBUTES", 2},
      {"NO_END_ATTRIBUTES", 4},
      {"DO_NOT_EXTEND_FROM_START_POINT", 8},
      {"DO_NOT_EXTEND_FROM_END_POINT", 16},
  };
  for (const auto& [name, bits] : attrs) {
    Ref value = make_boxed<Flags>(type, Flags{bits});
    check_status(PyObject_SetAttrString(reinterpret_cast<PyObject*>(type), name, value.get()));
  }
  return type;
}

// ---- AreaUnit ----

struct UnitBox {
  rt::AreaUnit unit{rt::adopt, nullptr};
};

UnitBox& unit_box(PyObject* self) { return unbox<UnitBox>(self); }

PyObject* unit_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return trampoline([&] {
    static const char* kwlist[] = {"unit_id", nullptr};
    PyObject* value = nullptr;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O:AreaUnit", const_cast<char**>(kwlist), &value)) throw_py();
    int32_t code = AreaUnitId::extract(value, "unit_id");
    rt::AreaUnit unit = AreaUnit::new_from_unit_id(code);
    Ref obj = make_boxed<UnitBox>(type);
    unit_box(obj.get()).unit = std::move(unit);
    return obj;
  });
}

Ref unit_area_unit_id(PyObject* self) {
  return AreaUnitId::make(static_cast<int32_t>(AreaUnit::unit(self).area_unit_id()));
}

Ref unit_try_clone(PyObject* self) { return AreaUnit::wrap(AreaUnit::try_clone(self)); }

const rt::AreaUnit& unit_arg(PyObject* obj, const char* arg) {
  expect_instance(obj, AreaUnit::type(), "AreaUnit", arg);
  return AreaUnit::unit(obj);
}

Ref unit_convert_from(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto a = match<2>({"AreaUnit.convert_from()", {"from_unit", "area"}, 2}, args, nargs, kwnames);
  const rt::AreaUnit& from = unit_arg(a[0], "from_unit");
  double area = arg_f64(a[1], "area");
  return to_py(AreaUnit::unit(self).convert_from(from, area));
}

Ref unit_convert_to(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto a = match<2>({"AreaUnit.convert_to()", {"to_unit", "area"}, 2}, args, nargs, kwnames);
  const rt::AreaUnit& to = unit_arg(a[0], "to_unit");
  double area = arg_f64(a[1], "area");
  return to_py(AreaUnit::unit(self).convert_to(to, area));
}

Ref unit_to_square_meters(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto a = match<1>({"AreaUnit.to_square_meters()", {"area"}, 1}, args, nargs, kwnames);
  double area = arg_f64(a[0], "area");
  return to_py(AreaUnit::unit(self).to_square_meters(area));
}

Ref unit_from_square_meters(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto a = match<1>({"AreaUnit.from_square_meters()", {"area"}, 1}, args, nargs, kwnames);
  double area = arg_f64(a[0], "area");
  return to_py(AreaUnit::unit(self).from_square_meters(area));
}

PyMethodDef unit_methods[] = {
    {"area_unit_id", OSTREL_NOARGS(unit_area_unit_id), METH_NOARGS, "area_unit_id($self)\n--\n\nThe AreaUnitId of this unit."},
    {"try_clone", OSTREL_NOARGS(unit_try_clone), METH_NOARGS, "try_clone($self)\n--\n\nA new AreaUnit for the same unit."},
    {"convert_from", OSTREL_METH_FASTCALL(unit_convert_from), METH_FASTCALL | METH_KEYWORDS,
     "convert_from($self, from_unit, area)\n--\n\nConvert `area`, given in the AreaUnit `from_unit`, into this unit."},
    {"convert_to", OSTREL_METH_FASTCALL(unit_convert_to), METH_FASTCALL | METH_KEYWORDS,
     "convert_to($self, to_unit, area)\n--\n\nConvert `area`, given in this unit, into the AreaUnit `to_unit`."},
    {"to_square_meters", OSTREL_METH_FASTCALL(unit_to_square_meters), METH_FASTCALL | METH_KEYWORDS,
     "to_square_meters($self, area)\n--\n\nConvert `area`, given in this unit, into square meters."},
    {"from_square_meters", OSTREL_METH_FASTCALL(unit_from_square_meters), METH_FASTCALL | METH_KEYWORDS,
     "from_square_meters($self, area)\n--\n\nConvert `area`, given in square meters, into this unit."},
    {nullptr, nullptr, 0, nullptr},
};

PyTypeObject* build_area_unit() {
  static PyType_Slot slots[] = {
      {Py_tp_new, reinterpret_cast<void*>(unit_new)},
      {Py_tp_dealloc, reinterpret_cast<void*>(boxed_dealloc<UnitBox>)},
      {Py_tp_doc, const_cast<char*>("AreaUnit(unit_id)\n--\n\n")},
      {Py_tp_methods, unit_methods},
      {0, nullptr},
  };
  static PyType_Spec spec = {"ostrel_geometry.AreaUnit", sizeof(Boxed<UnitBox>), 0, Py_TPFLAGS_DEFAULT, slots};
  return build_type(&spec);
}

Registrar reg_area_unit("ostrel_geometry", "AreaUnit", &AreaUnit::type);
Registrar reg_area_unit_id("ostrel_geometry", "AreaUnitId", &AreaUnitId::type);
Registrar reg_curve_type("ostrel_geometry", "GeodeticCurveType", &GeodeticCurveType::type);
Registrar reg_extend("ostrel_geometry", "GeometryExtendOptions", &GeometryExtendOptions::type);
Registrar reg_linear("ostrel_geometry", "LinearUnitId", &LinearUnitId::type);

}  // namespace

// ---- AreaUnitId ----

PyTypeObject* AreaUnitId::type() {
  static PyTypeObject* t = build_enum<kAreaSpec>("ostrel_geometry.AreaUnitId");
  return t;
}
Ref AreaUnitId::make(int32_t code) { return make_boxed<EnumValue>(type(), EnumValue{code}); }
int32_t AreaUnitId::value(PyObject* member) { return static_cast<int32_t>(code_of(member)); }
int32_t AreaUnitId::extract(PyObject* obj, const char* arg) {
  return static_cast<int32_t>(extract_member<kAreaSpec>(obj, type(), arg));
}

// ---- LinearUnitId ----

PyTypeObject* LinearUnitId::type() {
  static PyTypeObject* t = build_enum<kLinearSpec>("ostrel_geometry.LinearUnitId");
  return t;
}
int32_t LinearUnitId::value(PyObject* member) { return static_cast<int32_t>(code_of(member)); }
int32_t LinearUnitId::extract(PyObject* obj, const char* arg) {
  return static_cast<int32_t>(extract_member<kLinearSpec>(obj, type(), arg));
}
rt::LinearUnit LinearUnitId::to_runtime_linear_unit(int32_t code) {
  try {
    return rt::LinearUnit::with_unit_id(static_cast<uint32_t>(code));
  } catch (rt::Error& e) {
    raise(PyExc_ValueError, "Invalid LinearUnitId: " + e.debug());
  }
}

// ---- GeodeticCurveType ----

PyTypeObject* GeodeticCurveType::type() {
  static PyTypeObject* t = build_enum<kCurveSpec>("ostrel_geometry.GeodeticCurveType");
  return t;
}
uint8_t GeodeticCurveType::value(PyObject* member) { return static_cast<uint8_t>(code_of(member)); }
uint8_t GeodeticCurveType::extract(PyObject* obj, const char* arg) {
  return static_cast<uint8_t>(extract_member<kCurveSpec>(obj, type(), arg));
}

// ---- GeometryExtendOptions ----

PyTypeObject* GeometryExtendOptions::type() {
  static PyTypeObject* t = build_extend_options();
  return t;
}
uint32_t GeometryExtendOptions::value(PyObject* options) { return unbox<Flags>(options).bits; }
uint32_t GeometryExtendOptions::extract(PyObject* obj, const char* arg) {
  expect_instance(obj, type(), "GeometryExtendOptions", arg);
  return value(obj);
}

// ---- AreaUnit ----

PyTypeObject* AreaUnit::type() {
  static PyTypeObject* t = build_area_unit();
  return t;
}

rt::AreaUnit AreaUnit::new_from_unit_id(int32_t code) {
  try {
    return rt::AreaUnit::with_unit_id(static_cast<rt::AreaUnitId>(static_cast<uint32_t>(code)));
  } catch (rt::Error& e) {
    raise(PyExc_RuntimeError, e.debug());
  }
}

rt::AreaUnit AreaUnit::try_clone(PyObject* area_unit) {
  return new_from_unit_id(static_cast<int32_t>(unit(area_unit).area_unit_id()));
}

const rt::AreaUnit& AreaUnit::unit(PyObject* area_unit) {
  const rt::AreaUnit& u = unit_box(area_unit).unit;
  if (u.raw() == nullptr) fatal("Internal error: AreaUnit without its runtime unit");
  return u;
}

Ref AreaUnit::wrap(rt::AreaUnit unit) {
  Ref obj = make_boxed<UnitBox>(type());
  unit_box(obj.get()).unit = std::move(unit);
  return obj;
}

}  // namespace ostrel::py
