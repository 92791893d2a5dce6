// The kinds of geometry the readers know, numbered by their WKB type code
// (the code modulo 1000; the thousands carry the dimensions).  The WKT
// reader's keywords name the first seven.
#pragma once

#include <cstdint>

namespace ostrel::geomio {

enum class GeometryKind : std::uint32_t {
  Point = 1,
  LineString = 2,
  Polygon = 3,
  MultiPoint = 4,
  MultiLineString = 5,
  MultiPolygon = 6,
  GeometryCollection = 7,
  CircularString = 8,
  CompoundCurve = 9,
  CurvePolygon = 10,
  MultiCurve = 11,
  MultiSurface = 12,
  PolyhedralSurface = 15,
  Tin = 16,
  Triangle = 17,
};

}  // namespace ostrel::geomio
