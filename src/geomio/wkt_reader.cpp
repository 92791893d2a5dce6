#include "geomio/wkt_reader.hpp"

#include <array>
#include <charconv>
#include <cstdint>
#include <string>
#include <vector>

#include "geomio/geometry_kind.hpp"

namespace ostrel::geomio {

namespace {

using Kind = GeometryKind;

struct KeywordEntry {
  std::string_view name;
  Kind kind;
};

constexpr std::array<KeywordEntry, 7> kKeywords{{
    {"POINT", Kind::Point},
    {"LINESTRING", Kind::LineString},
    {"POLYGON", Kind::Polygon},
    {"MULTIPOINT", Kind::MultiPoint},
    {"MULTILINESTRING", Kind::MultiLineString},
    {"MULTIPOLYGON", Kind::MultiPolygon},
    {"GEOMETRYCOLLECTION", Kind::GeometryCollection},
}};

struct Dims {
  bool known = false;
  bool z = false;
  bool m = false;
  bool operator==(const Dims&) const = default;
  int values() const { return 2 + int(z) + int(m); }
};

struct Tag {
  Kind kind;
  std::optional<Dims> dims;
};

// The parse is recorded first and replayed to the sink only once the whole
// text has been read, so a syntax error is reported before any event and each
// begin event carries the length of its list.
enum class Op : std::uint8_t {
  coordinate,
  empty_point,
  point_begin,
  point_end,
  linestring_begin,
  linestring_end,
  polygon_begin,
  polygon_end,
  multipoint_begin,
  multipoint_end,
  multilinestring_begin,
  multilinestring_end,
  multipolygon_begin,
  multipolygon_end,
  collection_begin,
  collection_end,
};

struct Event {
  Op op;
  bool tagged = false;
  bool z = false;  // coordinate: a z value follows x and y
  bool m = false;  // coordinate: an m value follows
  std::size_t size = 0;
  std::size_t idx = 0;
};

struct Tape {
  std::vector<Event> events;
  std::vector<double> values;  // x, y and the present z and m of each coordinate, in order

  std::size_t add(Op op, std::size_t idx, bool tagged = false) {
    events.push_back(Event{op, tagged, false, false, 0, idx});
    return events.size() - 1;
  }

  void replay(GeomSink& sink) const {
    const double* v = values.data();
    for (const Event& e : events) {
      switch (e.op) {
        case Op::coordinate: {
          double x = *v++, y = *v++;
          std::optional<double> z, m;
          if (e.z) z = *v++;
          if (e.m) m = *v++;
          sink.coordinate(x, y, z, m, e.idx);
          break;
        }
        case Op::empty_point:
          sink.empty_point(e.idx);
          break;
        case Op::point_begin:
          sink.point_begin(e.idx);
          break;
        case Op::point_end:
          sink.point_end(e.idx);
          break;
        case Op::linestring_begin:
          sink.linestring_begin(e.tagged, e.size, e.idx);
          break;
        case Op::linestring_end:
          sink.linestring_end(e.tagged, e.idx);
          break;
        case Op::polygon_begin:
          sink.polygon_begin(e.tagged, e.size, e.idx);
          break;
        case Op::polygon_end:
          sink.polygon_end(e.tagged, e.idx);
          break;
        case Op::multipoint_begin:
          sink.multipoint_begin(e.size, e.idx);
          break;
        case Op::multipoint_end:
          sink.multipoint_end(e.idx);
          break;
        case Op::multilinestring_begin:
          sink.multilinestring_begin(e.size, e.idx);
          break;
        case Op::multilinestring_end:
          sink.multilinestring_end(e.idx);
          break;
        case Op::multipolygon_begin:
          sink.multipolygon_begin(e.size, e.idx);
          break;
        case Op::multipolygon_end:
          sink.multipolygon_end(e.idx);
          break;
        case Op::collection_begin:
          sink.geometrycollection_begin(e.size, e.idx);
          break;
        case Op::collection_end:
          sink.geometrycollection_end(e.idx);
          break;
      }
    }
  }
};

bool is_ws(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
bool is_alpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
char upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

bool iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (upper(a[i]) != b[i]) return false;
  return true;
}

std::optional<Kind> find_kind(std::string_view upper_name) {
  for (const auto& k : kKeywords)
    if (k.name == upper_name) return k.kind;
  return std::nullopt;
}

std::optional<Dims> dims_tag(std::string_view w) {
  if (iequals(w, "Z")) return Dims{true, true, false};
  if (iequals(w, "M")) return Dims{true, false, true};
  if (iequals(w, "ZM")) return Dims{true, true, true};
  return std::nullopt;
}

class Parser {
 public:
  Parser(std::string_view text, Tape& tape) : s_(text), tape_(tape) {
    // A coordinate takes at least 4 characters; reserving for that avoids
    // most regrowth without over-allocating for long numbers.
    tape_.values.reserve(text.size() / 8);
    tape_.events.reserve(text.size() / 16);
  }

