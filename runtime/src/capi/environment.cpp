// The runtime environment: the library-wide error callback and the folder the
// library was loaded from.
#include <dlfcn.h>

#include <string>

#include "errors.hpp"
#include "handles.hpp"

namespace vaskelith {
void set_library_error_callback(QX_ErrorCallback callback, void* user_data) noexcept;
}

using namespace vaskelith;

namespace {
// Any address inside this library identifies it to dladdr.
int anchor;
}  // namespace

extern "C" {

QX_EXPORT void QX_OstrelRuntimeEnvironment_setErrorCallback(QX_ErrorCallback callback, void* user_data,
                                                            const QX_ErrorHandler* handler) {
  guarded_void(handler, "QX_OstrelRuntimeEnvironment_setErrorCallback",
               [&] { set_library_error_callback(callback, user_data); });
}

QX_EXPORT QX_StringHandle QX_OstrelRuntimeEnvironment_getInstallDirectory(const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_OstrelRuntimeEnvironment_getInstallDirectory", QX_StringHandle{}, [&] {
    Dl_info info{};
    if (dladdr(&anchor, &info) == 0 || info.dli_fname == nullptr)
      fail(kUnknownError, "Could not determine the runtime's install directory.");
    std::string path = info.dli_fname;
    const auto slash = path.rfind('/');
    std::string folder =
        slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
    return make_string(std::move(folder));
  });
}

}  // extern "C"
