// What a value derived from model cells was derived from: the cells and the
// versions they had.  The derived value stays good while none of them has
// been locked for writing since.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "model/cell.hpp"

namespace ostrel::model {

class Stamp {
 public:
  // Starts a record at the present moment.
  Stamp() : epoch_(detail::write_epoch().load(std::memory_order_relaxed)) {}

  // The stamp does not keep the cell's value alive: a cell that has gone
  // counts as changed.
  template <class T>
  void watch(const Cell<T>& cell) {
    seen_.push_back({cell.version_ref(), cell.version()});
  }

  // Room for `n` more cells, so that a stamp kept with every built geometry
  // holds no spare entries.
  void reserve_more(std::size_t n) { seen_.reserve(seen_.size() + n); }

  // Whether no watched cell was written since it was watched.  No write
  // anywhere since the last check answers at once.
  bool current() {
    const uint64_t now = detail::write_epoch().load(std::memory_order_relaxed);
    if (now == epoch_) return true;
    for (const Seen& s : seen_) {
      std::shared_ptr<const std::atomic<uint64_t>> version = s.version.lock();
      if (!version || version->load(std::memory_order_relaxed) != s.seen) return false;
    }
    epoch_ = now;
    return true;
  }

 private:
  // A stamp is kept with every built geometry: 24 bytes a cell.
  struct Seen {
    std::weak_ptr<const std::atomic<uint64_t>> version;
    uint64_t seen;
  };
  std::vector<Seen> seen_;
  uint64_t epoch_;
};

}  // namespace ostrel::model
