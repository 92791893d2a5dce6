// A static index of axis-aligned boxes (a sort-tile-recursive packed R-tree),
// for questions about many boxes at once in O(n log n) rather than by
// comparing every box with every other.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <queue>
#include <vector>

namespace vaskelith::planar {

struct Box {
  double xmin = INFINITY, ymin = INFINITY, xmax = -INFINITY, ymax = -INFINITY;
  void add(double x, double y) {
    xmin = std::min(xmin, x);
    ymin = std::min(ymin, y);
    xmax = std::max(xmax, x);
    ymax = std::max(ymax, y);
  }
  void add(const Box& o) {
    xmin = std::min(xmin, o.xmin);
    ymin = std::min(ymin, o.ymin);
    xmax = std::max(xmax, o.xmax);
    ymax = std::max(ymax, o.ymax);
  }
  bool covers(const Box& o) const { return o.xmin >= xmin && o.xmax <= xmax && o.ymin >= ymin && o.ymax <= ymax; }
  bool meets(const Box& o) const { return o.xmin <= xmax && o.xmax >= xmin && o.ymin <= ymax && o.ymax >= ymin; }
};

class BoxIndex {
 public:
  // Indexes boxes[i] as item i.  Boxes with NaN bounds are never found.
  explicit BoxIndex(const std::vector<Box>& boxes) {
    std::vector<Node> level;
    level.reserve(boxes.size());
    for (std::size_t i = 0; i < boxes.size(); ++i) level.push_back(Node{boxes[i], static_cast<uint32_t>(i), 0});
    levels_.push_back(pack(std::move(level)));
    while (levels_.back().size() > kFanout) {
      const std::vector<Node>& below = levels_.back();
      std::vector<Node> parents;
      parents.reserve(below.size() / kFanout + 1);
      for (std::size_t i = 0; i < below.size(); i += kFanout) {
        Node n{Box{}, static_cast<uint32_t>(i), static_cast<uint32_t>(std::min(below.size(), i + kFanout))};
        for (std::size_t j = i; j < n.last; ++j) n.box.add(below[j].box);
        parents.push_back(n);
      }
      levels_.push_back(pack(std::move(parents), false));
    }
  }

  // Calls visit(i) for every item whose box meets `q`, in no set order.
  template <class Visit>
  void query(const Box& q, Visit&& visit) const {
    if (levels_.empty()) return;
    const std::size_t top = levels_.size() - 1;
    for (std::size_t k = 0; k < levels_[top].size(); ++k) descend(top, k, q, visit);
  }

  // Calls visit(i) for every item whose box meets `q` and passes `open`,
  // in no set order, looking only under inner nodes whose boxes meet `q` and
  // pass `open`: `open` must hold of a box whenever it holds of some box
  // inside it (covering `q` is such a test), so that no item is missed.
  template <class Open, class Visit>
  void query_open(const Box& q, Open&& open, Visit&& visit) const {
    if (levels_.empty()) return;
    const std::size_t top = levels_.size() - 1;
    for (const Node& n : levels_[top])
      if (n.box.meets(q) && open(n.box)) descend_open(top, n, q, open, visit);
  }

