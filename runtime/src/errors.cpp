// Error handles, the library-wide error callback and failure reporting.
#include "errors.hpp"

#include <new>

#include "handles.hpp"

namespace vaskelith {
namespace {

// The library-wide callback: receives errors of calls made without a handler
// record.  Calls are serialised by the caller, so plain globals suffice.
QX_ErrorCallback g_callback = nullptr;
void* g_user_data = nullptr;

}  // namespace

void set_library_error_callback(QX_ErrorCallback callback, void* user_data) noexcept {
  g_callback = callback;
  g_user_data = user_data;
}

void report(const QX_ErrorHandler* handler, int32_t code, const std::string& message,
            const std::string& additional) noexcept {
  QX_ErrorCallback callback = g_callback;
  void* user_data = g_user_data;
  if (handler != nullptr && handler->callback != nullptr) {
    callback = handler->callback;
    user_data = handler->user_data;
  }
  if (callback == nullptr) return;
  _QX_ErrorInternal* error = nullptr;
  try {
    error = new _QX_ErrorInternal;
    error->code = code;
    error->message = message;
    error->additional = additional;
  } catch (...) {
    delete error;
    return;  // out of memory: nothing sensible left to report with
  }
  callback(user_data, error);
}

void report_current_exception(const QX_ErrorHandler* handler, const char* function) noexcept {
  try {
    throw;
  } catch (const Failure& f) {
    report(handler, f.code, f.message, f.additional);
  } catch (const std::bad_alloc&) {
    report(handler, kOutOfMemory, "Out of memory.", std::string("In ") + function + ".");
  } catch (const std::exception& e) {
    report(handler, kUnknownError, e.what(), std::string("In ") + function + ".");
  } catch (...) {
    report(handler, kUnknownError, "Unexpected failure.", std::string("In ") + function + ".");
  }
}

void report_unsupported(const char* function) noexcept {
  try {
    report(nullptr, kNotSupported, std::string(function) + " is not supported by this runtime.");
  } catch (...) {
  }
}

}  // namespace vaskelith
