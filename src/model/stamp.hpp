// What a value derived from model cells was derived from: the cells and the
// versions they had.  The derived value stays good while none of them has
// been locked for writing since.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "model/cell.hpp"

namespace ostrel::model {

class Stamp {
 public:
  // Starts a record at the present moment.
  Stamp() : epoch_(detail::write_epoch().load(std::memory_order_relaxed)) {}

  template <class T>
  void watch(const Cell<T>& cell) {
    seen_.emplace_back(cell.version_ref(), cell.version());
  }

  // Whether no watched cell was written since it was watched.  No write
  // anywhere since the last check answers at once.
  bool current() {
    const uint64_t now = detail::write_epoch().load(std::memory_order_relaxed);
    if (now == epoch_) return true;
    for (const auto& [version, seen] : seen_)
      if (version->load(std::memory_order_relaxed) != seen) return false;
    epoch_ = now;
    return true;
  }

 private:
  std::vector<std::pair<std::shared_ptr<const std::atomic<uint64_t>>, uint64_t>> seen_;
  uint64_t epoch_;
};

}  // namespace ostrel::model
