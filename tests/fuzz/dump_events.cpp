// Prints the events the readers produce for one input: a debugging aid and
// the replay driver for fuzzer findings.
//   dump_events wkt 'POINT (1 2)'
//   dump_events wkb-hex 0101000000000000000000f03f0000000000000040
//   dump_events wkb-file crash-1234
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "check_sink.hpp"
#include "geomio/wkb_reader.hpp"
#include "geomio/wkt_reader.hpp"

using namespace ostrel::geomio;

static std::vector<std::uint8_t> from_hex(const std::string& h) {
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i + 1 < h.size(); i += 2)
    out.push_back(std::uint8_t(std::stoi(h.substr(i, 2), nullptr, 16)));
  return out;
}

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s wkt|wkt-file|wkb-hex|wkb-file INPUT\n", argv[0]);
    return 2;
  }
  std::string mode = argv[1], arg = argv[2];
  CheckSink sink(true);
  try {
    if (mode == "wkt") {
      read_wkt(arg, sink);
    } else if (mode == "wkt-file" || mode == "wkb-file") {
      std::ifstream f(arg, std::ios::binary);
      std::string data((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
      if (mode == "wkt-file")
        read_wkt(data, sink);
      else
        read_wkb({reinterpret_cast<const std::uint8_t*>(data.data()), data.size()}, sink);
    } else {
      auto bytes = from_hex(arg);
      read_wkb(bytes, sink);
    }
    sink.done();
  } catch (const ReadError& e) {
    std::printf("error: %s\n", e.what());
    return 1;
  }
  return 0;
}
