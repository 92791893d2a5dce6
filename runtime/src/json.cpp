#include "json.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "errors.hpp"

namespace vaskelith::json {

const Value* Value::find(std::string_view key) const {
  const Value* found = nullptr;
  for (const auto& [k, v] : object)
    if (k == key) found = &v;
  return found;
}

namespace {

class Parser {
 public:
  explicit Parser(std::string_view text) : s_(text) {}

  Value document() {
    Value v = value(0);
    skip_space();
    if (pos_ != s_.size()) error("unexpected text after the value");
    return v;
  }

 private:
  [[noreturn]] void error(const std::string& what) {
    fail(kInvalidJSON, "Invalid JSON text.", "At offset " + std::to_string(pos_) + ": " + what + ".");
  }

  void skip_space() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r'))
      ++pos_;
  }

  bool literal(std::string_view word) {
    if (s_.substr(pos_, word.size()) != word) return false;
    pos_ += word.size();
    return true;
  }

  Value value(int depth) {
    if (depth > 512) error("nesting too deep");
    skip_space();
    if (pos_ >= s_.size()) error("unexpected end of text");
    Value v;
    const char c = s_[pos_];
    if (c == '{') {
      v.type = Value::Type::Object;
      ++pos_;
      skip_space();
      if (literal("}")) return v;
      for (;;) {
        skip_space();
        if (pos_ >= s_.size() || s_[pos_] != '"') error("expected a member name");
        std::string key = string();
        skip_space();
        if (!literal(":")) error("expected ':'");
        v.object.emplace_back(std::move(key), value(depth + 1));
        skip_space();
        if (literal(",")) continue;
        if (literal("}")) return v;
        error("expected ',' or '}'");
      }
    }
    if (c == '[') {
      v.type = Value::Type::Array;
      ++pos_;
      skip_space();
      if (literal("]")) return v;
      for (;;) {
        v.array.push_back(value(depth + 1));
        skip_space();
        if (literal(",")) continue;
        if (literal("]")) return v;
        error("expected ',' or ']'");
      }
    }
    if (c == '"') {
      v.type = Value::Type::String;
      v.string = string();
      return v;
    }
    if (literal("true")) {
      v.type = Value::Type::Bool;
      v.boolean = true;
      return v;
    }
    if (literal("false")) {
      v.type = Value::Type::Bool;
      return v;
    }
    if (literal("null")) return v;
    // Numbers; NaN, Infinity and inf are accepted, as some writers (the
    // module's own text form among them) produce them.
    if (literal("NaN")) {
      v.type = Value::Type::Number;
      v.number = NAN;
      return v;
    }
    v.type = Value::Type::Number;
    const std::size_t start = pos_;
    if (pos_ < s_.size() && (s_[pos_] == '-' || s_[pos_] == '+')) ++pos_;
    if (literal("Infinity") || literal("inf")) {
      v.number = s_[start] == '-' ? -INFINITY : INFINITY;
      return v;
    }
    pos_ = start;
    if (s_[pos_] == '+') ++pos_;
    const char* first = s_.data() + pos_;
    const auto [end, ec] = std::from_chars(first, s_.data() + s_.size(), v.number);
    if (ec == std::errc::result_out_of_range) {
      // Overflow to infinity, underflow to zero, as strtod does.
      std::string digits(first, static_cast<std::size_t>(end - first));
      v.number = std::strtod(digits.c_str(), nullptr);
    } else if (ec != std::errc() || end == first) {
      error("invalid value");
    }
    pos_ += static_cast<std::size_t>(end - first);
    return v;
  }

  unsigned hex4() {
    if (pos_ + 4 > s_.size()) error("short \\u escape");
    unsigned u = 0;
    for (int i = 0; i < 4; ++i) {
      const char h = s_[pos_++];
      u <<= 4;
      if (h >= '0' && h <= '9')
        u |= static_cast<unsigned>(h - '0');
      else if (h >= 'a' && h <= 'f')
        u |= static_cast<unsigned>(h - 'a' + 10);
      else if (h >= 'A' && h <= 'F')
        u |= static_cast<unsigned>(h - 'A' + 10);
      else
        error("bad \\u escape");
    }
    return u;
  }

  static void utf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }

  std::string string() {
    ++pos_;  // opening quote
    std::string out;
    for (;;) {
      if (pos_ >= s_.size()) error("unterminated string");
      const char c = s_[pos_++];
      if (c == '"') return out;
      if (static_cast<unsigned char>(c) < 0x20) error("control character in string");
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= s_.size()) error("unterminated string");
      const char e = s_[pos_++];
      switch (e) {
        case '"':
          out += '"';
          break;
        case '\\':
          out += '\\';
          break;
        case '/':
          out += '/';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          uint32_t cp = hex4();
          if (cp >= 0xD800 && cp < 0xDC00 && s_.substr(pos_, 2) == "\\u") {
            pos_ += 2;
            const uint32_t low = hex4();
            if (low >= 0xDC00 && low < 0xE000)
              cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            else
              error("bad surrogate pair");
          }
          utf8(out, cp);
          break;
        }
        default:
          error("bad escape");
      }
    }
  }

  std::string_view s_;
  std::size_t pos_ = 0;
};

}  // namespace

Value parse(std::string_view text) { return Parser(text).document(); }

void write_number(std::string& out, double v) {
  if (!std::isfinite(v)) {
    out += "null";
    return;
  }
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

void write_string(std::string& out, std::string_view s) {
  out += '"';
  for (const char c : s) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          static const char* hex = "0123456789abcdef";
          out += "\\u00";
          out += hex[(c >> 4) & 0xF];
          out += hex[c & 0xF];
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

}  // namespace vaskelith::json
