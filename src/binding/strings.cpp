#include "binding/strings.hpp"

#include "binding/call.hpp"
#include "binding/ffi.hpp"
#include "binding/unicode.hpp"
#include "core/fatal.hpp"

namespace ostrel::rt {
namespace {

void append_hex_escape(std::string& out, char32_t c) {
  static const char kDigits[] = "0123456789abcdef";
  char buf[8];
  int n = 0;
  do {
    buf[n++] = kDigits[c & 0xF];
    c >>= 4;
  } while (c != 0);
  out += "\\u{";
  while (n > 0) out.push_back(buf[--n]);
  out.push_back('}');
}

}  // namespace

// A text in double quotes with the escapes a debug form uses.
std::string debug_str(std::string_view view) {
  std::string text(view);
  std::string out = "\"";
  std::size_t pos = 0;
  while (pos < text.size()) {
    char32_t c = unicode::decode_utf8(text, pos);
    switch (c) {
      case U'\0':
        out += "\\0";
        break;
      case U'\t':
        out += "\\t";
        break;
      case U'\n':
        out += "\\n";
        break;
      case U'\r':
        out += "\\r";
        break;
      case U'"':
        out += "\\\"";
        break;
      case U'\\':
        out += "\\\\";
        break;
      default:
        if (unicode::is_grapheme_extend(c) || !unicode::is_printable(c))
          append_hex_escape(out, c);
        else
          unicode::append_utf8(out, c);
    }
  }
  out.push_back('"');
  return out;
}

std::string string_from_handle(QX_StringHandle handle) {
  QX_ByteArray bytes = detail::call_or_fatal_with("Internal error: Failed to get byte array from String handle",
                                                  QX(QX_String_getByteArray), handle);
  std::string text;
  if (bytes.size > 0) text.assign(reinterpret_cast<const char*>(bytes.data), bytes.size);
  release_string(handle);
  return text;
}

void release_string(QX_StringHandle handle) {
  detail::call_or_fatal_with("Internal error: Failed to destroy String handle", QX(QX_String_destroy), handle);
}

std::string nul_error_debug(std::string_view text, std::size_t nul_index) {
  std::string out = "NulError(" + std::to_string(nul_index) + ", [";
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i > 0) out += ", ";
    out += std::to_string(static_cast<unsigned char>(text[i]));
  }
  out += "])";
  return out;
}

std::string to_c_string(std::string_view text, std::string_view fatal_message) {
  std::size_t nul = text.find('\0');
  if (nul != std::string_view::npos)
    core::fatal(std::string(fatal_message) + ": " + nul_error_debug(text, nul));
  return std::string(text);
}

}  // namespace ostrel::rt
