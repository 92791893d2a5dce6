#include "python/utils/wkb_reader.hpp"

#include <bit>
#include <cmath>
#include <cstring>
#include <string>

namespace ostrel::geomio {

namespace {

enum GeomType : std::uint32_t {
  kPoint = 1,
  kLineString = 2,
  kPolygon = 3,
  kMultiPoint = 4,
  kMultiLineString = 5,
  kMultiPolygon = 6,
  kGeometryCollection = 7,
  kCircularString = 8,
  kCompoundCurve = 9,
  kCurvePolygon = 10,
  kMultiCurve = 11,
  kMultiSurface = 12,
  kPolyhedralSurface = 15,
  kTin = 16,
  kTriangle = 17,
};

constexpr std::uint32_t kFlagZ = 0x80000000u;
constexpr std::uint32_t kFlagM = 0x40000000u;
constexpr std::uint32_t kFlagSrid = 0x20000000u;
constexpr std::uint32_t kCodeMask = 0x1FFFFFFFu;

// Smallest encodings, used to refuse counts the remaining input cannot hold
// before anything is read for them.
constexpr std::size_t kHeaderSize = 5;
constexpr std::size_t kMinPointSize = kHeaderSize + 16;
constexpr std::size_t kMinCountedSize = kHeaderSize + 4;  // any type with a count

struct Header {
  bool little;
  std::uint32_t type;
  bool z;
  bool m;
  std::size_t coord_size() const { return 8 * (2 + std::size_t(z) + std::size_t(m)); }
};

struct Coord {
  double x, y;
  std::optional<double> z, m;
};

class Reader {
 public:
  Reader(std::span<const std::uint8_t> data, GeomSink& sink)
      : p_(data.data()), end_(data.data() + data.size()), sink_(sink) {}

  void read() {
    Header h = header(true);
    geometry(h, true, 0, 0);
    if (p_ != end_) {
      std::size_t n = remaining();
      fail_format(std::to_string(n) + (n == 1 ? " byte" : " bytes") + " after the end of the geometry");
    }
  }

 private:
  std::size_t remaining() const { return std::size_t(end_ - p_); }
  void need(std::size_t n) const {
    if (remaining() < n) fail_io("failed to fill whole buffer");
  }

  std::uint32_t u32(bool little) {
    need(4);
    std::uint32_t v;
    std::memcpy(&v, p_, 4);
    p_ += 4;
    if (little != (std::endian::native == std::endian::little)) v = __builtin_bswap32(v);
    return v;
  }

  double f64(bool little) {
    std::uint64_t v;
    std::memcpy(&v, p_, 8);
    p_ += 8;
    if (little != (std::endian::native == std::endian::little)) v = __builtin_bswap64(v);
    return std::bit_cast<double>(v);
  }

  Header header(bool outermost) {
    need(1);
    std::uint8_t order = *p_++;
    if (order > 1) fail_format();
    Header h{order == 1, 0, false, false};
    std::uint32_t word = u32(h.little);
    std::uint32_t code = word & kCodeMask;
    std::uint32_t dims = code / 1000;
    if (dims > 3) fail_format();
    h.type = code % 1000;
    h.z = (word & kFlagZ) || dims == 1 || dims == 3;
    h.m = (word & kFlagM) || dims == 2 || dims == 3;
    if (word & kFlagSrid) {
      auto srid = static_cast<std::int32_t>(u32(h.little));
      if (outermost) sink_.srid(srid);
    }
    return h;
  }

  Header member_header(std::uint32_t expected) {
    Header h = header(false);
    if (h.type != expected) fail_format();
    return h;
  }

  // Reads a count and checks that the input can hold that many items.
  std::size_t count(const Header& h, std::size_t min_item_size) {
    std::size_t n = u32(h.little);
    if (n > remaining() / min_item_size) fail_io("failed to fill whole buffer");
    return n;
  }

  Coord coord(const Header& h) {
    need(h.coord_size());
    Coord c{};
    c.x = f64(h.little);
    c.y = f64(h.little);
    if (h.z) c.z = f64(h.little);
    if (h.m) c.m = f64(h.little);
    return c;
  }

  void emit(const Coord& c, std::size_t idx) { sink_.coordinate(c.x, c.y, c.z, c.m, idx); }

  void coords(const Header& h, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) emit(coord(h), i);
  }

  void point(const Header& h, std::size_t idx) {
    Coord c = coord(h);
    bool empty =
        std::isnan(c.x) && std::isnan(c.y) && (!c.z || std::isnan(*c.z)) && (!c.m || std::isnan(*c.m));
    if (empty) {
      sink_.empty_point(idx);
      return;
    }
    sink_.point_begin(idx);
    emit(c, idx);
    sink_.point_end(idx);
  }

  void linestring(const Header& h, bool tagged, std::size_t idx) {
    std::size_t n = count(h, h.coord_size());
    sink_.linestring_begin(tagged, n, idx);
    coords(h, n);
    sink_.linestring_end(tagged, idx);
  }

  void circularstring(const Header& h, std::size_t idx) {
    std::size_t n = count(h, h.coord_size());
    sink_.circularstring_begin(n, idx);
    coords(h, n);
    sink_.circularstring_end(idx);
  }

