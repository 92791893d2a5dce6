#include "binding/array.hpp"

#include "binding/call.hpp"
#include "binding/datum_transformation.hpp"
#include "binding/geometry.hpp"
#include "binding/vector.hpp"

namespace ostrel::rt {
namespace {

template <class T>
typename T::raw_type item_of(const Element& element);

template <>
QX_GeometryHandle item_of<Polygon>(const Element& element) {
  return OSTREL_RT_CALL(QX_Element_getValueAsGeometry, element.raw());
}

template <>
QX_GeometryHandle item_of<GeometryOwned>(const Element& element) {
  return OSTREL_RT_CALL(QX_Element_getValueAsGeometry, element.raw());
}

template <>
QX_DatumTransformationHandle item_of<DatumTransformationOwned>(const Element& element) {
  return OSTREL_RT_CALL(QX_Element_getValueAsDatumTransformation, element.raw());
}

}  // namespace

template <class T>
std::vector<T> array_into_vec(Array array) {
  // On any failure the list, the element of the step and the array are
  // released by their owners as the Error leaves.
  int64_t size = OSTREL_RT_CALL(QX_Array_getSize, array.raw());
  std::vector<T> out;
  if (size > 0) out.reserve(static_cast<std::size_t>(size));
  for (int64_t i = 0; i < size; ++i) {
    Element element = Element::from_handle(OSTREL_RT_CALL(QX_Array_at, array.raw(), i));
    out.push_back(T::from_handle(item_of<T>(element)));
  }
  return out;
}

template std::vector<Polygon> array_into_vec<Polygon>(Array);
template std::vector<GeometryOwned> array_into_vec<GeometryOwned>(Array);
template std::vector<DatumTransformationOwned> array_into_vec<DatumTransformationOwned>(Array);

}  // namespace ostrel::rt
