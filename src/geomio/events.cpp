#include "geomio/events.hpp"

namespace ostrel::geomio {

namespace {
std::string quoted(std::string_view prefix, std::string_view detail) {
  std::string s;
  s.reserve(prefix.size() + detail.size() + 3);
  s.append(prefix).append(" `").append(detail).append("`");
  return s;
}
}  // namespace

void fail_geometry(std::string_view detail) { throw ReadError(quoted("processing geometry", detail)); }
void fail_io(std::string_view detail) { throw ReadError(quoted("I/O error", detail)); }
void fail_format() { throw ReadError("geometry format"); }
void fail_format(std::string_view detail) { throw ReadError(quoted("geometry format", detail)); }

}  // namespace ostrel::geomio
