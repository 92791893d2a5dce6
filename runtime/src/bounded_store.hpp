// The runtime's process-lifetime stores: things costly to make (spatial
// references, coordinate operations, ellipsoids) kept for the next call that
// asks for the same one.
//
// A program may ask for any number of distinct ones (a stream of custom
// spatial-reference texts), so every store keeps a bounded number and lets
// go of the least recently used first.  Values are shared pointers (or hold
// them): letting go of one takes nothing from a caller that still holds it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <utility>

namespace vaskelith {

// How many entries each store keeps.
inline constexpr std::size_t kStoreCapacity = 256;

template <class Key, class Value>
class BoundedStore {
 public:
  // The value kept for `key` (a copy), marked as just used; a default Value
  // when there is none.  `K` is anything the keys compare with.
  template <class K>
  Value find(const K& key) {
    std::lock_guard<std::mutex> lock(mu_);
    auto it = kept_.find(key);
    if (it == kept_.end()) return Value{};
    it->second.used = ++clock_;
    return it->second.value;
  }

  // Keeps `value` for `key` in place of what was kept for it; when the
  // store is full, the least recently used entry goes first.
  void put(Key key, Value value) {
    std::lock_guard<std::mutex> lock(mu_);
    if (auto it = kept_.find(key); it != kept_.end()) {
      it->second = Entry{std::move(value), ++clock_};
      return;
    }
    if (kept_.size() >= kStoreCapacity) {
      // A scan of the full store: once per value made, which costs far more.
      auto oldest = kept_.begin();
      for (auto it = kept_.begin(); it != kept_.end(); ++it)
        if (it->second.used < oldest->second.used) oldest = it;
      kept_.erase(oldest);
    }
    kept_.emplace(std::move(key), Entry{std::move(value), ++clock_});
  }

  // The value kept for `key`, else made by `make()` (outside the lock, so
  // that making may use other stores) and kept.  A failure to make keeps
  // nothing.
  template <class K, class Make>
  Value get(const K& key, Make make) {
    if (Value found = find(key)) return found;
    Value made = make();
    put(Key(key), made);
    return made;
  }

  void clear() {
    std::lock_guard<std::mutex> lock(mu_);
    kept_.clear();
  }

  std::size_t size() {
    std::lock_guard<std::mutex> lock(mu_);
    return kept_.size();
  }

 private:
  struct Entry {
    Value value;
    std::uint64_t used;
  };
  std::mutex mu_;
  std::map<Key, Entry, std::less<>> kept_;
  std::uint64_t clock_ = 0;
};

}  // namespace vaskelith
