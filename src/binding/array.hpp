// Runtime arrays: what a runtime call returns when it gives several objects.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "binding/handle.hpp"

namespace ostrel::rt {

class Array : public Handle<Array, QX_ArrayHandle, fn::QX_Array_destroy> {
 public:
  using Handle::Handle;
  static constexpr std::string_view kName = "Array";
  static std::string null_message() { return "Internal error: Received null QX_ArrayHandle"; }
  static std::string release_message() { return "Internal error: Failed to destroy handle to Array"; }
};

// Turns the array into a list of owning handles of T, in index order, reading
// each item through an element; the array is released whatever the outcome.
// A runtime error releases what was read so far and throws that Error.
// T is one of Polygon, GeometryOwned, DatumTransformationOwned; items are
// taken over without a kind check.
template <class T>
std::vector<T> array_into_vec(Array array);

}  // namespace ostrel::rt
