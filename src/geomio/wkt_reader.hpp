// Reader for well-known text.
#pragma once

#include <string_view>

#include "geomio/events.hpp"

namespace ostrel::geomio {

// Parses one geometry and reports it to `sink`.  The whole text is checked
// first, so a syntax error is reported before the sink sees any event.
// Throws ReadError.
//
// Accepted: the seven simple-feature types (POINT to GEOMETRYCOLLECTION);
// keywords in any case; dimension tags Z, M, ZM, separate or attached
// (POINT Z, POINTZ); untagged coordinates of 3 or 4 values read as XYZ or
// XYZM; EMPTY for every type and for members; multipoint members with or
// without parentheses.  Curve and surface types and the EWKT "SRID=n;"
// prefix are refused, so a text always keeps the default spatial reference.  Numbers are decimal literals only: NaN and infinity spellings
// are refused, and a value too large for a double is an error rather than
// an infinity.
void read_wkt(std::string_view text, GeomSink& sink);

}  // namespace ostrel::geomio
