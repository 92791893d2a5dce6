// The runtime's function table and the one way to call through it.
#pragma once

#include <cstddef>
#include <new>
#include <optional>
#include <string>

#include "binding/error.hpp"
#include "vaskelith/api.h"

namespace ostrel::rt {

namespace fn {
enum Index : std::size_t {
#define X(name) name,
#include "vaskelith/names.h"
// The internal names come after every name of the interface.
#include "vaskelith/internal_names.h"
#undef X
  count
};
}  // namespace fn

// One entry per runtime function, in load order.
struct VaskelithFFI {
  void* library = nullptr;
  void* entries[fn::count] = {};
};

// The loaded table.  The first access of the process finds and loads the
// library; a failed load is fatal, then and for every later access.
const VaskelithFFI& ffi();

// The error slot and handler record of one ordinary runtime call.
class CallError {
 public:
  CallError() = default;
  CallError(const CallError&) = delete;
  CallError& operator=(const CallError&) = delete;
  const QX_ErrorHandler* handler() { return &record_; }
  bool failed() const { return slot_.has_value(); }
  // Throws the reported error, if any.
  void check() {
    if (slot_) {
      if (slot_->is_out_of_memory()) throw std::bad_alloc();
      Error e = std::move(*slot_);
      slot_.reset();
      throw e;
    }
  }
  std::optional<Error>& slot() { return slot_; }

 private:
  std::optional<Error> slot_;
  QX_ErrorHandler record_{&write_error, &slot_};
};

}  // namespace ostrel::rt

// The table entry of a runtime function, typed from its declaration in api.h:
//   QX(QX_Point_getX)(handle, err.handler())
#define QX(name) (reinterpret_cast<decltype(&::name)>(::ostrel::rt::ffi().entries[::ostrel::rt::fn::name]))
