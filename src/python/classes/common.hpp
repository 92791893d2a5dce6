// Readers of zorvjson-shaped Python input (dictionaries and coordinate lists)
// and the index rule shared by the live part containers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "model/model.hpp"
#include "python/pyapi/errors.hpp"
#include "python/pyapi/ref.hpp"

// A fast-call entry point (see OSTREL_FASTCALL) as a method-table entry.
#define OSTREL_METH_FASTCALL(fn) \
  reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(+OSTREL_FASTCALL(fn)))

namespace ostrel::py::common {

// ---- index rule ----

// IndexError "Index {} out of bounds, {} has {} elements" with the index as the
// caller gave it.
[[noreturn]] void gen_py_idx_err(int64_t index, uint64_t len, const char* name);

// Normalises a Python index against `len` (negative counts from the end); a
// position below len + extra is valid, anything else raises the IndexError.
// Nothing is clamped.
uint64_t py_index(int64_t index, uint64_t len, const char* name, uint64_t extra);

// py_index, then `op(n)`; an operation that finds nothing at n (an empty
// optional) gives the same IndexError.
template <class F>
auto py_index(int64_t index, uint64_t len, const char* name, uint64_t extra, F&& op) {
  uint64_t n = py_index(index, len, name, extra);
  auto r = op(n);
  if (!r) gen_py_idx_err(index, len, name);
  return std::move(*r);
}

// ---- scalar conversions with the interpreter's own errors ----

// Unsigned integers through the interpreter's integer conversion: TypeError for
// a non-integer, OverflowError "out of range integral type conversion
// attempted" outside the range (bool counts as an int).
uint32_t to_u32(PyObject* obj);
uint8_t to_u8(PyObject* obj);
uint64_t to_u64(PyObject* obj);
// to_u32 for the argument `arg` (its TypeError names the argument).
uint32_t arg_u32(PyObject* obj, const char* arg);
// Python bool (or a NumPy boolean) only; TypeError cast text otherwise.
bool to_bool(PyObject* obj);
bool is_numpy_bool(PyObject* obj);

// ---- dictionary and list readers ----

// str (UTF-8 text) or bytes (decoded as UTF-8).
std::string get_py_str(PyObject* obj);

// The value under a str key, read from the mapping itself (borrowed), or null.
PyObject* dict_get(PyObject* dict, const char* key);

// A required float; ResolutionError "Did not find '{}' in dict during resolution".
double dict_extract_f64(PyObject* dict, const char* key);
// Optional values: a missing key or None is absent; a bad value raises its
// conversion error.
std::optional<double> dict_extract_opt_f64(PyObject* dict, const char* key);
std::optional<uint32_t> dict_extract_opt_u32(PyObject* dict, const char* key);
std::optional<std::string> dict_extract_opt_str(PyObject* dict, const char* key);

// Item i of a list, converted; a missing item is the list's IndexError.
PyObject* list_item(PyObject* list, Py_ssize_t i);
uint8_t list_extract_u8(PyObject* list, Py_ssize_t i);
double list_extract_f64(PyObject* list, Py_ssize_t i);

// The spatial-reference dictionary ("wkid", "latestWkid", "vcsWkid",
// "latestVcsWkid", "wkt", "wkt2"; all optional).
model::SpatialReference sr_from_dict(PyObject* dict);
// "spatialReference" of a geometry dictionary: absent, or a dict read by
// sr_from_dict; any other value (None included) is the cast error.
std::optional<model::SpatialReference> dict_sr(PyObject* dict);
// "hasZ" and "hasM": set only by a bool.
std::pair<bool, bool> nested_geom_dict_dims(PyObject* dict);

// x and y required; z and m read leniently at the positions the flags give.
model::ZorvCoord coord_from_list(PyObject* list, bool has_z, bool has_m);

// A Python list (or subclass), else TypeError with the cast text naming `list`.
PyObject* expect_list(PyObject* obj);

}  // namespace ostrel::py::common
