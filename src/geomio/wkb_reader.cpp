#include "geomio/wkb_reader.hpp"

#include <bit>
#include <cmath>
#include <cstring>
#include <string>

#include "geomio/geometry_kind.hpp"

namespace ostrel::geomio {

namespace {

using Kind = GeometryKind;

constexpr std::uint32_t kFlagZ = 0x80000000u;
constexpr std::uint32_t kFlagM = 0x40000000u;
constexpr std::uint32_t kFlagSrid = 0x20000000u;
constexpr std::uint32_t kCodeMask = 0x1FFFFFFFu;

struct Header {
  bool little;
  Kind type;
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
    Header h{order == 1, Kind{}, false, false};
    std::uint32_t word = u32(h.little);
    std::uint32_t code = word & kCodeMask;
    std::uint32_t dims = code / 1000;
    if (dims > 3) fail_format();
    h.type = static_cast<Kind>(code % 1000);
    h.z = (word & kFlagZ) || dims == 1 || dims == 3;
    h.m = (word & kFlagM) || dims == 2 || dims == 3;
    if (word & kFlagSrid) {
      auto srid = static_cast<std::int32_t>(u32(h.little));
      if (outermost) sink_.srid(srid);
    }
    return h;
  }

  Header member_header(Kind expected) {
    Header h = header(false);
    if (h.type != expected) fail_format();
    return h;
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

  // A counted list of items read one by one as the input goes, so a builder
  // sees every item before a truncation further on: each item takes at least
  // one byte, so even a huge count ends at the end of the input.
  using Begin = void (GeomSink::*)(std::size_t size, std::size_t idx);
  using End = void (GeomSink::*)(std::size_t idx);
  using TaggedBegin = void (GeomSink::*)(bool tagged, std::size_t size, std::size_t idx);
  using TaggedEnd = void (GeomSink::*)(bool tagged, std::size_t idx);

  template <class Item>
  void list(const Header& h, std::size_t idx, Begin begin, End end, Item item) {
    std::size_t n = u32(h.little);
    (sink_.*begin)(n, idx);
    for (std::size_t i = 0; i < n; ++i) item(i);
    (sink_.*end)(idx);
  }

  template <class Item>
  void list(const Header& h, bool tagged, std::size_t idx, TaggedBegin begin, TaggedEnd end, Item item) {
    std::size_t n = u32(h.little);
    (sink_.*begin)(tagged, n, idx);
    for (std::size_t i = 0; i < n; ++i) item(i);
    (sink_.*end)(tagged, idx);
  }

  void linestring(const Header& h, bool tagged, std::size_t idx) {
    list(h, tagged, idx, &GeomSink::linestring_begin, &GeomSink::linestring_end,
         [&](std::size_t i) { emit(coord(h), i); });
  }

  void circularstring(const Header& h, std::size_t idx) {
    list(h, idx, &GeomSink::circularstring_begin, &GeomSink::circularstring_end,
         [&](std::size_t i) { emit(coord(h), i); });
  }

  // Rings of a polygon or triangle carry no header of their own.
  void polygon(const Header& h, bool tagged, std::size_t idx) {
    list(h, tagged, idx, &GeomSink::polygon_begin, &GeomSink::polygon_end,
         [&](std::size_t j) { linestring(h, false, j); });
  }

  void triangle(const Header& h, bool tagged, std::size_t idx) {
    list(h, tagged, idx, &GeomSink::triangle_begin, &GeomSink::triangle_end,
         [&](std::size_t j) { linestring(h, false, j); });
  }

  // A member of a compound curve, a ring of a curve polygon or a member of a
  // multicurve: a compound curve is allowed only in the last two.
  void curve_member(std::size_t j, bool compound_allowed) {
    Header mh = header(false);
    switch (mh.type) {
      case Kind::LineString:
        return linestring(mh, false, j);
      case Kind::CircularString:
        return circularstring(mh, j);
      case Kind::CompoundCurve:
        if (compound_allowed) return compoundcurve(mh, j);
        [[fallthrough]];
      default:
        fail_format();
    }
  }

  void compoundcurve(const Header& h, std::size_t idx) {
    list(h, idx, &GeomSink::compoundcurve_begin, &GeomSink::compoundcurve_end,
         [&](std::size_t j) { curve_member(j, false); });
  }

  void curvepolygon(const Header& h, std::size_t idx) {
    list(h, idx, &GeomSink::curvepolygon_begin, &GeomSink::curvepolygon_end,
         [&](std::size_t j) { curve_member(j, true); });
  }

  void geometry(const Header& h, bool tagged, std::size_t idx, int depth) {
    switch (h.type) {
      case Kind::Point:
        return point(h, idx);
      case Kind::LineString:
        return linestring(h, tagged, idx);
      case Kind::Polygon:
        return polygon(h, tagged, idx);
      case Kind::MultiPoint:
        // A member's coordinates are passed as they are, NaN included.
        return list(h, idx, &GeomSink::multipoint_begin, &GeomSink::multipoint_end,
                    [&](std::size_t i) { emit(coord(member_header(Kind::Point)), i); });
      case Kind::MultiLineString:
        return list(h, idx, &GeomSink::multilinestring_begin, &GeomSink::multilinestring_end,
                    [&](std::size_t i) { linestring(member_header(Kind::LineString), false, i); });
      case Kind::MultiPolygon:
        return list(h, idx, &GeomSink::multipolygon_begin, &GeomSink::multipolygon_end,
                    [&](std::size_t i) { polygon(member_header(Kind::Polygon), false, i); });
      case Kind::GeometryCollection:
        if (depth >= kMaxNesting)
          fail_format("geometry collections nested deeper than " + std::to_string(kMaxNesting) + " levels");
        return list(h, idx, &GeomSink::geometrycollection_begin, &GeomSink::geometrycollection_end,
                    [&](std::size_t i) { geometry(header(false), true, i, depth + 1); });
      case Kind::CircularString:
        return circularstring(h, idx);
      case Kind::CompoundCurve:
        return compoundcurve(h, idx);
      case Kind::CurvePolygon:
        return curvepolygon(h, idx);
      case Kind::MultiCurve:
        return list(h, idx, &GeomSink::multicurve_begin, &GeomSink::multicurve_end,
                    [&](std::size_t i) { curve_member(i, true); });
      case Kind::MultiSurface:
        return list(h, idx, &GeomSink::multisurface_begin, &GeomSink::multisurface_end, [&](std::size_t i) {
          Header mh = header(false);
          if (mh.type == Kind::Polygon)
            polygon(mh, false, i);
          else if (mh.type == Kind::CurvePolygon)
            curvepolygon(mh, i);
          else
            fail_format();
        });
      case Kind::PolyhedralSurface:
        return list(h, idx, &GeomSink::polyhedralsurface_begin, &GeomSink::polyhedralsurface_end,
                    [&](std::size_t i) { polygon(member_header(Kind::Polygon), false, i); });
      case Kind::Tin:
        return list(h, idx, &GeomSink::tin_begin, &GeomSink::tin_end,
                    [&](std::size_t i) { triangle(member_header(Kind::Triangle), false, i); });
      case Kind::Triangle:
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
