// libFuzzer harness for the WKT reader: any text must either read into a
// well-formed event stream or fail with a ReadError.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "check_sink.hpp"
#include "geomio/wkt_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ostrel::geomio::CheckSink sink;
  try {
    ostrel::geomio::read_wkt(std::string_view(reinterpret_cast<const char*>(data), size), sink);
    sink.done();
  } catch (const ostrel::geomio::ReadError&) {
  }
  return 0;
}
