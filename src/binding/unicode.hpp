// Character data for the texts of runtime errors: full upper-case mapping and
// the classes the debug form escapes.  Tables in unicode_tables.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ostrel::rt::unicode {

// Code points first..last (every `stride`-th one) map to cp + delta.
struct CaseRange {
  uint32_t first;
  uint32_t last;
  int32_t delta;
  uint8_t stride;
};
// A code point whose upper case is several characters (ß -> SS).
struct CaseSpecial {
  uint32_t cp;
  char32_t upper[3];
};
struct CodeRange {
  uint32_t first;
  uint32_t last;
};

extern const CaseRange kUpperRanges[];
extern const std::size_t kUpperRangeCount;
extern const CaseSpecial kUpperSpecials[];
extern const std::size_t kUpperSpecialCount;
extern const CodeRange kNonPrintable[];
extern const std::size_t kNonPrintableCount;
extern const CodeRange kGraphemeExtend[];
extern const std::size_t kGraphemeExtendCount;

// The full upper-case mapping of one character (one to three characters).
std::u32string to_upper(char32_t c);
bool is_printable(char32_t c);
bool is_grapheme_extend(char32_t c);

// UTF-8 helpers.  Decoding replaces invalid bytes with U+FFFD.
char32_t decode_utf8(const std::string& s, std::size_t& pos);
void append_utf8(std::string& out, char32_t c);

}  // namespace ostrel::rt::unicode
