#include "python/pyapi/args.hpp"

#include <cstring>
#include <string_view>
#include <vector>

namespace ostrel::py {

namespace {

std::string_view utf8(PyObject* str) {
  Py_ssize_t n = 0;
  const char* p = PyUnicode_AsUTF8AndSize(str, &n);
  if (!p) throw_py();
  return {p, (size_t)n};
}

[[noreturn]] void type_error(std::string text) { raise(PyExc_TypeError, std::move(text)); }

}  // namespace

void match_args(const Signature& sig, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                PyObject** out) {
  const std::size_t nparams = sig.names.size();
  const char* const* names = sig.names.begin();
  std::size_t npos = (std::size_t)PyVectorcall_NARGS(nargs);

  if (npos > nparams) {
    std::string text = sig.full_name;
    if (sig.required < nparams) {
      text += " takes from " + std::to_string(sig.required) + " to " + std::to_string(nparams);
    } else {
      text += " takes " + std::to_string(nparams);
    }
    text += " positional arguments but " + std::to_string(npos) + (npos == 1 ? " was" : " were") + " given";
    type_error(std::move(text));
  }
  for (std::size_t i = 0; i < nparams; ++i) out[i] = i < npos ? args[i] : nullptr;

  if (kwnames) {
    Py_ssize_t nkw = PyTuple_GET_SIZE(kwnames);
    for (Py_ssize_t k = 0; k < nkw; ++k) {
      PyObject* key = PyTuple_GET_ITEM(kwnames, k);
      std::string_view name = utf8(key);
      std::size_t i = 0;
      while (i < nparams && name != names[i]) ++i;
      if (i == nparams) {
        type_error(std::string(sig.full_name) + " got an unexpected keyword argument '" + std::string(name) + "'");
      }
      if (out[i]) {
        type_error(std::string(sig.full_name) + " got multiple values for argument '" + std::string(name) + "'");
      }
      out[i] = args[npos + (std::size_t)k];
    }
  }

  std::vector<const char*> missing;
  for (std::size_t i = 0; i < sig.required; ++i) {
    if (!out[i]) missing.push_back(names[i]);
  }
  if (!missing.empty()) {
    std::string text = std::string(sig.full_name) + " missing " + std::to_string(missing.size()) +
                       " required positional argument" + (missing.size() == 1 ? "" : "s") + ": ";
    for (std::size_t i = 0; i < missing.size(); ++i) {
      if (i != 0) {
        if (missing.size() > 2) text += ',';
        text += i == missing.size() - 1 ? " and " : " ";
      }
      text += '\'';
      text += missing[i];
      text += '\'';
    }
    type_error(std::move(text));
  }
}

std::string type_qualname(PyObject* obj) {
  Ref name = Ref::steal(PyObject_GetAttrString((PyObject*)Py_TYPE(obj), "__qualname__"));
  if (name && PyUnicode_Check(name.get())) {
    const char* s = PyUnicode_AsUTF8(name.get());
    if (s) return s;
  }
  PyErr_Clear();
  return Py_TYPE(obj)->tp_name;
}

std::string cast_text(PyObject* obj, const char* to) {
  std::string text(1, '\'');
  text += type_qualname(obj);
  text += "' object cannot be cast as '";
  text += to;
  text += '\'';
  return text;
}

void rethrow_arg_error(const char* name, PyErr err) {
  PyObject* value = err.value();
  if (Py_TYPE(value) != (PyTypeObject*)PyExc_TypeError) throw err;
  Ref text = check(PyObject_Str(value));
  std::string message = "argument '" + std::string(name) + "': " + std::string(utf8(text.get()));
  Ref wrapped = check(PyObject_CallFunction(PyExc_TypeError, "s#", message.data(), (Py_ssize_t)message.size()));
  PyException_SetCause(wrapped.get(), Ref::borrow(value).release());
  throw PyErr(std::move(wrapped));
}

PyObject* expect_instance(PyObject* obj, PyTypeObject* type, const char* type_name, const char* arg) {
  int ok = PyObject_TypeCheck(obj, type);
  if (!ok) rethrow_arg_error(arg, PyErr(PyExc_TypeError, cast_text(obj, type_name)));
  return obj;
}

double to_f64(PyObject* obj) {
  if (PyFloat_CheckExact(obj)) return PyFloat_AS_DOUBLE(obj);
  double v = PyFloat_AsDouble(obj);
  if (v == -1.0 && PyErr_Occurred()) throw_py();
  return v;
}

int64_t to_i64(PyObject* obj) {
  long long v = PyLong_AsLongLong(obj);
  if (v == -1 && PyErr_Occurred()) throw_py();
  return v;
}

std::string to_str(PyObject* obj) {
  if (!PyUnicode_Check(obj)) raise(PyExc_TypeError, cast_text(obj, "str"));
  return std::string(utf8(obj));
}

double arg_f64(PyObject* obj, const char* arg) {
  return convert_arg(arg, [&] { return to_f64(obj); });
}
int64_t arg_i64(PyObject* obj, const char* arg) {
  return convert_arg(arg, [&] { return to_i64(obj); });
}
bool arg_bool(PyObject* obj, const char* arg) {
  return convert_arg(arg, [&] {
    if (!PyBool_Check(obj)) raise(PyExc_TypeError, cast_text(obj, "bool"));
    return obj == Py_True;
  });
}
std::string arg_str(PyObject* obj, const char* arg) {
  return convert_arg(arg, [&] { return to_str(obj); });
}

Ref to_py(double v) { return check(PyFloat_FromDouble(v)); }
Ref to_py(bool v) { return Ref::borrow(v ? Py_True : Py_False); }
Ref to_py(const std::string& s) { return check(PyUnicode_FromStringAndSize(s.data(), (Py_ssize_t)s.size())); }
Ref none() { return Ref::borrow(Py_None); }

}  // namespace ostrel::py
