// Dictionary builders: turn the readers' geometry events into Python
// dictionaries, zorvjson-shaped or GeoJSON-shaped.
//
// Both keep a stack of objects under construction (lists being filled and
// finished dictionaries); after a successful read it holds exactly the result.
// Every failure inside a callback becomes a ReadError whose text is
// "processing geometry `{}`"; a Python exception raised on the way reads
// "{type name}: {str(exception)}" inside the quotes.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "python/pyapi/errors.hpp"
#include "python/pyapi/ref.hpp"
#include "python/utils/events.hpp"

namespace ostrel::py::utils {

// Cached key and value strings, created once per process.
enum class Key {
  x,
  y,
  z,
  m,
  paths,
  rings,
  points,
  hasM,
  hasZ,
  spatialReference,
  wkid,
  type,
  coordinates,
  geometries,
  meta,
  srid,
  crs,
  name,
  properties,
  Point,
  LineString,
  Polygon,
  MultiPoint,
  MultiLineString,
  MultiPolygon,
  GeometryCollection,
  count_
};
PyObject* key(Key k);

// "{type name}: {str(exception)}", or the type name and
// ": <exception str() failed>" when str() fails.
std::string exception_text(PyErr& err);

class DictBuilder : public geomio::GeomSink {
 public:
  void srid(std::optional<int32_t> srid) override;

  // Takes the finished dictionary off the stack.  Raises IndexError "empty
  // stack" or the TypeError cast text (not RuntimeError).
  Ref finish();

 protected:
  // Runs one callback body; a Python exception becomes the builder's error.
  template <class F>
  void guard(F&& body) {
    try {
      body();
    } catch (PyErr& e) {
      geomio::fail_geometry(exception_text(e));
    }
  }

  [[noreturn]] static void fail(std::string_view text) { geomio::fail_geometry(text); }

  void push(Ref obj) { stack_.push_back(std::move(obj)); }
  bool stack_empty() const { return stack_.empty(); }
  // Pops the top; an empty stack fails with the bare text "empty stack".
  Ref pop();
  // Appends to the list on top of the stack; an empty stack fails with `empty_text`.
  void append_to_top(PyObject* obj, std::string_view empty_text);

  static Ref new_dict();
  static Ref new_list();
  static void set(PyObject* dict, Key k, PyObject* value);
  static Ref coord_tuple(double x, double y, std::optional<double> z, std::optional<double> m);

  std::vector<Ref> stack_;
  std::optional<int32_t> srid_ = 4326;
  bool in_point_ = false;
};

class ZorvJsonBuilder final : public DictBuilder {
 public:
  void coordinate(double x, double y, std::optional<double> z, std::optional<double> m,
                  std::size_t idx) override;
  void empty_point(std::size_t idx) override;
  void point_begin(std::size_t idx) override;
  void point_end(std::size_t idx) override;
  void linestring_begin(bool tagged, std::size_t size, std::size_t idx) override;
  void linestring_end(bool tagged, std::size_t idx) override;
  void polygon_begin(bool tagged, std::size_t size, std::size_t idx) override;
  void polygon_end(bool tagged, std::size_t idx) override;
  void multipoint_begin(std::size_t size, std::size_t idx) override;
  void multipoint_end(std::size_t idx) override;
  void multilinestring_begin(std::size_t size, std::size_t idx) override;
  void multilinestring_end(std::size_t idx) override;
  void multipolygon_begin(std::size_t size, std::size_t idx) override;
  void multipolygon_end(std::size_t idx) override;
  void geometrycollection_begin(std::size_t size, std::size_t idx) override;
  void geometrycollection_end(std::size_t idx) override;

 private:
  void push_to_parent(PyObject* obj) { append_to_top(obj, "empty stack"); }
  void set_spatial_reference(PyObject* dict);
  void set_has_m(PyObject* dict);
  void set_has_z(PyObject* dict);
  // Stores a finished top-level dictionary.
  void finish_dict(Ref dict);
  void orient(PyObject* ring, bool clockwise);

  enum class RingState { exterior = 0, interior = 1, none = 2 };
  RingState ring_state_ = RingState::none;
  std::optional<bool> has_m_;
  std::optional<bool> has_z_;
};

class GeoJsonBuilder final : public DictBuilder {
 public:
  void coordinate(double x, double y, std::optional<double> z, std::optional<double> m,
                  std::size_t idx) override;
  void empty_point(std::size_t idx) override;
  void point_begin(std::size_t idx) override;
  void point_end(std::size_t idx) override;
  void linestring_begin(bool tagged, std::size_t size, std::size_t idx) override;
  void linestring_end(bool tagged, std::size_t idx) override;
  void polygon_begin(bool tagged, std::size_t size, std::size_t idx) override;
  void polygon_end(bool tagged, std::size_t idx) override;
  void multipoint_begin(std::size_t size, std::size_t idx) override;
  void multipoint_end(std::size_t idx) override;
  void multilinestring_begin(std::size_t size, std::size_t idx) override;
  void multilinestring_end(std::size_t idx) override;
  void multipolygon_begin(std::size_t size, std::size_t idx) override;
  void multipolygon_end(std::size_t idx) override;
  void geometrycollection_begin(std::size_t size, std::size_t idx) override;
  void geometrycollection_end(std::size_t idx) override;

 private:
  // An empty stack here is reported as the Python IndexError it stands for.
  void push_to_parent(PyObject* obj) { append_to_top(obj, "IndexError: empty stack"); }
  void set_spatial_reference(PyObject* dict);
  // A dictionary with "type" and the second key set to `value`.
  Ref typed(Key type, Key second, PyObject* value);
  // Adds meta and crs; then into the enclosing collection, or onto the stack.
  void finish_dict(Ref dict);
  void end_typed(Key type, Key second = Key::coordinates);
};

}  // namespace ostrel::py::utils
