// Broken internal invariants, shared by every floor and free of Python.
//
// A Fatal ends the call in progress; the Python floor raises it as
// PanicException.  Every floor below Python throws it through fatal().
#pragma once

#include <exception>
#include <string>
#include <utility>

namespace ostrel::core {

namespace detail {
inline unsigned long& fatal_counter() noexcept {
  thread_local unsigned long count = 0;
  return count;
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

}  // namespace ostrel::core
