// The geometry event stream shared by the WKT and WKB readers and the
// dictionary builders.
//
// A reader walks its input once and reports each geometry as nested begin and
// end events around its coordinates; a sink turns them into objects.  The
// readers are plain C++ (no Python), so they can be driven by a fuzzer.
//
// Order of events for each kind (idx is the position in the parent, 0 at the
// top; "tagged" is true for a geometry standing by itself and false for a ring
// of a polygon or a member of a multi-geometry):
//   point            point_begin, one coordinate, point_end
//   empty point      empty_point alone
//   line string      linestring_begin(tagged), coordinates, linestring_end(tagged)
//   polygon          polygon_begin(tagged), each ring j as an untagged line
//                    string with index j, polygon_end(tagged)
//   multipoint       multipoint_begin, one coordinate per member (no point
//                    events), multipoint_end
//   multi line       multilinestring_begin, untagged line strings, end
//   multipolygon     multipolygon_begin, untagged polygons, end
//   collection       geometrycollection_begin, each member tagged with its
//                    position as index, geometrycollection_end
//   curve/surface    their own begin/end around their coordinates and their
//                    linear members, which come as untagged line strings
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel::geomio {

// A failed read.  `what()` is the text shown to the user.
class ReadError : public std::exception {
 public:
  explicit ReadError(std::string text) : text_(std::move(text)) {}
  const char* what() const noexcept override { return text_.c_str(); }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

// "processing geometry `{detail}`": a malformed geometry or a sink that refused it.
[[noreturn]] void fail_geometry(std::string_view detail);
// "I/O error `{detail}`": the input ended early.
[[noreturn]] void fail_io(std::string_view detail);
// "geometry format": a geometry type or header the reader does not support.
[[noreturn]] void fail_format();
// "geometry format `{detail}`": an input that is structurally unusable.
[[noreturn]] void fail_format(std::string_view detail);

// Receives the events of one read.  Every callback may throw ReadError, which
// ends the read.  Curve and surface events default to doing nothing.
class GeomSink {
 public:
  virtual ~GeomSink() = default;

  virtual void srid(std::optional<int32_t> srid) = 0;
  virtual void coordinate(double x, double y, std::optional<double> z, std::optional<double> m,
                          std::size_t idx) = 0;
  virtual void empty_point(std::size_t idx) = 0;
  virtual void point_begin(std::size_t idx) = 0;
  virtual void point_end(std::size_t idx) = 0;
  virtual void linestring_begin(bool tagged, std::size_t size, std::size_t idx) = 0;
  virtual void linestring_end(bool tagged, std::size_t idx) = 0;
  virtual void polygon_begin(bool tagged, std::size_t size, std::size_t idx) = 0;
  virtual void polygon_end(bool tagged, std::size_t idx) = 0;
  virtual void multipoint_begin(std::size_t size, std::size_t idx) = 0;
  virtual void multipoint_end(std::size_t idx) = 0;
  virtual void multilinestring_begin(std::size_t size, std::size_t idx) = 0;
  virtual void multilinestring_end(std::size_t idx) = 0;
  virtual void multipolygon_begin(std::size_t size, std::size_t idx) = 0;
  virtual void multipolygon_end(std::size_t idx) = 0;
  virtual void geometrycollection_begin(std::size_t size, std::size_t idx) = 0;
  virtual void geometrycollection_end(std::size_t idx) = 0;

  virtual void circularstring_begin(std::size_t /*size*/, std::size_t /*idx*/) {}
  virtual void circularstring_end(std::size_t /*idx*/) {}
  virtual void compoundcurve_begin(std::size_t /*size*/, std::size_t /*idx*/) {}
  virtual void compoundcurve_end(std::size_t /*idx*/) {}
  virtual void curvepolygon_begin(std::size_t /*size*/, std::size_t /*idx*/) {}
  virtual void curvepolygon_end(std::size_t /*idx*/) {}
  virtual void multicurve_begin(std::size_t /*size*/, std::size_t /*idx*/) {}
  virtual void multicurve_end(std::size_t /*idx*/) {}
  virtual void multisurface_begin(std::size_t /*size*/, std::size_t /*idx*/) {}
  virtual void multisurface_end(std::size_t /*idx*/) {}
  virtual void triangle_begin(bool /*tagged*/, std::size_t /*size*/, std::size_t /*idx*/) {}
  virtual void triangle_end(bool /*tagged*/, std::size_t /*idx*/) {}
  virtual void polyhedralsurface_begin(std::size_t /*size*/, std::size_t /*idx*/) {}
  virtual void polyhedralsurface_end(std::size_t /*idx*/) {}
  virtual void tin_begin(std::size_t /*size*/, std::size_t /*idx*/) {}
  virtual void tin_end(std::size_t /*idx*/) {}
};

// Geometry collections may nest; deeper input is refused so that neither the
// readers nor the sinks recurse without bound.
inline constexpr int kMaxNesting = 100;

}  // namespace ostrel::geomio
