// Dictionary builders: turn the readers' geometry events into Python
// dictionaries, zorvjson-shaped or GeoJSON-shaped.
//
// Both keep a stack of objects under construction (lists being filled and
// finished dictionaries); after a successful read it holds exactly the result.
// Every failure inside a callback becomes a ReadError whose text is
// "processing geometry `{}`"; a Python exception raised on the way reads
// "{type name}: {str(exception)}" inside the quotes (a MemoryError passes
// through as it is).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "geomio/events.hpp"
#include "python/pyapi/errors.hpp"
#include "python/pyapi/ref.hpp"

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

// What the two builders share: the stack, the spatial reference id, the
// begin events that only open a list, and the end events of the multi-part
// geometries, which close the list as a dictionary of their kind.
class DictBuilder : public geomio::GeomSink {
 public:
  void srid(std::optional<int32_t> srid) override;
  void point_begin(std::size_t idx) override;
  void linestring_begin(bool tagged, std::size_t size, std::size_t idx) override;
  void multipoint_begin(std::size_t size, std::size_t idx) override;
  void multilinestring_begin(std::size_t size, std::size_t idx) override;
  void multipolygon_begin(std::size_t size, std::size_t idx) override;
  void geometrycollection_begin(std::size_t size, std::size_t idx) override;
  void multipoint_end(std::size_t) final { end_multi(Key::MultiPoint); }
  void multilinestring_end(std::size_t) final { end_multi(Key::MultiLineString); }
  void multipolygon_end(std::size_t) final { end_multi(Key::MultiPolygon); }
  void geometrycollection_end(std::size_t) final { end_multi(Key::GeometryCollection); }

  // Takes the finished dictionary off the stack.  Raises IndexError "empty
  // stack" or the TypeError cast text (not RuntimeError).
  Ref finish();

 protected:
  // `parent_empty_text` is the failure of push_to_parent on an empty stack.
  explicit DictBuilder(std::string_view parent_empty_text) : parent_empty_text_(parent_empty_text) {}

  // Runs one callback body; a Python exception becomes the builder's error,
  // except running out of memory, which stays a MemoryError.
  template <class F>
  void guard(F&& body) {
    try {
      body();
    } catch (PyErr& e) {
      if (e.matches(PyExc_MemoryError)) throw;
      geomio::fail_geometry(exception_text(e));
    }
  }

  [[noreturn]] static void fail(std::string_view text) { geomio::fail_geometry(text); }

  void push(Ref obj) { stack_.push_back(std::move(obj)); }
  void push_new_list() {
    guard([&] { push(new_list()); });
  }
  // Pops the top; an empty stack fails with the bare text "empty stack".
  Ref pop();
  // Appends to the list on top of the stack.
  void push_to_parent(PyObject* obj);
  // An empty point is a member of the enclosing geometry unless it stands alone.
  void place_empty_point(Ref dict, std::size_t idx);

  virtual void set_spatial_reference(PyObject* dict) = 0;
  // Pops the list of a multi-part geometry or collection and finishes it as
  // a dictionary of `kind`.
  virtual void end_multi(Key kind) = 0;

  static Ref new_dict();
  static Ref new_list();
  static void set(PyObject* dict, Key k, PyObject* value);
  static Ref coord_tuple(double x, double y, std::optional<double> z, std::optional<double> m);

  std::vector<Ref> stack_;
  std::optional<int32_t> srid_ = 4326;
  bool in_point_ = false;

 private:
  std::string_view parent_empty_text_;
};

class ZorvJsonBuilder final : public DictBuilder {
 public:
  ZorvJsonBuilder() : DictBuilder("empty stack") {}

  void coordinate(double x, double y, std::optional<double> z, std::optional<double> m,
                  std::size_t idx) override;
  void empty_point(std::size_t idx) override;
  void point_end(std::size_t idx) override;
  void linestring_end(bool tagged, std::size_t idx) override;
  void polygon_begin(bool tagged, std::size_t size, std::size_t idx) override;
  void polygon_end(bool tagged, std::size_t idx) override;
  void geometrycollection_begin(std::size_t size, std::size_t idx) override;

 private:
  void set_spatial_reference(PyObject* dict) override;
  void end_multi(Key kind) override;
  // Stores a finished top-level dictionary.
  void finish_dict(Ref dict);
  // A dictionary of `members` (a list) and the hasM and hasZ flags, in that
  // order or, with `flags_first`, the flags before the members.
  void finish_flagged(Key members, PyObject* list, bool flags_first = false);
  void orient(PyObject* ring, bool clockwise);

  enum class RingState { exterior = 0, interior = 1, none = 2 };
  RingState ring_state_ = RingState::none;
  std::optional<bool> has_m_;
  std::optional<bool> has_z_;
};

class GeoJsonBuilder final : public DictBuilder {
 public:
  // An empty stack under a member is reported as the Python IndexError it
  // stands for.
  GeoJsonBuilder() : DictBuilder("IndexError: empty stack") {}

  void coordinate(double x, double y, std::optional<double> z, std::optional<double> m,
                  std::size_t idx) override;
  void empty_point(std::size_t idx) override;
  void point_end(std::size_t idx) override;
  void linestring_end(bool tagged, std::size_t idx) override;
  void polygon_begin(bool tagged, std::size_t size, std::size_t idx) override;
  void polygon_end(bool tagged, std::size_t idx) override;

 private:
  void set_spatial_reference(PyObject* dict) override;
  void end_multi(Key kind) override;
  // A dictionary with "type" and the second key set to `value`.
  Ref typed(Key type, Key second, PyObject* value);
  // Adds meta and crs; then into the enclosing collection, or onto the stack.
  void finish_dict(Ref dict);
  // Pops the top list and finishes it as a dictionary of `type`.
  void end_typed(Key type, Key second = Key::coordinates);
  // Pops the top list; a tagged geometry becomes a dictionary of `type`, a
  // member goes into its parent as a plain list.
  void end_member_or_typed(bool tagged, Key type);
};

}  // namespace ostrel::py::utils
