// What a value derived from model cells was derived from: the cells and the
// versions they had.  The derived value stays good while none of them has
// been locked for writing since.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>

#include "core/fatal.hpp"
#include "model/cell.hpp"

namespace ostrel::model {

class Stamp {
 public:
  // Starts a record at the present moment.
  Stamp() : epoch_(detail::write_epoch().load(std::memory_order_relaxed)) {}
  Stamp(const Stamp&) = delete;
  Stamp& operator=(const Stamp&) = delete;
  Stamp(Stamp&& o) noexcept
      : epoch_(o.epoch_),
        seen_(std::exchange(o.seen_, nullptr)),
        size_(std::exchange(o.size_, 0)),
        capacity_(std::exchange(o.capacity_, 0)) {}
  Stamp& operator=(Stamp&& o) noexcept {
    if (this != &o) {
      release();
      seen_ = std::exchange(o.seen_, nullptr);
      size_ = std::exchange(o.size_, 0);
      capacity_ = std::exchange(o.capacity_, 0);
      epoch_ = o.epoch_;
    }
    return *this;
  }
  ~Stamp() { release(); }

  // The stamp does not keep the cell's value alive: a cell that has gone
  // counts as changed.
  template <class T>
  void watch(const Cell<T>& cell) {
    if (size_ == capacity_) grow(capacity_ == 0 ? 1 : 2 * static_cast<std::size_t>(capacity_));
    new (seen_ + size_) Seen{cell.version_ref(), cell.version()};
    ++size_;
  }

  // Room for `n` more cells, so that a stamp kept with every built geometry
  // holds no spare entries.
  void reserve_more(std::size_t n) {
    if (size_ + n > capacity_) grow(size_ + n);
  }

  // Whether no watched cell was written since it was watched.  No write
  // anywhere since the last check answers at once.
  bool current() {
    const uint64_t now = detail::write_epoch().load(std::memory_order_relaxed);
    if (now == epoch_) return true;
    for (uint32_t i = 0; i < size_; ++i) {
      std::shared_ptr<const std::atomic<uint64_t>> version = seen_[i].version.lock();
      if (!version || version->load(std::memory_order_relaxed) != seen_[i].seen) return false;
    }
    epoch_ = now;
    return true;
  }

 private:
  // A stamp is kept with every built geometry: 24 bytes a cell, and 16 for
  // the entries' place and count, in the Python object (a std::vector's
  // 24 would take it a size class up).
  struct Seen {
    std::weak_ptr<const std::atomic<uint64_t>> version;
    uint64_t seen;
  };

  void grow(std::size_t capacity) {
    // No geometry has four billion parts.
    if (capacity > UINT32_MAX) core::fatal("Internal error: a stamp of more than 2^32 cells");
    std::allocator<Seen> alloc;
    Seen* fresh = alloc.allocate(capacity);
    for (uint32_t i = 0; i < size_; ++i) {
      new (fresh + i) Seen(std::move(seen_[i]));
      seen_[i].~Seen();
    }
    if (seen_) alloc.deallocate(seen_, capacity_);
    seen_ = fresh;
    capacity_ = static_cast<uint32_t>(capacity);
  }

  void release() noexcept {
    for (uint32_t i = 0; i < size_; ++i) seen_[i].~Seen();
    if (seen_) std::allocator<Seen>().deallocate(seen_, capacity_);
    seen_ = nullptr;
    size_ = capacity_ = 0;
  }

  // The epoch first: a walk over many kept geometries reads it alone.
  uint64_t epoch_;
  Seen* seen_ = nullptr;
  uint32_t size_ = 0;
  uint32_t capacity_ = 0;
};

}  // namespace ostrel::model
