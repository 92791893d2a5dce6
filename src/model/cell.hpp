// Shared, locked model state.
//
// A Cell<T> is one reference to a value that several holders share: a
// geometry and the live Python views of its parts and collections.  Copying a
// Cell adds a reference; the value goes away with the last one.  The lock
// guards the value.  A guard that is unwound by a fatal error poisons the
// cell: the value may be half-changed, so every later lock reports the poison
// instead of handing it out.
//
// Every cell counts the times it was locked for writing (its version), and
// the process counts all such locks (the write epoch).  What is derived from
// a value and kept (a runtime geometry built from a model) records the
// versions it saw and is current while they are unchanged.  Readers lock
// with read() so that looking does not age what others keep.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <thread>
#include <utility>

#include "core/fatal.hpp"
#include "model/geoerr.hpp"

namespace ostrel::model {

namespace detail {
// Write locks taken so far by every cell of the process.
inline std::atomic<uint64_t>& write_epoch() noexcept {
  static std::atomic<uint64_t> epoch{0};
  return epoch;
}
}  // namespace detail

// The poison report's debug text, appended to fatal lock messages.
inline constexpr const char* kPoisonDebug = "PoisonError { .. }";

template <class T>
class Cell {
  struct Inner {
    template <class... A>
    explicit Inner(A&&... a) : value(std::forward<A>(a)...) {}
    // The thread that holds the lock, or none: the lock itself.  Waiting
    // is the atomic's own, so a cell spends 8 bytes on locking where a
    // mutex and its owner took 48 (a small polygon holds several cells).
    std::atomic<std::thread::id> owner{};
    // The write count, with the poison as its top bit, which no count
    // reaches: a flag of its own would take 8 bytes with its padding.
    std::atomic<uint64_t> version{0};
    T value;
  };

  static void release_lock(Inner& inner) noexcept {
    inner.owner.store(std::thread::id{}, std::memory_order_release);
    inner.owner.notify_all();
  }

  static constexpr uint64_t kPoisonBit = uint64_t{1} << 63;
  static bool poisoned(const Inner& inner) noexcept { return (inner.version.load() & kPoisonBit) != 0; }

  static void bump(Inner& inner) noexcept {
    inner.version.fetch_add(1, std::memory_order_relaxed);
    detail::write_epoch().fetch_add(1, std::memory_order_relaxed);
  }

 public:
  // Exclusive access to the value for as long as the guard lives.
  class Guard {
   public:
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;
    Guard(Guard&& o) noexcept
        : inner_(std::exchange(o.inner_, nullptr)), uncaught_(o.uncaught_), epoch_(o.epoch_) {}
    Guard& operator=(Guard&&) = delete;
    ~Guard() { release(); }

    T& operator*() const { return inner_->value; }
    T* operator->() const { return &inner_->value; }
    T& get() const { return inner_->value; }

    // Unlocks early; the guard is empty afterwards.
    void unlock() { release(); }

   private:
    friend class Cell;
    explicit Guard(std::shared_ptr<Inner> inner)
        : inner_(std::move(inner)), uncaught_(std::uncaught_exceptions()), epoch_(core::fatal_count()) {}

    void release() noexcept {
      if (!inner_) return;
      if (std::uncaught_exceptions() > uncaught_ && core::fatal_count() != epoch_) {
        // Even a reader's poison ages what was kept: the next use must lock
        // and meet the poison.
        inner_->version.fetch_or(kPoisonBit);
        bump(*inner_);
      }
      release_lock(*inner_);
      inner_.reset();
    }

    std::shared_ptr<Inner> inner_;
    int uncaught_;
    unsigned long epoch_;
  };

  // Shared reading: the value cannot be changed through it and the version
  // stays as it is.
  class ReadGuard {
   public:
    explicit ReadGuard(Guard g) noexcept : g_(std::move(g)) {}
    const T& operator*() const { return *g_; }
    const T* operator->() const { return &*g_; }
    const T& get() const { return *g_; }
    void unlock() { g_.unlock(); }