  // The item nearest to (x, y), or kNone when there is none.  dist2(i) is
  // the squared distance from the point to item i, never less than that to
  // its box: boxes are opened nearest first, and the search ends where the
  // nearest unopened box is farther than the best item.  Of items equally
  // near, the lowest index wins.
  static constexpr std::size_t kNone = SIZE_MAX;
  template <class Dist2>
  std::size_t nearest(double x, double y, Dist2&& dist2) const {
    if (levels_.empty()) return kNone;
    struct Open {
      double d2;
      std::size_t level, k;
      bool operator>(const Open& o) const { return d2 > o.d2; }
    };
    std::priority_queue<Open, std::vector<Open>, std::greater<>> queue;
    const std::size_t top = levels_.size() - 1;
    for (std::size_t k = 0; k < levels_[top].size(); ++k) queue.push(Open{box_dist2(levels_[top][k].box, x, y), top, k});
    std::size_t best_item = kNone;
    double best = INFINITY;
    while (!queue.empty() && queue.top().d2 <= best) {
      const Open o = queue.top();
      queue.pop();
      const Node& n = levels_[o.level][o.k];
      if (o.level == 0) {
        const double d = dist2(static_cast<std::size_t>(n.first));
        if (d < best || (d == best && n.first < best_item)) best = d, best_item = n.first;
        continue;
      }
      for (std::size_t j = n.first; j < n.last; ++j)
        queue.push(Open{box_dist2(levels_[o.level - 1][j].box, x, y), o.level - 1, j});
    }
    return best_item;
  }

 private:
  static constexpr std::size_t kFanout = 16;

  static double box_dist2(const Box& b, double x, double y) {
    const double dx = std::max({b.xmin - x, 0.0, x - b.xmax}), dy = std::max({b.ymin - y, 0.0, y - b.ymax});
    return dx * dx + dy * dy;
  }
  // A leaf holds its item in `first`; an inner node its children
  // [first, last) on the level below.
  struct Node {
    Box box;
    uint32_t first;
    uint32_t last;
  };

  template <class Visit>
  void descend(std::size_t level, std::size_t k, const Box& q, Visit& visit) const {
    const Node& n = levels_[level][k];
    if (!n.box.meets(q)) return;
    if (level == 0) {
      visit(static_cast<std::size_t>(n.first));
      return;
    }
    for (std::size_t j = n.first; j < n.last; ++j) descend(level - 1, j, q, visit);
  }

  // Below a node that passed both tests.
  template <class Open, class Visit>
  void descend_open(std::size_t level, const Node& n, const Box& q, Open& open, Visit& visit) const {
    if (level == 0) {
      visit(static_cast<std::size_t>(n.first));
      return;
    }
    const std::vector<Node>& below = levels_[level - 1];
    for (std::size_t j = n.first; j < n.last; ++j) {
      const Node& c = below[j];
      if (c.box.meets(q) && open(c.box)) descend_open(level - 1, c, q, open, visit);
    }
  }

  // Orders a level so that runs of kFanout nodes are compact: slices by x,
  // then by y within each slice.  Inner levels keep their children's ranges,
  // so only the leaves are reordered.
  static std::vector<Node> pack(std::vector<Node> nodes, bool leaves = true) {
    if (!leaves || nodes.size() <= kFanout) return nodes;
    // Empty or infinite boxes have no finite centre; any finite stand-in keeps
    // the ordering strict, which the sort needs.
    auto finite = [](double v) { return std::isfinite(v) ? v : 0.0; };
    auto cx = [&](const Node& n) { return finite(n.box.xmin + 0.5 * (n.box.xmax - n.box.xmin)); };
    auto cy = [&](const Node& n) { return finite(n.box.ymin + 0.5 * (n.box.ymax - n.box.ymin)); };
    std::sort(nodes.begin(), nodes.end(), [&](const Node& a, const Node& b) { return cx(a) < cx(b); });
    const std::size_t pages = (nodes.size() + kFanout - 1) / kFanout;
    const auto slices = static_cast<std::size_t>(std::ceil(std::sqrt(static_cast<double>(pages))));
    const std::size_t per_slice = slices * kFanout;
    for (std::size_t i = 0; i < nodes.size(); i += per_slice) {
      auto end = nodes.begin() + static_cast<std::ptrdiff_t>(std::min(nodes.size(), i + per_slice));
      std::sort(nodes.begin() + static_cast<std::ptrdiff_t>(i), end,
                [&](const Node& a, const Node& b) { return cy(a) < cy(b); });
    }
    return nodes;
  }

  std::vector<std::vector<Node>> levels_;
};

}  // namespace vaskelith::planar
