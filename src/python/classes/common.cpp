#include "python/classes/common.hpp"

#include <cstring>

#include "python/pyapi/args.hpp"
#include "python/pyapi/failure.hpp"

namespace ostrel::py::common {

void gen_py_idx_err(int64_t index, uint64_t len, const char* name) {
  raise(PyExc_IndexError, "Index " + std::to_string(index) + " out of bounds, " + name + " has " +
                              std::to_string(len) + " elements");
}

uint64_t py_index(int64_t index, uint64_t len, const char* name, uint64_t extra) {
  // A negative index below -len stays negative and so fails the unsigned test.
  uint64_t n = index < 0 ? static_cast<uint64_t>(index) + len : static_cast<uint64_t>(index);
  if (n < len + extra) return n;
  gen_py_idx_err(index, len, name);
}

namespace {

[[noreturn]] void out_of_range() { raise(PyExc_OverflowError, "out of range integral type conversion attempted"); }

}  // namespace

uint32_t to_u32(PyObject* obj) {
  int64_t v = to_i64(obj);
  if (v < 0 || v > 0xFFFFFFFFLL) out_of_range();
  return static_cast<uint32_t>(v);
}

uint32_t arg_u32(PyObject* obj, const char* arg) {
  return convert_arg(arg, [&] { return to_u32(obj); });
}

uint8_t to_u8(PyObject* obj) {
  int64_t v = to_i64(obj);
  if (v < 0 || v > 255) out_of_range();
  return static_cast<uint8_t>(v);
}

uint64_t to_u64(PyObject* obj) {
  Ref index = check(PyNumber_Index(obj));
  unsigned long long v = PyLong_AsUnsignedLongLong(index.get());
  if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred()) throw_py();
  return v;
}

bool is_numpy_bool(PyObject* obj) {
  const char* name = Py_TYPE(obj)->tp_name;
  return std::strcmp(name, "numpy.bool_") == 0 || std::strcmp(name, "numpy.bool") == 0;
}

bool to_bool(PyObject* obj) {
  if (PyBool_Check(obj)) return obj == Py_True;
  if (is_numpy_bool(obj)) {
    int t = PyObject_IsTrue(obj);
    if (t < 0) throw_py();
    return t == 1;
  }
  raise(PyExc_TypeError, cast_text(obj, "bool"));
}

std::string get_py_str(PyObject* obj) {
  if (PyUnicode_Check(obj)) {
    Py_ssize_t n = 0;
    const char* p = PyUnicode_AsUTF8AndSize(obj, &n);
    if (!p) throw_py();
    return std::string(p, static_cast<std::size_t>(n));
  }
  if (PyBytes_Check(obj)) {
    char* p = nullptr;
    Py_ssize_t n = 0;
    if (PyBytes_AsStringAndSize(obj, &p, &n) < 0) throw_py();
    // Validates the bytes as UTF-8 with the decoder's own error.
    Ref text = check(PyUnicode_DecodeUTF8(p, n, "strict"));
    return std::string(p, static_cast<std::size_t>(n));
  }
  raise(PyExc_TypeError, "get_py_str was given an object that was not str or bytes");
}

PyObject* dict_get(PyObject* dict, const char* key) {
  Ref k = check(PyUnicode_FromString(key));
  PyObject* v = PyDict_GetItemWithError(dict, k.get());
  if (!v && PyErr_Occurred()) throw carried(PyErr::fetch());
  return v;
}

double dict_extract_f64(PyObject* dict, const char* key) {
  PyObject* v = dict_get(dict, key);
  if (!v) {
    throw model::ZorvGeoErr(model::ZorvGeoErr::Kind::ResolutionError,
                            std::string("Did not find '") + key + "' in dict during resolution");
  }
  Ref keep = Ref::borrow(v);  // the conversion may run code that changes the dict
  return to_f64(v);
}