   private:
    Guard g_;
  };

  explicit Cell(T value) : p_(std::make_shared<Inner>(std::move(value))) {}
  template <class... A>
  static Cell make(A&&... a) {
    return Cell(std::make_shared<Inner>(std::forward<A>(a)...));
  }

  Cell(const Cell&) = default;
  Cell& operator=(const Cell&) = default;
  Cell(Cell&&) noexcept = default;
  Cell& operator=(Cell&&) noexcept = default;

  // No value: for a holder that gets its value later (a geometry made by an
  // operation reads its model at first need), and that may call nothing but
  // has_value() and assignment until then.  Cheaper than an optional, whose
  // flag would take 8 bytes more.
  static Cell none() noexcept { return Cell(std::shared_ptr<Inner>()); }
  bool has_value() const noexcept { return p_ != nullptr; }

  // One more reference to the same value (the same as copying).
  Cell clone() const { return *this; }

  // Locks for a Python entry point: a poisoned cell gives the LockError
  // "Lock error: 'poisoned lock: another task failed inside'" (thrown as
  // ZorvGeoErr); the lock is released again and the cell stays poisoned.
  Guard lock() const {
    Guard g = checked();
    bump(*p_);
    return g;
  }
  // The same for reading.
  ReadGuard read() const { return ReadGuard(checked()); }

  // Locks inside the model: a poisoned cell is a fatal error whose message is
  // `site`, ": " and the poison report ("Rings lock poisoned: PoisonError { .. }").
  Guard lock_or_fatal(const char* site) const {
    Guard g = checked_or_fatal(site);
    bump(*p_);
    return g;
  }
  ReadGuard read_or_fatal(const char* site) const { return ReadGuard(checked_or_fatal(site)); }

  // The write count of this cell, and a pointer to it that shares the cell's
  // ownership (a stamp holds it weakly).
  uint64_t version() const noexcept { return p_->version.load(std::memory_order_relaxed); }
  std::shared_ptr<const std::atomic<uint64_t>> version_ref() const noexcept {
    return std::shared_ptr<const std::atomic<uint64_t>>(p_, &p_->version);
  }

  bool is_poisoned() const { return poisoned(*p_); }

  // f(value) under the lock, poisoned or not: only for what never changes
  // once the value is made (a collection's dimensions), which a failure
  // half-way through a change cannot have left half-changed.
  template <class F>
  auto read_fixed(F&& f) const {
    Guard g = acquire();
    return f(std::as_const(g.get()));
  }

  // Whether both refer to the same value.
  bool same(const Cell& o) const { return p_ == o.p_; }
  long use_count() const { return p_.use_count(); }
  // The address of the shared value, for identity checks (never dereference
  // without a lock).
  const void* identity() const { return p_.get(); }

 private:
  explicit Cell(std::shared_ptr<Inner> p) : p_(std::move(p)) {}

  Guard checked() const {
    Guard g = acquire();
    if (poisoned(*p_)) {
      release_lock(*g.inner_);
      g.inner_.reset();
      throw ZorvGeoErr::poisoned_lock();
    }
    return g;
  }

  Guard checked_or_fatal(const char* site) const {
    Guard g = acquire();
    if (poisoned(*p_)) {
      release_lock(*g.inner_);
      g.inner_.reset();
      core::fatal(std::string(site) + ": " + kPoisonDebug);
    }
    return g;
  }

  Guard acquire() const {
    // The interpreter lock serialises every caller, so a lock already held by
    // this thread would never be released: report it instead of hanging.
    const std::thread::id me = std::this_thread::get_id();
    std::thread::id held{};
    while (!p_->owner.compare_exchange_weak(held, me, std::memory_order_acquire, std::memory_order_relaxed)) {
      if (held == me) core::fatal("Internal error: model lock taken twice by the same thread");
      if (held != std::thread::id{}) p_->owner.wait(held, std::memory_order_relaxed);
      held = std::thread::id{};
    }
    return Guard(p_);
  }

  std::shared_ptr<Inner> p_;
};

}  // namespace ostrel::model
