// Failures inside the runtime and how they reach the caller.
//
// Code inside the library throws vaskelith::Failure (or lets std exceptions
// escape); every exported function runs its body through guarded(), which
// catches everything and reports it through the call's error-handler record,
// or through the library-wide callback when the record is null.  No C++
// exception crosses the C boundary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <utility>

#include "vaskelith/api.h"

namespace vaskelith {

// Codes reported by QX_Error_getCode.
enum ErrorCode : int32_t {
  kUnknownError = 1,
  kInvalidArgument = 2,
  kNullHandle = 3,
  kOutOfRange = 4,
  kNotSupported = 5,
  kInvalidJSON = 6,
  kOutOfMemory = 7,
  kGeometryEngine = 8,
  kProjection = 9,
  kWrongType = 10,
};

struct Failure : std::exception {
  Failure(int32_t code, std::string message, std::string additional = {})
      : code(code), message(std::move(message)), additional(std::move(additional)) {}
  const char* what() const noexcept override { return message.c_str(); }
  int32_t code;
  std::string message;
  std::string additional;
};

[[noreturn]] inline void fail(int32_t code, std::string message, std::string additional = {}) {
  throw Failure(code, std::move(message), std::move(additional));
}

// Hands one error to the record's callback (null record: to the library-wide
// callback, or drops it when none is installed).  Never throws.
void report(const QX_ErrorHandler* handler, int32_t code, const std::string& message,
            const std::string& additional = {}) noexcept;

// Reports the exception being handled (call inside a catch block).
void report_current_exception(const QX_ErrorHandler* handler, const char* function) noexcept;

// Runs `body`; on any exception reports it and returns `fallback`.
template <class R, class F>
R guarded(const QX_ErrorHandler* handler, const char* function, R fallback, F&& body) noexcept {
  try {
    return body();
  } catch (...) {
    report_current_exception(handler, function);
    return fallback;
  }
}

template <class F>
void guarded_void(const QX_ErrorHandler* handler, const char* function, F&& body) noexcept {
  try {
    body();
  } catch (...) {
    report_current_exception(handler, function);
  }
}

// The handle's object, or a kNullHandle failure naming the argument.
template <class T>
T& deref(T* handle, const char* argument) {
  if (handle == nullptr) fail(kNullHandle, std::string("The ") + argument + " handle is null.");
  return *handle;
}

// Releases a handle made with `new`; a null handle is reported as a
// kNullHandle failure naming `argument`.
template <class T>
void destroy_handle(T* handle, const QX_ErrorHandler* handler, const char* function, const char* argument) noexcept {
  guarded_void(handler, function, [&] { delete &deref(handle, argument); });
}

// `index` as a position in a sequence of `size` items, or a kOutOfRange
// failure naming the sequence (`what`).
inline std::size_t checked_index(int64_t index, std::size_t size, const char* what) {
  if (index < 0 || static_cast<uint64_t>(index) >= size)
    fail(kOutOfRange, std::string("The ") + what + " index is out of range.",
         "Index " + std::to_string(index) + ", size " + std::to_string(size) + ".");
  return static_cast<std::size_t>(index);
}

}  // namespace vaskelith
