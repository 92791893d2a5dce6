#include "binding/error.hpp"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "binding/call.hpp"
#include "binding/ffi.hpp"
#include "binding/strings.hpp"
#include "binding/unicode.hpp"

namespace ostrel::rt {
namespace {

// Trailing full stops removed, absent when nothing is left, first character
// upper-cased by the full mapping (it may become several characters).
std::optional<std::string> normalise(const std::string& text) {
  std::size_t end = text.size();
  while (end > 0 && text[end - 1] == '.') --end;
  if (end == 0) return std::nullopt;
  std::string body = text.substr(0, end);
  std::size_t pos = 0;
  char32_t first = unicode::decode_utf8(body, pos);
  std::string out;
  out.reserve(body.size() + 2);
  for (char32_t c : unicode::to_upper(first)) unicode::append_utf8(out, c);
  out.append(body, pos, std::string::npos);
  return out;
}

// A failure inside a callback must not reach the library: it ends the process.
template <class F>
void guard_callback(F&& body) noexcept {
  try {
    body();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    std::fflush(stderr);
    std::abort();
  } catch (...) {
    std::abort();
  }
}

}  // namespace

Error Error::from_handle(QX_ErrorHandle handle) {
  int32_t code = QX(QX_Error_getCode)(handle, nullptr);
  std::string msg = string_from_handle(QX(QX_Error_getMessage)(handle, nullptr));
  std::string additional = string_from_handle(QX(QX_Error_getAdditionalMessage)(handle, nullptr));
  QX(QX_Error_destroy)(handle, nullptr);
  return Error(code, std::move(msg), std::move(additional));
}

Error Error::new_conversion_error(const std::string& from, const std::string& to) {
  return Error(100000, "Conversion between types failed.",
               "Tried to convert from " + from + " to " + to + ".");
}

std::string Error::text() const {
  std::optional<std::string> m = normalise(msg);
  std::optional<std::string> a = normalise(additional_msg);
  if (m && a) return *m + ": " + *a;
  if (m) return *m;
  if (a) return *a;
  return "No error message found";
}

std::string Error::debug() const {
  return "Error { code: " + std::to_string(code) + ", msg: " + debug_str(msg) +
         ", additional_msg: " + debug_str(additional_msg) + " }";
}

extern "C" void write_error(void* user_data, QX_ErrorHandle error) {
  guard_callback([&] {
    Error e = Error::from_handle(error);
    // The last report of a call is the one its caller sees.
    auto* slot = static_cast<std::optional<Error>*>(user_data);
    *slot = std::move(e);
  });
}

extern "C" void discard_error(void*, QX_ErrorHandle error) {
  guard_callback([&] {
    Error e = Error::from_handle(error);
    std::string line = "WARNING: Unexpected error occurred in vaskelith and was discarded " + e.text() + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
  });
}

}  // namespace ostrel::rt
