// Lengths of a sequence of segments, kept so that any stretch of them is
// weighed, and its longest segment found, in logarithmic time rather than by
// walking it: a stretch between two places where a ring meets another shape
// may hold nearly all of a large ring.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vaskelith::planar {

class RunLengths {
 public:
  RunLengths() = default;
  explicit RunLengths(const std::vector<double>& lengths) : size_(lengths.size()) {
    prefix_.reserve(size_ + 1);
    prefix_.push_back(0.0);
    key_.reserve(size_);
    for (const double l : lengths) {
      // A length that is not a number adds nothing and is never the longest.
      prefix_.push_back(prefix_.back() + (std::isnan(l) ? 0.0 : l));
      key_.push_back(std::isnan(l) ? -INFINITY : l);
    }
    tree_.assign(2 * size_, 0);
    for (std::size_t i = 0; i < size_; ++i) tree_[size_ + i] = static_cast<uint32_t>(i);
    for (std::size_t i = size_; i-- > 1;) tree_[i] = better(tree_[2 * i], tree_[2 * i + 1]);
  }

  // The sum of the lengths of segments [lo, hi).
  double sum(std::size_t lo, std::size_t hi) const { return prefix_[hi] - prefix_[lo]; }

  // The first of the longest of segments [lo, hi), lo < hi.
  std::size_t longest(std::size_t lo, std::size_t hi) const {
    uint32_t best = static_cast<uint32_t>(lo);
    for (std::size_t l = lo + size_, r = hi + size_; l < r; l /= 2, r /= 2) {
      if (l & 1) best = better(best, tree_[l++]);
      if (r & 1) best = better(best, tree_[--r]);
    }
    return best;
  }

  double length(std::size_t i) const { return key_[i]; }

 private:
  uint32_t better(uint32_t a, uint32_t b) const {
    return key_[b] > key_[a] || (key_[b] == key_[a] && b < a) ? b : a;
  }

  std::size_t size_ = 0;
  std::vector<double> prefix_;  // the sum of the lengths before each
  std::vector<double> key_;     // each length, -inf for one that is not a number
  std::vector<uint32_t> tree_;  // [size_, 2 size_) the segments, below them the longest of two nodes
};

}  // namespace vaskelith::planar
