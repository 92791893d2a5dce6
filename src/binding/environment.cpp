#include "binding/environment.hpp"

#include <atomic>
#include <mutex>

#include "binding/call.hpp"
#include "binding/error.hpp"
#include "binding/ffi.hpp"
#include "binding/strings.hpp"

namespace ostrel::rt::environment {
namespace {

enum class State { NotRun, Done, Failed };

struct Once {
  std::mutex mutex;
  State state = State::NotRun;
  std::atomic<bool> done{false};
};

Once& once() {
  static Once o;
  return o;
}

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
  Once& o = once();
  if (o.done.load(std::memory_order_acquire)) return;
  std::lock_guard lock(o.mutex);
  switch (o.state) {
    case State::Done:
      return;
    case State::Failed:
      detail::fatal("Once instance has previously been poisoned");
    case State::NotRun:
      break;
  }
  try {
    run();
  } catch (...) {
    o.state = State::Failed;
    throw;
  }
  o.state = State::Done;
  o.done.store(true, std::memory_order_release);
}

}  // namespace ostrel::rt::environment
