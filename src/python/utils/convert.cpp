// ostrel_geometry.utils: WKT and WKB into zorvjson or GeoJSON dictionaries.
#include <span>
#include <string_view>

#include "geomio/wkb_reader.hpp"
#include "geomio/wkt_reader.hpp"
#include "python/pyapi/args.hpp"
#include "python/pyapi/trampoline.hpp"
#include "python/pyapi/types.hpp"
#include "python/utils/dict_builder.hpp"

namespace ostrel::py::utils {

namespace {

// Runs one reader over its input with a fresh builder.  A reader error is the
// conversion's RuntimeError; `finish` raises its own IndexError or TypeError.
template <class Builder, class Read>
Ref convert(Read&& read) {
  Builder builder;
  try {
    read(builder);
  } catch (const geomio::ReadError& e) {
    raise(PyExc_RuntimeError, e.text());
  }
  return builder.finish();
}

template <class Builder>
Ref from_wkt(std::string_view text) {
  return convert<Builder>([&](Builder& b) { geomio::read_wkt(text, b); });
}

template <class Builder>
Ref from_wkb(PyObject* bytes) {
  std::span data(reinterpret_cast<const std::uint8_t*>(PyBytes_AS_STRING(bytes)),
                 std::size_t(PyBytes_GET_SIZE(bytes)));
  return convert<Builder>([&](Builder& b) { geomio::read_wkb(data, b); });
}

// The text as UTF-8.  Encoding it is part of the argument's conversion, so a
// str that holds lone surrogates raises its UnicodeEncodeError unchanged.
std::string_view wkt_arg(const char* fn, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto [wkt] = match<1>({fn, {"wkt"}, 1}, args, nargs, kwnames);
  expect_instance(wkt, &PyUnicode_Type, "str", "wkt");
  return convert_arg("wkt", [&] {
    Py_ssize_t size = 0;
    const char* data = PyUnicode_AsUTF8AndSize(wkt, &size);
    if (!data) throw_py();
    return std::string_view(data, std::size_t(size));
  });
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
