// The list of part cells of a collection: the first part sits in the list
// itself, more go to the heap.  Most polylines and polygons have one part,
// and a heap block of its own would take 32 bytes for a 16-byte cell.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>

#include "core/fatal.hpp"

namespace ostrel::model {

template <class T>
class PartList {
 public:
  PartList() noexcept {}
  PartList(const PartList&) = delete;
  PartList& operator=(const PartList&) = delete;
  PartList(PartList&& o) noexcept { take(o); }
  PartList& operator=(PartList&& o) noexcept {
    if (this != &o) {
      clear();
      take(o);
    }
    return *this;
  }
  ~PartList() { clear(); }

  std::size_t size() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }
  T* begin() noexcept { return data(); }
  T* end() noexcept { return data() + size_; }
  const T* begin() const noexcept { return data(); }
  const T* end() const noexcept { return data() + size_; }
  T& operator[](std::size_t i) noexcept { return data()[i]; }
  const T& operator[](std::size_t i) const noexcept { return data()[i]; }
  T& back() noexcept { return data()[size_ - 1]; }

  void push_back(T value) {
    if (size_ == capacity_) grow(2 * static_cast<std::size_t>(capacity_));
    new (data() + size_) T(std::move(value));
    ++size_;
  }
  // Inserts before `pos` (begin() <= pos <= end()).
  void insert(T* pos, T value) {
    const std::size_t at = static_cast<std::size_t>(pos - data());
    push_back(std::move(value));
    std::rotate(data() + at, data() + size_ - 1, data() + size_);
  }
  void erase(T* pos) {
    std::move(pos + 1, end(), pos);
    pop_back();
  }
  void pop_back() noexcept {
    --size_;
    data()[size_].~T();
  }
  // Back to no part, in the list itself.
  void clear() noexcept {
    for (std::size_t i = 0; i < size_; ++i) data()[i].~T();
    if (on_heap()) std::allocator<T>().deallocate(heap_, capacity_);
    size_ = 0;
    capacity_ = 1;
  }
  void swap(PartList& o) noexcept {
    PartList t(std::move(o));
    o = std::move(*this);
    *this = std::move(t);
  }

 private:
  bool on_heap() const noexcept { return capacity_ > 1; }
  T* data() noexcept { return on_heap() ? heap_ : std::launder(reinterpret_cast<T*>(one_)); }
  const T* data() const noexcept {
    return on_heap() ? heap_ : std::launder(reinterpret_cast<const T*>(one_));
  }

  void grow(std::size_t capacity) {
    // No collection has four billion parts.
    if (capacity > UINT32_MAX) core::fatal("Internal error: a collection of more than 2^32 parts");
    T* fresh = std::allocator<T>().allocate(capacity);
    T* old = data();
    for (std::size_t i = 0; i < size_; ++i) {
      new (fresh + i) T(std::move(old[i]));
      old[i].~T();
    }
    // The inline part has moved out before the heap pointer takes its room.
    if (on_heap()) std::allocator<T>().deallocate(heap_, capacity_);
    heap_ = fresh;
    capacity_ = static_cast<uint32_t>(capacity);
  }

  // Takes o's parts, leaving o empty; this list holds none.
  void take(PartList& o) noexcept {
    if (o.on_heap()) {
      heap_ = o.heap_;
      capacity_ = o.capacity_;
    } else if (o.size_ == 1) {
      new (one_) T(std::move(*o.data()));
      o.data()->~T();
    }
    size_ = o.size_;
    o.size_ = 0;
    o.capacity_ = 1;
  }

  union {
    T* heap_;
    alignas(T) unsigned char one_[sizeof(T)];
  };
  uint32_t size_ = 0;
  uint32_t capacity_ = 1;  // 1: the one part in the list itself
};

}  // namespace ostrel::model
