// Curve data of one vertex of a curve part, and the per-part store of it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "model/coord.hpp"
#include "model/rt_fwd.hpp"
#include "model/spatial_reference.hpp"

namespace ostrel::model {

// The segment ending at the vertex is straight.
struct Linear {
  bool operator==(const Linear&) const = default;
};

// A point on the circular arc from the previous vertex to this one.
struct CircularArc {
  double interior_x = 0;
  double interior_y = 0;
  bool operator==(const CircularArc&) const = default;
};

// An elliptic arc from the previous vertex to this one.
struct EllipticArc {
  double center_x = 0;
  double center_y = 0;
  double rotation = 0;
  double axis = 0;
  double ratio = 1;
  bool minor = false;
  bool clockwise = false;
  bool operator==(const EllipticArc&) const = default;
};

// The two control points of a cubic Bézier curve from the previous vertex.
struct BezierCurve {
  double ctrl1_x = 0;
  double ctrl1_y = 0;
  double ctrl2_x = 0;
  double ctrl2_y = 0;
  bool operator==(const BezierCurve&) const = default;
};

// Variant order is the kind code: 0 Linear, 1 CircularArc, 2 EllipticArc, 3 BezierCurve.
using CurveData = std::variant<Linear, CircularArc, EllipticArc, BezierCurve>;

inline bool is_linear(const CurveData& c) { return std::holds_alternative<Linear>(c); }

// Reads a runtime segment from `start` to `end` back; VaskelithLibraryError
// for a kind the model does not know.
CurveData curve_from_segment(const rt::SegmentOwned& segment, const ZorvCoord& start, const ZorvCoord& end);

// A list of slots that hands out stable keys: the slot freed last is reused first.
template <class T>
class SlotStore {
 public:
  std::size_t insert(T value) {
    ++occupied_;
    if (next_free_ < slots_.size()) {
      std::size_t key = next_free_;
      next_free_ = std::get<std::size_t>(slots_[key]);
      slots_[key] = std::move(value);
      return key;
    }
    slots_.emplace_back(std::move(value));
    next_free_ = slots_.size();
    return slots_.size() - 1;
  }
  // The payload of an occupied slot, or null.
  const T* get(std::size_t key) const {
    if (key >= slots_.size()) return nullptr;
    return std::get_if<T>(&slots_[key]);
  }
  // Frees an occupied slot and gives its payload; absent for a free or unknown key.
  std::optional<T> remove(std::size_t key) {
    if (key >= slots_.size() || !std::holds_alternative<T>(slots_[key])) return std::nullopt;
    T value = std::move(std::get<T>(slots_[key]));
    slots_[key] = next_free_;
    next_free_ = key;
    --occupied_;
    return value;
  }
  void clear() {
    slots_.clear();
    occupied_ = 0;
    next_free_ = 0;
  }
  std::size_t slot_count() const { return slots_.size(); }
  std::size_t occupied() const { return occupied_; }

 private:
  // A slot holds its payload, or the number of the next free slot.
  std::vector<std::variant<T, std::size_t>> slots_;
  std::size_t occupied_ = 0;
  std::size_t next_free_ = 0;  // == slots_.size() when no slot is free
};

// One entry per vertex: (kind code, key into that kind's store); Linear is (0, 0).
class CurveCollection {
 public:
  struct Entry {
    std::size_t kind = 0;
    std::size_t key = 0;
  };

  void push_curve(CurveData curve);
  // Inserts before idx; false (and no change) when idx > len().
  bool insert(std::size_t idx, CurveData curve);
  std::optional<CurveData> get(std::size_t idx) const;
  // Replaces entry idx and returns the old data; absent past the end.
  std::optional<CurveData> set(std::size_t idx, CurveData curve);
  // Removes entry idx, freeing its slot; absent past the end.
  std::optional<CurveData> remove(std::size_t idx);
  std::optional<CurveData> pop();
  void clear();

  std::size_t len() const { return index_.size(); }
  const std::vector<Entry>& index() const { return index_; }
  const SlotStore<CircularArc>& circular_arcs() const { return circular_arcs_; }
  const SlotStore<EllipticArc>& elliptic_arcs() const { return elliptic_arcs_; }
  const SlotStore<BezierCurve>& bezier_curves() const { return bezier_curves_; }

 private:
  Entry store(CurveData curve);
  CurveData take(Entry e);
  CurveData read(Entry e) const;

  std::vector<Entry> index_;
  SlotStore<CircularArc> circular_arcs_;
  SlotStore<EllipticArc> elliptic_arcs_;
  SlotStore<BezierCurve> bezier_curves_;
};

}  // namespace ostrel::model