namespace {

template <class T>
std::optional<T> dict_extract_opt(PyObject* dict, const char* key, T (*convert)(PyObject*)) {
  PyObject* v = dict_get(dict, key);
  if (!v || v == Py_None) return std::nullopt;
  Ref keep = Ref::borrow(v);
  return convert(v);
}

}  // namespace

std::optional<double> dict_extract_opt_f64(PyObject* dict, const char* key) {
  return dict_extract_opt(dict, key, to_f64);
}

std::optional<uint32_t> dict_extract_opt_u32(PyObject* dict, const char* key) {
  return dict_extract_opt(dict, key, to_u32);
}

std::optional<std::string> dict_extract_opt_str(PyObject* dict, const char* key) {
  return dict_extract_opt(dict, key, to_str);
}

PyObject* list_item(PyObject* list, Py_ssize_t i) {
  if (i < 0 || i >= PyList_GET_SIZE(list)) raise(PyExc_IndexError, "list index out of range");
  return PyList_GET_ITEM(list, i);
}

uint8_t list_extract_u8(PyObject* list, Py_ssize_t i) {
  // The item is kept alive across the conversion, which may run Python code.
  Ref item = Ref::borrow(list_item(list, i));
  return to_u8(item.get());
}

double list_extract_f64(PyObject* list, Py_ssize_t i) {
  Ref item = Ref::borrow(list_item(list, i));
  return to_f64(item.get());
}

model::SpatialReference sr_from_dict(PyObject* dict) {
  model::SpatialReference sr;
  sr.wkid = dict_extract_opt_u32(dict, "wkid");
  sr.latest_wkid = dict_extract_opt_u32(dict, "latestWkid");
  sr.vcs_wkid = dict_extract_opt_u32(dict, "vcsWkid");
  sr.latest_vcs_wkid = dict_extract_opt_u32(dict, "latestVcsWkid");
  sr.wkt = dict_extract_opt_str(dict, "wkt");
  sr.wkt2 = dict_extract_opt_str(dict, "wkt2");
  return sr;
}

std::optional<model::SpatialReference> dict_sr(PyObject* dict) {
  PyObject* v = dict_get(dict, "spatialReference");
  if (!v) return std::nullopt;
  if (!PyDict_Check(v)) throw cast_failure(v, "dict");
  Ref keep = Ref::borrow(v);
  return sr_from_dict(v);
}

std::pair<bool, bool> nested_geom_dict_dims(PyObject* dict) {
  auto flag = [dict](const char* key) {
    PyObject* v = dict_get(dict, key);
    if (!v) return false;
    if (PyBool_Check(v)) return v == Py_True;
    if (is_numpy_bool(v)) {
      int t = PyObject_IsTrue(v);
      if (t < 0) {
        PyErr_Clear();
        return false;
      }
      return t == 1;
    }
    return false;
  };
  bool has_z = flag("hasZ");
  bool has_m = flag("hasM");
  return {has_z, has_m};
}

namespace {

// A lenient ordinate: missing or not a number is absent.
std::optional<double> lenient_f64(PyObject* list, Py_ssize_t i) {
  if (i >= PyList_GET_SIZE(list)) return std::nullopt;
  Ref item = Ref::borrow(PyList_GET_ITEM(list, i));
  double v = PyFloat_AsDouble(item.get());
  if (v == -1.0 && PyErr_Occurred()) {
    PyErr_Clear();
    return std::nullopt;
  }
  return v;
}

}  // namespace

model::ZorvCoord coord_from_list(PyObject* list, bool has_z, bool has_m) {
  double x = list_extract_f64(list, 0);
  double y = list_extract_f64(list, 1);
  std::optional<double> z, m;
  Py_ssize_t m_index = 2;
  if (has_z) {
    z = lenient_f64(list, 2);
    m_index = 3;
  }
  if (has_m) m = lenient_f64(list, m_index);
  return model::ZorvCoord::make(x, y, z, m);
}

PyObject* expect_list(PyObject* obj) {
  if (!PyList_Check(obj)) raise(PyExc_TypeError, cast_text(obj, "list"));
  return obj;
}

}  // namespace ostrel::py::common
