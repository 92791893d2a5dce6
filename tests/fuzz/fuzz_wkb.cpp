// libFuzzer harness for the WKB/EWKB reader: any bytes must either read into
// a well-formed event stream or fail with a ReadError.
#include <cstddef>
#include <cstdint>
#include <span>

#include "check_sink.hpp"
#include "geomio/wkb_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ostrel::geomio::CheckSink sink;
  try {
    ostrel::geomio::read_wkb(std::span(data, size), sink);
    sink.done();
  } catch (const ostrel::geomio::ReadError&) {
  }
  return 0;
}
