// Reader for well-known binary: ISO WKB and PostGIS-style EWKB, either byte order.
#pragma once

#include <cstdint>
#include <span>

#include "geomio/events.hpp"

namespace ostrel::geomio {

// Reads exactly one geometry and reports it to `sink`.  Type codes are
// accepted in the ISO form (base code plus 1000 for Z, 2000 for M, 3000 for
// ZM) and with the EWKB flag bits; an EWKB SRID of the outermost header is
// reported before any other event, those of member headers are skipped.
// Throws ReadError; bytes left after the geometry are an error.
void read_wkb(std::span<const std::uint8_t> data, GeomSink& sink);

}  // namespace ostrel::geomio
