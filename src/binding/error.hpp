// The error of one runtime call.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "vaskelith/api.h"

namespace ostrel::rt {

class Error : public std::exception {
 public:
  Error(int32_t code, std::string msg, std::string additional_msg)
      : code(code), msg(std::move(msg)), additional_msg(std::move(additional_msg)) {}

  // Reads the error's code and texts and releases the handle.
  static Error from_handle(QX_ErrorHandle handle);
  static Error new_conversion_error(const std::string& from, const std::string& to);

  // The text shown to users: messages normalised, code never shown.
  std::string text() const;
  // "Error { code: 1, msg: \"...\", additional_msg: \"...\" }"
  std::string debug() const;
  const char* what() const noexcept override { return msg.c_str(); }
  // Whether the runtime ran out of memory: no broken invariant, but the
  // interpreter's MemoryError (thrown as std::bad_alloc by the callers).
  bool is_out_of_memory() const { return code == kOutOfMemoryCode; }
  static constexpr int32_t kOutOfMemoryCode = 7;

  int32_t code;
  std::string msg;
  std::string additional_msg;
};

// Callbacks of the error-handler records.
extern "C" void write_error(void* user_data, QX_ErrorHandle error);
extern "C" void discard_error(void* user_data, QX_ErrorHandle error);

}  // namespace ostrel::rt
