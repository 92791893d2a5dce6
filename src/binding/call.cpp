#include "binding/call.hpp"

#include <cstdio>
#include <exception>

#include "binding/handle.hpp"
#include "core/fatal.hpp"

namespace ostrel::rt::detail {
namespace {

// Handles release themselves through the table entry of their destroy
// function, called as void(handle, handler record): each one used must have
// that shape in api.h.
template <class F>
constexpr bool kReleases = false;
template <class H>
constexpr bool kReleases<void (*)(H, const QX_ErrorHandler*)> = true;

static_assert(kReleases<decltype(&::QX_Array_destroy)> && kReleases<decltype(&::QX_DatumTransformation_destroy)> &&
              kReleases<decltype(&::QX_Element_destroy)> && kReleases<decltype(&::QX_Geometry_destroy)> &&
              kReleases<decltype(&::QX_GeometryBuilder_destroy)> &&
              kReleases<decltype(&::QX_ImmutablePart_destroy)> &&
              kReleases<decltype(&::QX_ImmutablePartCollection_destroy)> &&
              kReleases<decltype(&::QX_ImmutablePointCollection_destroy)> &&
              kReleases<decltype(&::QX_MutablePart_destroy)> &&
              kReleases<decltype(&::QX_MutablePartCollection_destroy)> &&
              kReleases<decltype(&::QX_MutablePointCollection_destroy)> &&
              kReleases<decltype(&::QX_Segment_destroy)> && kReleases<decltype(&::QX_SpatialReference_destroy)> &&
              kReleases<decltype(&::QX_Unit_destroy)> && kReleases<decltype(&::QX_Vector_destroy)>);

}  // namespace

void fatal_call(std::string_view name, const Error& e) {
  throw_if_out_of_memory(e);
  core::fatal("Internal error: Unexpected error returned from internal function " + std::string(name) + ": " +
              e.debug());
}

void fatal_with(std::string_view message, const Error& e) {
  throw_if_out_of_memory(e);
  core::fatal(std::string(message) + ": " + e.debug());
}

void fatal_transform(const Error& e) {
  fatal_with("Internal error: Unexpected failure to transform return value", e);
}

void release_failed(std::string message) noexcept {
  if (std::uncaught_exceptions() > 0) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return;
  }
  core::defer_fatal(std::move(message));
}

}  // namespace ostrel::rt::detail
