// Broken internal invariants, shared by every floor and free of Python.
//
// A Fatal ends the call in progress; the Python floor raises it as
// PanicException.  Every floor below Python throws it through fatal().  Where
// no exception may leave (a destructor releasing a handle, perhaps one of
// many in a container), the failure is deferred instead: noted here and
// raised where the call returns to Python.
#pragma once

#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <utility>

namespace ostrel::core {

namespace detail {
inline unsigned long& fatal_counter() noexcept {
  thread_local unsigned long count = 0;
  return count;
}
inline std::optional<std::string>& deferred_fatal() noexcept {
  thread_local std::optional<std::string> message;
  return message;
}
}  // namespace detail

// How many fatal errors this thread has raised.  A lock guard compares it
// before and after its scope to learn that a fatal error, and not an ordinary
// failure, unwound through it (the exception's type is not visible there).
inline unsigned long fatal_count() noexcept { return detail::fatal_counter(); }

class Fatal : public std::exception {
 public:
  explicit Fatal(std::string message) : message_(std::move(message)) { ++detail::fatal_counter(); }
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& message() const { return message_; }

 private:
  std::string message_;
};

[[noreturn]] inline void fatal(std::string message) { throw Fatal(std::move(message)); }

// Notes a fatal error to be raised when the call returns.  The first one is
// kept; a later one before it is raised only goes to stderr.
inline void defer_fatal(std::string message) noexcept {
  auto& slot = detail::deferred_fatal();
  if (slot) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return;
  }
  slot.emplace(std::move(message));  // a move: nothing is allocated
}

inline bool fatal_deferred() noexcept { return detail::deferred_fatal().has_value(); }

// Throws the deferred fatal error, if there is one, and forgets it.
inline void raise_deferred_fatal() {
  auto& slot = detail::deferred_fatal();
  if (!slot) return;
  std::string message = std::move(*slot);
  slot.reset();
  fatal(std::move(message));
}

}  // namespace ostrel::core
