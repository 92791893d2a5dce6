// Live-handle counting and the handle-argument helpers.
#include "handles.hpp"

#include "errors.hpp"

namespace vaskelith {

std::atomic<int64_t>& live_handle_counter() {
  static std::atomic<int64_t> counter{0};
  return counter;
}

const GeometryPtr& geometry_ptr_of(QX_GeometryHandle h, const char* argument) {
  return deref(h, argument).geometry;
}

const Geometry& geometry_of(QX_GeometryHandle h, const char* argument) {
  return *geometry_ptr_of(h, argument);
}

SpatialReferencePtr spatial_reference_of(QX_SpatialReferenceHandle h) {
  return h == nullptr ? nullptr : h->spatial_reference;
}

}  // namespace vaskelith

extern "C" QX_EXPORT int64_t vaskelith_live_handle_count(void) {
  return vaskelith::live_handle_counter().load(std::memory_order_relaxed);
}
