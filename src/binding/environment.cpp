#include "binding/environment.hpp"

#include "binding/call.hpp"
#include "binding/error.hpp"
#include "binding/ffi.hpp"
#include "binding/once.hpp"
#include "binding/strings.hpp"

namespace ostrel::rt::environment {
namespace {

void run() {
  (void)ffi();
  // Errors of this call can only be warned about: the callback being installed
  // is the one that would report them.
  QX_ErrorHandler discard{&discard_error, nullptr};
  QX(QX_OstrelRuntimeEnvironment_setErrorCallback)(&discard_error, nullptr, &discard);
  // The first call whose error is examined: it shows the runtime answers.
  QX_StringHandle dir = detail::call_or_fatal_with("Internal error: Failed to initialize runtime environment",
                                                   QX(QX_OstrelRuntimeEnvironment_getInstallDirectory));
  if (dir != nullptr) release_string(dir);
}

}  // namespace

void init() {
  static PoisoningOnce once;
  once.call(run, "Once instance has previously been poisoned");
}

}  // namespace ostrel::rt::environment
