#include "model/cell.hpp"

namespace ostrel::model::detail {

namespace {
thread_local unsigned long model_fatal_count = 0;
}

unsigned long fatal_epoch() noexcept { return model_fatal_count; }

void note_fatal() noexcept { ++model_fatal_count; }

void fatal(std::string message) {
  ++model_fatal_count;
  throw py::Fatal(std::move(message));
}

}  // namespace ostrel::model::detail
