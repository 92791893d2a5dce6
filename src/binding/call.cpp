#include "binding/call.hpp"

#include <cstdio>
#include <exception>

#include "binding/handle.hpp"
#include "python/pyapi/errors.hpp"

namespace ostrel::rt::detail {

void fatal(std::string message) { py::fatal(std::move(message)); }

void fatal_call(std::string_view name, const Error& e) {
  fatal("Internal error: Unexpected error returned from internal function " + std::string(name) + ": " +
        e.debug());
}

void fatal_with(std::string_view message, const Error& e) { fatal(std::string(message) + ": " + e.debug()); }

void fatal_transform(const Error& e) {
  fatal_with("Internal error: Unexpected failure to transform return value", e);
}

void fatal_from_release(std::string message) {
  if (std::uncaught_exceptions() > 0) {
    // Already unwinding from another failure: a second exception would end
    // the process, so this one is only reported.
    std::fprintf(stderr, "%s\n", message.c_str());
    return;
  }
  fatal(std::move(message));
}

}  // namespace ostrel::rt::detail
