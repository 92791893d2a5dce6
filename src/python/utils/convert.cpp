// ostrel_geometry.utils: WKT and WKB into zorvjson or GeoJSON dictionaries.
#include <span>

#include "python/pyapi/args.hpp"
#include "python/pyapi/trampoline.hpp"
#include "python/pyapi/types.hpp"
#include "python/utils/dict_builder.hpp"
#include "python/utils/wkb_reader.hpp"
#include "python/utils/wkt_reader.hpp"

namespace ostrel::py::utils {

namespace {

template <class Builder>
Ref from_wkt(PyObject* text) {
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(text, &size);
  if (!data) {
    // Lone surrogates cannot be read as UTF-8 text.
    PyErr err = PyErr::fetch();
    raise(PyExc_RuntimeError, "processing geometry `" + exception_text(err) + "`");
  }
  Builder builder;
  try {
    geomio::read_wkt({data, std::size_t(size)}, builder);
  } catch (const geomio::ReadError& e) {
    raise(PyExc_RuntimeError, e.text());
  }
  return builder.finish();
}

template <class Builder>
Ref from_wkb(PyObject* bytes) {
  auto* data = reinterpret_cast<const std::uint8_t*>(PyBytes_AS_STRING(bytes));
  std::size_t size = std::size_t(PyBytes_GET_SIZE(bytes));
  Builder builder;
  try {
    geomio::read_wkb(std::span(data, size), builder);
  } catch (const geomio::ReadError& e) {
    raise(PyExc_RuntimeError, e.text());
  }
  return builder.finish();
}

PyObject* wkt_arg(const char* fn, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto [wkt] = match<1>({fn, {"wkt"}, 1}, args, nargs, kwnames);
  return expect_instance(wkt, &PyUnicode_Type, "str", "wkt");
}

PyObject* wkb_arg(const char* fn, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto [wkb] = match<1>({fn, {"wkb"}, 1}, args, nargs, kwnames);
  return expect_instance(wkb, &PyBytes_Type, "bytes", "wkb");
}

Ref wkt_to_zorvjson_dict(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return from_wkt<ZorvJsonBuilder>(wkt_arg("wkt_to_zorvjson_dict()", args, nargs, kwnames));
}

Ref wkt_to_geojson_dict(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return from_wkt<GeoJsonBuilder>(wkt_arg("wkt_to_geojson_dict()", args, nargs, kwnames));
}

Ref wkb_to_zorvjson_dict(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return from_wkb<ZorvJsonBuilder>(wkb_arg("wkb_to_zorvjson_dict()", args, nargs, kwnames));
}

Ref wkb_to_geojson_dict(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return from_wkb<GeoJsonBuilder>(wkb_arg("wkb_to_geojson_dict()", args, nargs, kwnames));
}

Registrar wkb_to_zorvjson_def("ostrel_geometry.utils",
                              fastcall_def<wkb_to_zorvjson_dict>("wkb_to_zorvjson_dict",
                                                                 "wkb_to_zorvjson_dict(wkb)\n--\n\n"));
Registrar wkb_to_geojson_def("ostrel_geometry.utils",
                             fastcall_def<wkb_to_geojson_dict>("wkb_to_geojson_dict",
                                                               "wkb_to_geojson_dict(wkb)\n--\n\n"));
Registrar wkt_to_zorvjson_def("ostrel_geometry.utils",
                              fastcall_def<wkt_to_zorvjson_dict>("wkt_to_zorvjson_dict",
                                                                 "wkt_to_zorvjson_dict(wkt)\n--\n\n"));
Registrar wkt_to_geojson_def("ostrel_geometry.utils",
                             fastcall_def<wkt_to_geojson_dict>("wkt_to_geojson_dict",
                                                               "wkt_to_geojson_dict(wkt)\n--\n\n"));

}  // namespace

}  // namespace ostrel::py::utils
