// Runtime vectors (growable typed lists the engine takes whole collections
// as) and elements (one-value slots through which values enter vectors and
// leave arrays).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "binding/geometry.hpp"
#include "binding/handle.hpp"

namespace ostrel::rt {

// A sequence read once, front to back: each call gives the next item, or
// absent at the end.  It may throw (a Python error while reading, say); the
// conversion then cleans up and lets the exception through.
using GeometrySource = std::function<std::optional<GeometryLease>()>;
using F64Source = std::function<std::optional<double>()>;

class Element : public Handle<Element, QX_ElementHandle, fn::QX_Element_destroy> {
 public:
  using Handle::Handle;
  static constexpr std::string_view kName = "Element";
  static std::string null_message() { return "Internal error: Unexpected null handle"; }
  static std::string release_message() { return "Internal error: Failed to destroy handle to Element"; }

  // Runtime errors throw Error.
  static Element create();
  void clear();
  void set_f64(double value);
  // The element shares the geometry on the runtime side; the handle stays
  // with its owner.
  void set_geometry(const GeometryBase& geometry);
};

class Vector : public Handle<Vector, QX_VectorHandle, fn::QX_Vector_destroy> {
 public:
  using Handle::Handle;
  static constexpr std::string_view kName = "Vector";
  // Released with a null handler record: a failure there is not seen.
  static void destroy(QX_VectorHandle h, const QX_ErrorHandler* eh);
  static std::string null_message() { return "Internal error: Unexpected null handle"; }

  static constexpr uint32_t kFloat64 = 43;
  static constexpr uint32_t kGeometry = 50;

  // Runtime errors throw Error.
  static Vector create(uint32_t element_type);
  void add(const Element& element);

  // Reads the sequence into a new vector (element type 43 / 50) through one
  // reused element; stops at the first error, leaving the rest unread.
  static Vector try_from_f64s(const F64Source& values);
  static Vector try_from_geometries(const GeometrySource& geometries);
};

}  // namespace ostrel::rt
