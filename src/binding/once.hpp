// A one-time initialisation that a failure poisons for the rest of the
// process.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <utility>

#include "core/fatal.hpp"

namespace ostrel::rt {

class PoisoningOnce {
 public:
  // Runs `init` on the first call; later calls return at once (one atomic
  // load).  When `init` fails (throws), the failure passes on and every later
  // call ends with the fatal error `poisoned_message`.  Concurrent first
  // calls wait for the one that runs `init`.
  template <class F>
  void call(F&& init, const char* poisoned_message) {
    if (done_.load(std::memory_order_acquire)) return;
    std::lock_guard lock(mutex_);
    if (done_.load(std::memory_order_relaxed)) return;
    if (failed_) core::fatal(poisoned_message);
    try {
      std::forward<F>(init)();
    } catch (...) {
      failed_ = true;
      throw;
    }
    done_.store(true, std::memory_order_release);
  }

 private:
  std::mutex mutex_;
  bool failed_ = false;
  std::atomic<bool> done_{false};
};

}  // namespace ostrel::rt
