// A small JSON reader and the number and string forms of the JSON writer.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vaskelith::json {

struct Value {
  enum class Type { Null, Bool, Number, String, Array, Object };
  Type type = Type::Null;
  bool boolean = false;
  double number = 0;
  std::string string;
  std::vector<Value> array;
  std::vector<std::pair<std::string, Value>> object;  // in document order

  bool is_null() const { return type == Type::Null; }
  bool is_number() const { return type == Type::Number; }
  bool is_array() const { return type == Type::Array; }
  bool is_object() const { return type == Type::Object; }
  // The member's value, or null when absent (the last one wins on repeats).
  const Value* find(std::string_view key) const;
};

// Parses one JSON document; throws Failure(kInvalidJSON) with the position.
Value parse(std::string_view text);

// Appends a number in its shortest round-trip form; NaN and infinities as null.
void write_number(std::string& out, double v);
// Appends a quoted, escaped string.
void write_string(std::string& out, std::string_view s);

}  // namespace vaskelith::json
