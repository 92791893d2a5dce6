// The one GEOS context of the process, and owning pointers for what GEOS
// hands out.
//
// Calls into the runtime are serialised by the caller (the interpreter lock),
// so one reentrant context serves everything; the message GEOS reports for
// a failed call is kept until the next failure and becomes the text of the
// runtime error.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <geos_c.h>

namespace vaskelith::geos {

GEOSContextHandle_t ctx();

// The text of the last error GEOS reported (empty when none), and the text
// it reports for an allocation that failed.
const std::string& last_error();
inline constexpr std::string_view kOutOfMemory = "std::bad_alloc";

struct GeomDeleter {
  void operator()(GEOSGeometry* g) const noexcept;
};
using GeomPtr = std::unique_ptr<GEOSGeometry, GeomDeleter>;

struct PreparedDeleter {
  void operator()(const GEOSPreparedGeometry* g) const noexcept;
};
using PreparedPtr = std::unique_ptr<const GEOSPreparedGeometry, PreparedDeleter>;

// Fails for GEOS's last failure: std::bad_alloc where GEOS ran out of
// memory, else a kGeometryEngine failure with `message` (and GEOS's own
// message as its detail when `with_detail`).
[[noreturn]] void engine_failure(const std::string& message, bool with_detail = true);

// Takes over a result of GEOS; a null result is a kGeometryEngine failure
// carrying GEOS's message and naming the operation.
GeomPtr take(GEOSGeometry* g, const char* operation);

// A GEOS sequence of the n x, y pairs at xy.
GEOSCoordSequence* xy_sequence(const double* xy, std::size_t n);

// A GEOS predicate's answer (0 or 1); 2 means GEOS failed.
bool truth(char answer, const char* operation);

// A GEOS measure; a zero return code means GEOS failed.
void check(int rc, const char* operation);

// Builds a GEOS collection of the given type from owned members (ownership
// passes to the collection).
GeomPtr collect(int type, std::vector<GeomPtr> members);

// Copies of components (the geometry itself when it is not a collection).
std::vector<const GEOSGeometry*> components(const GEOSGeometry* g);

}  // namespace vaskelith::geos
