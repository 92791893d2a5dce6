#include "binding/vector.hpp"

#include "binding/call.hpp"

namespace ostrel::rt {

// ---- Element ----

Element Element::create() { return from_handle(OSTREL_RT_CALL(QX_Element_create)); }

void Element::clear() { OSTREL_RT_CALL(QX_Element_clear, raw()); }

void Element::set_f64(double value) { OSTREL_RT_CALL(QX_Element_setValueFromFloat64, raw(), value); }

void Element::set_geometry(const GeometryBase& geometry) {
  OSTREL_RT_CALL(QX_Element_setValueFromGeometry, raw(), geometry.raw());
}

// ---- Vector ----

void Vector::destroy(QX_VectorHandle h, const QX_ErrorHandler*) { QX(QX_Vector_destroy)(h, nullptr); }

Vector Vector::create(uint32_t element_type) {
  return from_handle(OSTREL_RT_CALL(QX_Vector_create, element_type));
}

void Vector::add(const Element& element) { OSTREL_RT_CALL(QX_Vector_add, raw(), element.raw()); }

Vector Vector::try_from_f64s(const F64Source& values) {
  Vector vector = create(kFloat64);
  Element element = Element::create();
  while (std::optional<double> value = values()) {
    element.set_f64(*value);
    vector.add(element);
    element.clear();
  }
  return vector;
}

Vector Vector::try_from_geometries(const GeometrySource& geometries) {
  Vector vector = create(kGeometry);
  Element element = Element::create();
  while (std::optional<GeometryLease> geometry = geometries()) {
    element.set_geometry(geometry->get());
    vector.add(element);
    element.clear();
  }
  return vector;
}

}  // namespace ostrel::rt
