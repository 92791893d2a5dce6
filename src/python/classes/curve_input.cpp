#include "python/classes/curve_input.hpp"

#include "binding/geometry.hpp"
#include "binding/segments.hpp"
#include "python/classes/common.hpp"

namespace ostrel::py {

namespace {

using model::CurveData;
using model::ZorvCoord;

// Item i of the list under a curve key, which must itself be a list.
PyObject* list_at(PyObject* list, Py_ssize_t i) { return common::expect_list(common::list_item(list, i)); }

ZorvCoord xy(PyObject* list) { return common::coord_from_list(list, false, false); }

[[noreturn]] void not_a_segment() {
  raise(PyExc_TypeError, "point_and_curve_from_py: Did not get a valid dict or list for curve/point segment");
}

}  // namespace

std::pair<ZorvCoord, CurveData> coord_and_curve_from_py(PyObject* item, bool has_z, bool has_m,
                                                        const ZorvCoord& previous) {
  if (PyList_Check(item)) return {common::coord_from_list(item, has_z, has_m), model::Linear{}};
  if (!PyDict_Check(item)) not_a_segment();

  if (PyObject* c = common::dict_get(item, "c")) {
    Ref value = Ref::borrow(common::expect_list(c));
    Ref end = Ref::borrow(list_at(value.get(), 0));
    Ref interior = Ref::borrow(list_at(value.get(), 1));
    ZorvCoord vertex = common::coord_from_list(end.get(), has_z, has_m);
    ZorvCoord i = xy(interior.get());
    return {vertex, model::CircularArc{i.x(), i.y()}};
  }
  if (PyObject* a = common::dict_get(item, "a")) {
    Ref value = Ref::borrow(common::expect_list(a));
    Ref end = Ref::borrow(list_at(value.get(), 0));
    Ref center_list = Ref::borrow(list_at(value.get(), 1));
    ZorvCoord vertex = common::coord_from_list(end.get(), has_z, has_m);
    ZorvCoord center = xy(center_list.get());
    uint8_t minor = common::list_extract_u8(value.get(), 2);
    uint8_t clockwise = common::list_extract_u8(value.get(), 3);
    if (PyList_GET_SIZE(value.get()) == 4) {
      // A circular arc about the center: the runtime finds the arc, and its
      // interior point is what the model keeps.
      rt::Point start_point = previous.as_point();
      rt::Point end_point = vertex.as_point();
      rt::Point center_point = center.as_point();
      rt::SegmentOwned segment = rt::EllipticArcSegment::with_circular_elliptic_arc_with_center(
          start_point, end_point, center_point, minor != 0, clockwise == 0, nullptr);
      return {vertex, model::curve_from_segment(segment, previous, vertex)};
    }
    double rotation = common::list_extract_f64(value.get(), 4);
    double axis = common::list_extract_f64(value.get(), 5);
    double ratio = common::list_extract_f64(value.get(), 6);
    return {vertex, model::EllipticArc{center.x(), center.y(), rotation, axis, ratio, minor != 0, clockwise != 0}};
  }
  if (PyObject* b = common::dict_get(item, "b")) {
    Ref value = Ref::borrow(common::expect_list(b));
    Ref end = Ref::borrow(list_at(value.get(), 0));
    Ref ctrl1 = Ref::borrow(list_at(value.get(), 1));
    Ref ctrl2 = Ref::borrow(list_at(value.get(), 2));
    ZorvCoord vertex = common::coord_from_list(end.get(), has_z, has_m);
    ZorvCoord c1 = xy(ctrl1.get());
    ZorvCoord c2 = xy(ctrl2.get());
    return {vertex, model::BezierCurve{c1.x(), c1.y(), c2.x(), c2.y()}};
  }
  not_a_segment();
}

}  // namespace ostrel::py