  // Rings of a polygon or triangle carry no header of their own.
  void rings(const Header& h, std::size_t n) {
    for (std::size_t j = 0; j < n; ++j) linestring(h, false, j);
  }

  void polygon(const Header& h, bool tagged, std::size_t idx) {
    std::size_t n = count(h, 4);
    sink_.polygon_begin(tagged, n, idx);
    rings(h, n);
    sink_.polygon_end(tagged, idx);
  }

  void triangle(const Header& h, bool tagged, std::size_t idx) {
    std::size_t n = count(h, 4);
    sink_.triangle_begin(tagged, n, idx);
    rings(h, n);
    sink_.triangle_end(tagged, idx);
  }

  void compoundcurve(const Header& h, std::size_t idx) {
    std::size_t n = count(h, kMinCountedSize);
    sink_.compoundcurve_begin(n, idx);
    for (std::size_t j = 0; j < n; ++j) {
      Header mh = header(false);
      if (mh.type == kLineString)
        linestring(mh, false, j);
      else if (mh.type == kCircularString)
        circularstring(mh, j);
      else
        fail_format();
    }
    sink_.compoundcurve_end(idx);
  }

  // A ring of a curve polygon or a member of a multicurve.
  void curve_member(std::size_t j) {
    Header mh = header(false);
    switch (mh.type) {
      case kLineString:
        return linestring(mh, false, j);
      case kCircularString:
        return circularstring(mh, j);
      case kCompoundCurve:
        return compoundcurve(mh, j);
      default:
        fail_format();
    }
  }

  void curvepolygon(const Header& h, std::size_t idx) {
    std::size_t n = count(h, kMinCountedSize);
    sink_.curvepolygon_begin(n, idx);
    for (std::size_t j = 0; j < n; ++j) curve_member(j);
    sink_.curvepolygon_end(idx);
  }

  void geometry(const Header& h, bool tagged, std::size_t idx, int depth) {
    switch (h.type) {
      case kPoint:
        return point(h, idx);
      case kLineString:
        return linestring(h, tagged, idx);
      case kPolygon:
        return polygon(h, tagged, idx);
      case kMultiPoint: {
        std::size_t n = count(h, kMinPointSize);
        sink_.multipoint_begin(n, idx);
        for (std::size_t i = 0; i < n; ++i) {
          // A member's coordinates are passed as they are, NaN included.
          Header mh = member_header(kPoint);
          emit(coord(mh), i);
        }
        return sink_.multipoint_end(idx);
      }
      case kMultiLineString: {
        std::size_t n = count(h, kMinCountedSize);
        sink_.multilinestring_begin(n, idx);
        for (std::size_t i = 0; i < n; ++i) linestring(member_header(kLineString), false, i);
        return sink_.multilinestring_end(idx);
      }
      case kMultiPolygon: {
        std::size_t n = count(h, kMinCountedSize);
        sink_.multipolygon_begin(n, idx);
        for (std::size_t i = 0; i < n; ++i) polygon(member_header(kPolygon), false, i);
        return sink_.multipolygon_end(idx);
      }
      case kGeometryCollection: {
        if (depth >= kMaxNesting)
          fail_format("geometry collections nested deeper than " + std::to_string(kMaxNesting) + " levels");
        std::size_t n = count(h, kMinCountedSize);
        sink_.geometrycollection_begin(n, idx);
        for (std::size_t i = 0; i < n; ++i) geometry(header(false), true, i, depth + 1);
        return sink_.geometrycollection_end(idx);
      }
      case kCircularString:
        return circularstring(h, idx);
      case kCompoundCurve:
        return compoundcurve(h, idx);
      case kCurvePolygon:
        return curvepolygon(h, idx);
      case kMultiCurve: {
        std::size_t n = count(h, kMinCountedSize);
        sink_.multicurve_begin(n, idx);
        for (std::size_t i = 0; i < n; ++i) curve_member(i);
        return sink_.multicurve_end(idx);
      }
      case kMultiSurface: {
        std::size_t n = count(h, kMinCountedSize);
        sink_.multisurface_begin(n, idx);
        for (std::size_t i = 0; i < n; ++i) {
          Header mh = header(false);
          if (mh.type == kPolygon)
            polygon(mh, false, i);
          else if (mh.type == kCurvePolygon)
            curvepolygon(mh, i);
          else
            fail_format();
        }
        return sink_.multisurface_end(idx);
      }
      case kPolyhedralSurface: {
        std::size_t n = count(h, kMinCountedSize);
        sink_.polyhedralsurface_begin(n, idx);
        for (std::size_t i = 0; i < n; ++i) polygon(member_header(kPolygon), false, i);
        return sink_.polyhedralsurface_end(idx);
      }
      case kTin: {
        std::size_t n = count(h, kMinCountedSize);
        sink_.tin_begin(n, idx);
        for (std::size_t i = 0; i < n; ++i) triangle(member_header(kTriangle), false, i);
        return sink_.tin_end(idx);
      }
      case kTriangle:
        return triangle(h, tagged, idx);
      default:
        fail_format();
    }
  }

  const std::uint8_t* p_;
  const std::uint8_t* end_;
  GeomSink& sink_;
};

}  // namespace

void read_wkb(std::span<const std::uint8_t> data, GeomSink& sink) { Reader(data, sink).read(); }

}  // namespace ostrel::geomio
