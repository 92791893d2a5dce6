// Strings, arrays, elements and vectors: the runtime's value carriers.
#include <string>

#include "errors.hpp"
#include "handles.hpp"

using namespace vaskelith;

namespace {

const char* value_kind_name(const Value& v) {
  switch (v.index()) {
    case 0:
      return "nothing";
    case 1:
      return "a 64-bit float";
    case 2:
      return "a geometry";
    case 3:
      return "a datum transformation";
    default:
      return "a spatial reference";
  }
}

// Whether a value may be stored in a container of the element type.  Codes
// without a meaning here accept anything, since they are not interpreted.
bool fits(uint32_t element_type, const Value& v) {
  switch (element_type) {
    case QX_ELEMENT_TYPE_FLOAT64:
      return std::holds_alternative<double>(v);
    case QX_ELEMENT_TYPE_GEOMETRY:
      return std::holds_alternative<GeometryPtr>(v);
    default:
      return !std::holds_alternative<std::monostate>(v);
  }
}

template <class T>
const T& value_as(const Value& v, const char* wanted) {
  if (const T* p = std::get_if<T>(&v)) return *p;
  fail(kWrongType, "The element does not hold " + std::string(wanted) + ".",
       std::string("It holds ") + value_kind_name(v) + ".");
}

}  // namespace

extern "C" {

/* ---- String ---- */

QX_EXPORT void QX_String_destroy(QX_StringHandle string, const QX_ErrorHandler* handler) {
  destroy_handle(string, handler, "QX_String_destroy", "string");
}

QX_EXPORT QX_ByteArray QX_String_getByteArray(QX_StringHandle string, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_String_getByteArray", QX_ByteArray{nullptr, 0}, [&] {
    const std::string& text = deref(string, "string").text;
    return QX_ByteArray{reinterpret_cast<const uint8_t*>(text.data()), text.size()};
  });
}

/* ---- Array ---- */

QX_EXPORT void QX_Array_destroy(QX_ArrayHandle array, const QX_ErrorHandler* handler) {
  destroy_handle(array, handler, "QX_Array_destroy", "array");
}

QX_EXPORT int64_t QX_Array_getSize(QX_ArrayHandle array, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Array_getSize", int64_t{0},
                 [&] { return static_cast<int64_t>(deref(array, "array").items.size()); });
}

QX_EXPORT QX_ElementHandle QX_Array_at(QX_ArrayHandle array, int64_t index, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Array_at", QX_ElementHandle{}, [&] {
    const auto& items = deref(array, "array").items;
    const Value& value = items[checked_index(index, items.size(), "array")];
    auto* element = new _QX_ElementInternal;
    element->value = value;
    return element;
  });
}

/* ---- Element ---- */

QX_EXPORT void QX_Element_destroy(QX_ElementHandle element, const QX_ErrorHandler* handler) {
  destroy_handle(element, handler, "QX_Element_destroy", "element");
}

QX_EXPORT QX_ElementHandle QX_Element_create(const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Element_create", QX_ElementHandle{}, [&] { return new _QX_ElementInternal; });
}

QX_EXPORT void QX_Element_clear(QX_ElementHandle element, const QX_ErrorHandler* handler) {
  guarded_void(handler, "QX_Element_clear", [&] { deref(element, "element").value = std::monostate{}; });
}

QX_EXPORT QX_GeometryHandle QX_Element_getValueAsGeometry(QX_ElementHandle element,
                                                          const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Element_getValueAsGeometry", QX_GeometryHandle{}, [&] {
    return make_handle(value_as<GeometryPtr>(deref(element, "element").value, "a geometry"));
  });
}

QX_EXPORT QX_DatumTransformationHandle
QX_Element_getValueAsDatumTransformation(QX_ElementHandle element, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Element_getValueAsDatumTransformation", QX_DatumTransformationHandle{}, [&] {
    auto* h = new _QX_DatumTransformationInternal;
    try {
      h->transformation =
          value_as<DatumTransformationPtr>(deref(element, "element").value, "a datum transformation");
    } catch (...) {
      delete h;
      throw;
    }
    return h;
  });
}

QX_EXPORT void QX_Element_setValueFromFloat64(QX_ElementHandle element, double value,
                                              const QX_ErrorHandler* handler) {
  guarded_void(handler, "QX_Element_setValueFromFloat64", [&] { deref(element, "element").value = value; });
}

QX_EXPORT void QX_Element_setValueFromGeometry(QX_ElementHandle element, QX_GeometryHandle geometry,
                                               const QX_ErrorHandler* handler) {
  guarded_void(handler, "QX_Element_setValueFromGeometry", [&] {
    auto& target = deref(element, "element");
    target.value = geometry_ptr_of(geometry);
  });
}

/* ---- Vector ---- */

QX_EXPORT void QX_Vector_destroy(QX_VectorHandle vector, const QX_ErrorHandler* handler) {
  destroy_handle(vector, handler, "QX_Vector_destroy", "vector");
}

QX_EXPORT QX_VectorHandle QX_Vector_create(uint32_t element_type, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Vector_create", QX_VectorHandle{}, [&] {
    auto* v = new _QX_VectorInternal;
    v->element_type = element_type;
    return v;
  });
}

QX_EXPORT void QX_Vector_add(QX_VectorHandle vector, QX_ElementHandle element,
                             const QX_ErrorHandler* handler) {
  guarded_void(handler, "QX_Vector_add", [&] {
    auto& v = deref(vector, "vector");
    const Value& value = deref(element, "element").value;
    if (!fits(v.element_type, value))
      fail(kWrongType, "The element does not fit the vector's element type.",
           "Element type " + std::to_string(v.element_type) + ", value " + value_kind_name(value) + ".");
    v.items.push_back(value);
  });
}

}  // extern "C"
