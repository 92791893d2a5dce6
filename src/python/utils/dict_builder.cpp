#include "python/utils/dict_builder.hpp"

#include <array>
#include <charconv>

#include "python/pyapi/args.hpp"
#include "python/utils/orientation.hpp"

namespace ostrel::py::utils {

PyObject* key(Key k) {
  static constexpr std::array<const char*, std::size_t(Key::count_)> names{"x",
                                                                           "y",
                                                                           "z",
                                                                           "m",
                                                                           "paths",
                                                                           "rings",
                                                                           "points",
                                                                           "hasM",
                                                                           "hasZ",
                                                                           "spatialReference",
                                                                           "wkid",
                                                                           "type",
                                                                           "coordinates",
                                                                           "geometries",
                                                                           "meta",
                                                                           "srid",
                                                                           "crs",
                                                                           "name",
                                                                           "properties",
                                                                           "Point",
                                                                           "LineString",
                                                                           "Polygon",
                                                                           "MultiPoint",
                                                                           "MultiLineString",
                                                                           "MultiPolygon",
                                                                           "GeometryCollection"};
  // Created on first use under the interpreter lock and kept for the process.
  static std::array<PyObject*, std::size_t(Key::count_)> cache{};
  PyObject*& slot = cache[std::size_t(k)];
  if (!slot) {
    slot = PyUnicode_InternFromString(names[std::size_t(k)]);
    if (!slot) throw_py();
  }
  return slot;
}

std::string exception_text(PyErr& err) {
  PyObject* value = err.value();
  std::string text;
  {
    Ref name = Ref::steal(PyObject_GetAttrString((PyObject*)Py_TYPE(value), "__name__"));
    const char* s = name ? PyUnicode_AsUTF8(name.get()) : nullptr;
    if (!s) PyErr_Clear();
    text = s ? s : Py_TYPE(value)->tp_name;
  }
  Ref str = Ref::steal(PyObject_Str(value));
  const char* s = str ? PyUnicode_AsUTF8(str.get()) : nullptr;
  if (!s) {
    PyErr_Clear();
    return text + ": <exception str() failed>";
  }
  return text + ": " + s;
}

// ---- shared machinery ----

void DictBuilder::srid(std::optional<int32_t> srid) {
  if (srid) srid_ = srid;
}

void DictBuilder::point_begin(std::size_t) { in_point_ = true; }
void DictBuilder::linestring_begin(bool, std::size_t, std::size_t) { push_new_list(); }
void DictBuilder::multipoint_begin(std::size_t, std::size_t) { push_new_list(); }
void DictBuilder::multilinestring_begin(std::size_t, std::size_t) { push_new_list(); }
void DictBuilder::multipolygon_begin(std::size_t, std::size_t) { push_new_list(); }
void DictBuilder::geometrycollection_begin(std::size_t, std::size_t) { push_new_list(); }

Ref DictBuilder::finish() {
  if (stack_.empty()) raise(PyExc_IndexError, "empty stack");
  Ref top = std::move(stack_.back());
  stack_.pop_back();
  if (!PyDict_Check(top.get())) raise(PyExc_TypeError, cast_text(top.get(), "dict"));
  stack_.clear();
  return top;
}

Ref DictBuilder::pop() {
  if (stack_.empty()) fail("empty stack");
  Ref top = std::move(stack_.back());
  stack_.pop_back();
  return top;
}

void DictBuilder::push_to_parent(PyObject* obj) {
  if (stack_.empty()) fail(parent_empty_text_);
  PyObject* top = stack_.back().get();
  if (!PyList_Check(top)) fail(cast_text(top, "list"));
  check_status(PyList_Append(top, obj));
}

void DictBuilder::place_empty_point(Ref dict, std::size_t idx) {
  set_spatial_reference(dict.get());
  if (idx != 0 || !stack_.empty())
    push_to_parent(dict.get());
  else
    push(std::move(dict));
}

Ref DictBuilder::new_dict() { return check(PyDict_New()); }
Ref DictBuilder::new_list() { return check(PyList_New(0)); }

void DictBuilder::set(PyObject* dict, Key k, PyObject* value) {
  check_status(PyDict_SetItem(dict, key(k), value));
}

Ref DictBuilder::coord_tuple(double x, double y, std::optional<double> z, std::optional<double> m) {
  Ref t = check(PyTuple_New(2 + Py_ssize_t(z.has_value()) + Py_ssize_t(m.has_value())));
  Py_ssize_t i = 0;
  auto put = [&](double v) {
    PyObject* f = PyFloat_FromDouble(v);
    if (!f) throw_py();
    PyTuple_SET_ITEM(t.get(), i++, f);
  };
  put(x);
  put(y);
  if (z) put(*z);
  if (m) put(*m);
  // A tuple of floats can never be part of a reference cycle; the collector
  // would untrack it on its first pass anyway, so skip that work.
  PyObject_GC_UnTrack(t.get());
  return t;
}

// ---- zorvjson ----

namespace {

const char* flag(bool b) { return b ? "true" : "false"; }

std::string dims_mismatch(bool had_z, bool had_m, bool z, bool m) {
  return std::string(
             "Coordinate dimension mismatch: all coordinates in a geometry must either all have or "
             "all lack Z and M values. Previously coordinates: (has_z, has_m) = [") +
         flag(had_z) + ", " + flag(had_m) + "], current: (has_z, has_m) = [" + flag(z) + ", " + flag(m) + "]";
}

[[noreturn]] void point_inside_geometry() {
  fatal("not implemented: this should be reached only when inside geometry collection");
}

}  // namespace

void ZorvJsonBuilder::set_spatial_reference(PyObject* dict) {
  if (!srid_) return;
  Ref sr = new_dict();
  Ref wkid = check(PyLong_FromLong(*srid_));
  set(sr.get(), Key::wkid, wkid.get());
  set(dict, Key::spatialReference, sr.get());
}

void ZorvJsonBuilder::finish_dict(Ref dict) {
  set_spatial_reference(dict.get());
  if (!stack_.empty()) point_inside_geometry();
  push(std::move(dict));
}

void ZorvJsonBuilder::finish_flagged(Key members, PyObject* list, bool flags_first) {
  Ref d = new_dict();
  if (!flags_first) set(d.get(), members, list);
  // Each flag is checked when its key is reached, M first.
  if (!has_m_) fail("has_m not initialized");
  set(d.get(), Key::hasM, *has_m_ ? Py_True : Py_False);
  if (!has_z_) fail("has_z not initialized");
  set(d.get(), Key::hasZ, *has_z_ ? Py_True : Py_False);
  if (flags_first) set(d.get(), members, list);
  finish_dict(std::move(d));
}

void ZorvJsonBuilder::coordinate(double x, double y, std::optional<double> z, std::optional<double> m,
                                 std::size_t) {
  guard([&] {
    if (in_point_) {
      Ref d = new_dict();
      auto put = [&](Key k, double v) {
        Ref f = check(PyFloat_FromDouble(v));
        set(d.get(), k, f.get());
      };
      put(Key::x, x);
      put(Key::y, y);
      if (z) put(Key::z, *z);
      if (m) put(Key::m, *m);
      push(std::move(d));
      return;
    }
    bool cz = z.has_value(), cm = m.has_value();
    if (!has_z_ || !has_m_) {
      has_z_ = cz;
      has_m_ = cm;
    } else if (*has_z_ != cz || *has_m_ != cm) {
      fail(dims_mismatch(*has_z_, *has_m_, cz, cm));
    }
    Ref t = coord_tuple(x, y, z, m);
    push_to_parent(t.get());
  });
}

void ZorvJsonBuilder::empty_point(std::size_t idx) {
  guard([&] {
    Ref d = new_dict();
    set(d.get(), Key::x, Py_None);
    place_empty_point(std::move(d), idx);
  });
}

void ZorvJsonBuilder::point_end(std::size_t) {
  guard([&] {
    in_point_ = false;
    Ref d = pop();
    if (!PyDict_Check(d.get())) fail(cast_text(d.get(), "dict"));
    finish_dict(std::move(d));
  });
}

namespace {

// A vertex this builder made itself: a tuple of at least two floats.
bool built_vertex(PyObject* v) {
  return PyTuple_CheckExact(v) && PyTuple_GET_SIZE(v) >= 2 && PyFloat_CheckExact(PyTuple_GET_ITEM(v, 0)) &&
         PyFloat_CheckExact(PyTuple_GET_ITEM(v, 1));
}

// The same test as ring_is_clockwise, for a ring of vertices this builder
// made: reading the floats directly saves several interpreter calls per
// vertex.  Rings too short to test, or holding anything else, go to the
// general routine, which raises the exception the caller reports.
bool built_ring_is_clockwise(PyObject* ring) {
  Py_ssize_t n = PyList_GET_SIZE(ring);
  for (Py_ssize_t i = 0; i < n; ++i)
    if (!built_vertex(PyList_GET_ITEM(ring, i))) return ring_is_clockwise(ring);
  if (n < 3) return ring_is_clockwise(ring);
  auto ordinate = [ring](Py_ssize_t i, Py_ssize_t axis) {
    return PyFloat_AS_DOUBLE(PyTuple_GET_ITEM(PyList_GET_ITEM(ring, i), axis));
  };
  if (coord_eq(PyList_GET_ITEM(ring, 0), PyList_GET_ITEM(ring, n - 1))) --n;
  if (n <= 2) return ring_is_clockwise(ring);
  const double x0 = ordinate(0, 0), y0 = ordinate(0, 1);
  double s = 0, px = x0, py = y0;
  for (Py_ssize_t i = 1; i < n; ++i) {
    double x = ordinate(i, 0), y = ordinate(i, 1);
    s += px * y - py * x;
    px = x;
    py = y;
  }
  return (y0 * px - x0 * py) + s < 0;
}

}  // namespace

void ZorvJsonBuilder::orient(PyObject* ring, bool clockwise) {
  if (!is_sequence(ring)) fail(cast_text(ring, "Sequence"));
  if (!PyList_CheckExact(ring)) fail(cast_text(ring, "list"));
  if (built_ring_is_clockwise(ring) != clockwise) {
    // Reversed in place, so a closed ring keeps its closing vertex at both ends.
    check_status(PyList_Reverse(ring));
  }
}

void ZorvJsonBuilder::linestring_end(bool tagged, std::size_t) {
  guard([&] {
    Ref list = pop();
    if (tagged) {
      Ref paths = check(PyList_New(1));
      PyList_SET_ITEM(paths.get(), 0, list.release());
      return finish_flagged(Key::paths, paths.get());
    }
    switch (ring_state_) {
      case RingState::exterior:
        ring_state_ = RingState::interior;
        orient(list.get(), true);
        break;
      case RingState::interior:
        orient(list.get(), false);
        break;
      case RingState::none:
        break;
    }
    push_to_parent(list.get());
  });
}

void ZorvJsonBuilder::polygon_begin(bool tagged, std::size_t, std::size_t) {
  guard([&] {
    if (tagged) push(new_list());
    ring_state_ = RingState::exterior;
  });
}

void ZorvJsonBuilder::polygon_end(bool tagged, std::size_t) {
  guard([&] {
    if (tagged) finish_flagged(Key::rings, pop().get());
    ring_state_ = RingState::none;
  });
}

void ZorvJsonBuilder::end_multi(Key kind) {
  guard([&] {
    switch (kind) {
      case Key::MultiPoint:
        return finish_flagged(Key::points, pop().get(), true);
      case Key::MultiLineString:
        return finish_flagged(Key::paths, pop().get());
      case Key::MultiPolygon:
        return finish_flagged(Key::rings, pop().get());
      default:
        // The zorvjson shape has no layout for a collection.
        fail("geometry collections have no zorvjson layout");
    }
  });
}

// Refused at once, with an ordinary conversion error.
void ZorvJsonBuilder::geometrycollection_begin(std::size_t, std::size_t) {
  fail("geometry collections have no zorvjson layout");
}

// ---- GeoJSON ----

void GeoJsonBuilder::set_spatial_reference(PyObject* dict) {
  if (!srid_) return;
  Ref srid = check(PyLong_FromLong(*srid_));
  Ref meta = new_dict();
  set(meta.get(), Key::srid, srid.get());

  char buf[32] = "EPSG:";
  auto r = std::to_chars(buf + 5, buf + sizeof buf, *srid_);
  Ref name = check(PyUnicode_FromStringAndSize(buf, r.ptr - buf));
  Ref properties = new_dict();
  set(properties.get(), Key::name, name.get());
  Ref crs = new_dict();
  set(crs.get(), Key::type, key(Key::name));
  set(crs.get(), Key::properties, properties.get());

  set(dict, Key::meta, meta.get());
  set(dict, Key::crs, crs.get());
}

Ref GeoJsonBuilder::typed(Key type, Key second, PyObject* value) {
  Ref d = new_dict();
  set(d.get(), Key::type, key(type));
  set(d.get(), second, value);
  return d;
}

void GeoJsonBuilder::finish_dict(Ref dict) {
  set_spatial_reference(dict.get());
  if (!stack_.empty())
    push_to_parent(dict.get());
  else
    push(std::move(dict));
}

void GeoJsonBuilder::end_typed(Key type, Key second) {
  guard([&] {
    Ref list = pop();
    finish_dict(typed(type, second, list.get()));
  });
}

void GeoJsonBuilder::end_member_or_typed(bool tagged, Key type) {
  if (tagged) return end_typed(type);
  guard([&] {
    Ref list = pop();
    push_to_parent(list.get());
  });
}

void GeoJsonBuilder::coordinate(double x, double y, std::optional<double> z, std::optional<double> m,
                                std::size_t) {
  guard([&] {
    Ref t = coord_tuple(x, y, z, m);
    if (in_point_)
      push(std::move(t));
    else
      push_to_parent(t.get());
  });
}

void GeoJsonBuilder::empty_point(std::size_t idx) {
  guard([&] {
    Ref coords = new_list();
    place_empty_point(typed(Key::Point, Key::coordinates, coords.get()), idx);
  });
}

void GeoJsonBuilder::point_end(std::size_t) {
  in_point_ = false;
  end_typed(Key::Point);
}

void GeoJsonBuilder::linestring_end(bool tagged, std::size_t) { end_member_or_typed(tagged, Key::LineString); }
void GeoJsonBuilder::polygon_begin(bool, std::size_t, std::size_t) { push_new_list(); }
void GeoJsonBuilder::polygon_end(bool tagged, std::size_t) { end_member_or_typed(tagged, Key::Polygon); }

void GeoJsonBuilder::end_multi(Key kind) {
  end_typed(kind, kind == Key::GeometryCollection ? Key::geometries : Key::coordinates);
}

}  // namespace ostrel::py::utils
