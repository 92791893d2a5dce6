// The exported functions of error records.
#include "errors.hpp"
#include "handles.hpp"

using namespace vaskelith;

extern "C" {

QX_EXPORT void QX_Error_destroy(QX_ErrorHandle error, const QX_ErrorHandler* handler) {
  destroy_handle(error, handler, "QX_Error_destroy", "error");
}

QX_EXPORT int32_t QX_Error_getCode(QX_ErrorHandle error, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Error_getCode", int32_t{0}, [&] { return deref(error, "error").code; });
}

QX_EXPORT QX_StringHandle QX_Error_getMessage(QX_ErrorHandle error, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Error_getMessage", QX_StringHandle{},
                 [&] { return make_string(deref(error, "error").message); });
}

QX_EXPORT QX_StringHandle QX_Error_getAdditionalMessage(QX_ErrorHandle error,
                                                        const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Error_getAdditionalMessage", QX_StringHandle{},
                 [&] { return make_string(deref(error, "error").additional); });
}

}  // extern "C"
