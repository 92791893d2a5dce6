#include "binding/unicode.hpp"

#include <algorithm>

namespace ostrel::rt::unicode {
namespace {

bool in_ranges(const CodeRange* ranges, std::size_t count, char32_t c) {
  // Ranges are sorted and disjoint: find the last one starting at or before c.
  const CodeRange* end = ranges + count;
  const CodeRange* it = std::upper_bound(ranges, end, static_cast<uint32_t>(c),
                                         [](uint32_t v, const CodeRange& r) { return v < r.first; });
  if (it == ranges) return false;
  --it;
  return c <= it->last;
}

}  // namespace

std::u32string to_upper(char32_t c) {
  for (std::size_t i = 0; i < kUpperSpecialCount; ++i) {
    const CaseSpecial& s = kUpperSpecials[i];
    if (s.cp == c) {
      std::u32string out;
      for (char32_t u : s.upper)
        if (u != 0) out.push_back(u);
      return out;
    }
  }
  // Alternating ranges interleave, so every range is checked.
  for (std::size_t i = 0; i < kUpperRangeCount; ++i) {
    const CaseRange& r = kUpperRanges[i];
    if (c >= r.first && c <= r.last && (c - r.first) % r.stride == 0)
      return std::u32string(1, static_cast<char32_t>(static_cast<int64_t>(c) + r.delta));
  }
  return std::u32string(1, c);
}

bool is_printable(char32_t c) { return !in_ranges(kNonPrintable, kNonPrintableCount, c); }

bool is_grapheme_extend(char32_t c) { return in_ranges(kGraphemeExtend, kGraphemeExtendCount, c); }

char32_t decode_utf8(const std::string& s, std::size_t& pos) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  unsigned char b0 = byte(pos);
  if (b0 < 0x80) {
    ++pos;
    return b0;
  }
  int len = 0;
  char32_t c = 0;
  char32_t min = 0;
  if ((b0 & 0xE0) == 0xC0) {
    len = 2;
    c = b0 & 0x1F;
    min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3;
    c = b0 & 0x0F;
    min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4;
    c = b0 & 0x07;
    min = 0x10000;
  } else {
    ++pos;
    return 0xFFFD;
  }
  if (pos + len > s.size()) {
    ++pos;
    return 0xFFFD;
  }
  for (int i = 1; i < len; ++i) {
    unsigned char b = byte(pos + i);
    if ((b & 0xC0) != 0x80) {
      ++pos;
      return 0xFFFD;
    }
    c = (c << 6) | (b & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    ++pos;
    return 0xFFFD;
  }
  pos += len;
  return c;
}

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

}  // namespace ostrel::rt::unicode