  void parse() {
    Tag tag = keyword();
    dims_ = tag.dims.value_or(Dims{});
    geometry(tag.kind, 0, 0);
    skip_ws();
    if (pos_ != s_.size()) expected("the end of the text");
  }

 private:
  // ---- lexing ----
  void skip_ws() {
    while (pos_ < s_.size() && is_ws(s_[pos_])) ++pos_;
  }
  bool at_end() {
    skip_ws();
    return pos_ >= s_.size();
  }
  std::string_view word() {
    skip_ws();
    std::size_t start = pos_;
    while (pos_ < s_.size() && is_alpha(s_[pos_])) ++pos_;
    return s_.substr(start, pos_ - start);
  }
  bool accept(char c) {
    if (!at_end() && s_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  void expect(char c) {
    if (!accept(c)) expected(std::string("'") + c + "'");
  }
  // Consumes the word EMPTY when it comes next.
  bool take_empty() {
    std::size_t save = pos_;
    if (iequals(word(), "EMPTY")) return true;
    pos_ = save;
    return false;
  }

  std::string found() const {
    if (pos_ >= s_.size()) return "end of text";
    auto c = static_cast<unsigned char>(s_[pos_]);
    if (c > 0x20 && c < 0x7F) return std::string("'") + char(c) + "'";
    static constexpr char hex[] = "0123456789abcdef";
    return std::string("byte 0x") + hex[c >> 4] + hex[c & 15];
  }
  [[noreturn]] void fail_at(std::size_t pos, std::string message) const {
    fail_geometry(message + " at position " + std::to_string(pos));
  }
  [[noreturn]] void expected(std::string what) const {
    fail_geometry("expected " + what + " at position " + std::to_string(pos_) + ", found " + found());
  }

  // ---- grammar ----
  // A geometry type keyword with its optional dimension tag.
  Tag keyword() {
    skip_ws();
    std::size_t start = pos_;
    std::string_view w = word();
    if (w.empty()) expected("a geometry type");
    std::string up;
    up.reserve(w.size());
    for (char c : w) up.push_back(upper(c));
    Tag tag{Kind::Point, std::nullopt};
    if (auto k = find_kind(up)) {
      tag.kind = *k;
    } else {
      // Attached tags: POINTZ, LINESTRINGM, POLYGONZM.
      bool found_kind = false;
      for (std::string_view suffix : {"ZM", "Z", "M"}) {
        if (up.size() > suffix.size() && up.ends_with(suffix)) {
          if (auto k2 = find_kind(std::string_view(up).substr(0, up.size() - suffix.size()))) {
            tag.kind = *k2;
            tag.dims = dims_tag(suffix);
            found_kind = true;
            break;
          }
        }
      }
      if (!found_kind) {
        if (up.size() > 40) up = up.substr(0, 40) + "...";
        fail_at(start, "unknown geometry type '" + up + "'");
      }
    }
    if (!tag.dims) {
      std::size_t save = pos_;
      if (auto d = dims_tag(word()))
        tag.dims = d;
      else
        pos_ = save;
    }
    return tag;
  }

  double number() {
    skip_ws();
    std::size_t start = pos_;
    std::size_t i = pos_;
    bool neg = false;
    if (i < s_.size() && (s_[i] == '+' || s_[i] == '-')) neg = s_[i++] == '-';
    std::size_t int_start = i;
    while (i < s_.size() && is_digit(s_[i])) ++i;
    std::size_t int_end = i;
    std::size_t frac_start = i, frac_end = i;
    if (i < s_.size() && s_[i] == '.') {
      frac_start = ++i;
      while (i < s_.size() && is_digit(s_[i])) ++i;
      frac_end = i;
    }
    if (int_end == int_start && frac_end == frac_start) expected("a number");
    long exp10 = 0;
    if (i < s_.size() && (s_[i] == 'e' || s_[i] == 'E')) {
      std::size_t j = i + 1;
      bool eneg = false;
      if (j < s_.size() && (s_[j] == '+' || s_[j] == '-')) eneg = s_[j++] == '-';
      std::size_t dstart = j;
      while (j < s_.size() && is_digit(s_[j])) {
        if (exp10 < 100000) exp10 = exp10 * 10 + (s_[j] - '0');
        ++j;
      }
      if (j == dstart) {
        pos_ = j;
        expected("exponent digits");
      }
      if (eneg) exp10 = -exp10;
      i = j;
    }
    // from_chars takes no leading '+'.
    std::size_t from = (s_[start] == '+') ? start + 1 : start;
    double v = 0;
    auto r = std::from_chars(s_.data() + from, s_.data() + i, v);
    if (r.ec == std::errc::result_out_of_range) {
      // Decimal exponent of the first significant digit tells underflow
      // (read as zero, like a float conversion) from overflow (refused).
      long lead = 0;
      bool nonzero = false;
      for (std::size_t k = int_start; k < int_end && !nonzero; ++k)
        if (s_[k] != '0') {
          lead = long(int_end - k) - 1;
          nonzero = true;
        }
      for (std::size_t k = frac_start; k < frac_end && !nonzero; ++k)
        if (s_[k] != '0') {
          lead = -long(k - frac_start) - 1;
          nonzero = true;
        }
      if (lead + exp10 >= 0) fail_at(start, "number out of range");
      v = neg ? -0.0 : 0.0;
    } else if (r.ec != std::errc() || r.ptr != s_.data() + i) {
      fail_at(start, "invalid number");
    }
    pos_ = i;
    return v;
  }

  bool number_next() {
    if (pos_ >= s_.size()) return false;
    char c = s_[pos_];
    return is_digit(c) || c == '-' || c == '+' || c == '.';
  }

  void coordinate(std::size_t idx) {
    skip_ws();
    std::size_t start = pos_;
    double v[4];
    int n = 0;
    v[n++] = number();
    for (;;) {
      std::size_t before = pos_;
      skip_ws();
      if (pos_ == before || !number_next()) break;  // values are separated by blanks
      if (n == 4) fail_at(pos_, "more than 4 coordinate values");
      v[n++] = number();
    }
    if (n < 2) fail_at(start, "coordinate with only 1 value");
    if (!dims_.known) {
      dims_ = Dims{true, n >= 3, n == 4};
    } else if (n != dims_.values()) {
      fail_at(start, "coordinate with " + std::to_string(n) + " values where " +
                         std::to_string(dims_.values()) + " were expected");
    }
    std::size_t e = tape_.add(Op::coordinate, idx);
    tape_.events[e].z = dims_.z;
    tape_.events[e].m = dims_.m;
    tape_.values.insert(tape_.values.end(), v, v + n);
  }

  // EMPTY, or a parenthesised list whose members `member(i)` reads, between
  // the begin and end events `begin` and `end`.
  template <class Member>
  void list(Op begin, Op end, bool tagged, std::size_t idx, Member member) {
    std::size_t at = tape_.add(begin, idx, tagged);
    std::size_t n = 0;
    if (!take_empty()) {
      expect('(');
      do {
        member(n++);
      } while (accept(','));
      expect(')');
    }
    tape_.events[at].size = n;
    tape_.add(end, idx, tagged);
  }

  void linestring(bool tagged, std::size_t idx) {
    list(Op::linestring_begin, Op::linestring_end, tagged, idx, [&](std::size_t i) { coordinate(i); });
  }
  void polygon(bool tagged, std::size_t idx) {
    list(Op::polygon_begin, Op::polygon_end, tagged, idx, [&](std::size_t j) { linestring(false, j); });
  }

  void geometry(Kind kind, std::size_t idx, int depth) {
    switch (kind) {
      case Kind::Point:
        if (take_empty()) {
          tape_.add(Op::empty_point, idx);
          return;
        }
        expect('(');
        tape_.add(Op::point_begin, idx);
        coordinate(idx);
        expect(')');
        tape_.add(Op::point_end, idx);
        return;
      case Kind::LineString:
        return linestring(true, idx);
      case Kind::Polygon:
        return polygon(true, idx);
      case Kind::MultiPoint:
        return list(Op::multipoint_begin, Op::multipoint_end, false, idx, [&](std::size_t i) {
          // Members are (x y), bare x y, or EMPTY, which reports nothing.
          if (take_empty()) return;
          if (accept('(')) {
            coordinate(i);
            expect(')');
          } else {
            coordinate(i);
          }
        });
      case Kind::MultiLineString:
        return list(Op::multilinestring_begin, Op::multilinestring_end, false, idx,
                    [&](std::size_t i) { linestring(false, i); });
      case Kind::MultiPolygon:
        return list(Op::multipolygon_begin, Op::multipolygon_end, false, idx,
                    [&](std::size_t i) { polygon(false, i); });
      case Kind::GeometryCollection: {
        if (depth >= kMaxNesting)
          fail_at(pos_, "geometry collections nested deeper than " + std::to_string(kMaxNesting) + " levels");
        Dims outer = dims_;
        list(Op::collection_begin, Op::collection_end, false, idx, [&](std::size_t i) {
          // Each member is a geometry of its own: its own tag, else the
          // collection's, else inferred from its first coordinate.
          Tag tag = keyword();
          dims_ = tag.dims.value_or(outer);
          geometry(tag.kind, i, depth + 1);
          dims_ = outer;
        });
        return;
      }
      default:
        // No keyword names any other kind.
        return;
    }
  }

  std::string_view s_;
  std::size_t pos_ = 0;
  Tape& tape_;
  Dims dims_;
};

}  // namespace

void read_wkt(std::string_view text, GeomSink& sink) {
  Tape tape;
  Parser(text, tape).parse();
  tape.replay(sink);
}

}  // namespace ostrel::geomio
