#include "model/curve.hpp"

#include "core/fatal.hpp"
#include "model/cell.hpp"

namespace ostrel::model {

namespace {

[[noreturn]] void broken_index() { core::fatal("Internal error: curve index entry names no stored curve"); }

}  // namespace

CurveCollection::Entry CurveCollection::store(CurveData curve) {
  struct Visitor {
    CurveCollection& c;
    Entry operator()(const Linear&) const { return {0, 0}; }
    Entry operator()(const CircularArc& a) const { return {1, c.circular_arcs_.insert(a)}; }
    Entry operator()(const EllipticArc& a) const { return {2, c.elliptic_arcs_.insert(a)}; }
    Entry operator()(const BezierCurve& b) const { return {3, c.bezier_curves_.insert(b)}; }
  };
  return std::visit(Visitor{*this}, curve);
}

CurveData CurveCollection::take(Entry e) {
  switch (e.kind) {
    case 0:
      return Linear{};
    case 1:
      if (auto v = circular_arcs_.remove(e.key)) return *v;
      break;
    case 2:
      if (auto v = elliptic_arcs_.remove(e.key)) return *v;
      break;
    case 3:
      if (auto v = bezier_curves_.remove(e.key)) return *v;
      break;
  }
  broken_index();
}

CurveData CurveCollection::read(Entry e) const {
  switch (e.kind) {
    case 0:
      return Linear{};
    case 1:
      if (auto* v = circular_arcs_.get(e.key)) return *v;
      break;
    case 2:
      if (auto* v = elliptic_arcs_.get(e.key)) return *v;
      break;
    case 3:
      if (auto* v = bezier_curves_.get(e.key)) return *v;
      break;
  }
  broken_index();
}

void CurveCollection::push_curve(CurveData curve) { index_.push_back(store(std::move(curve))); }

bool CurveCollection::insert(std::size_t idx, CurveData curve) {
  if (idx > index_.size()) return false;
  Entry e = store(std::move(curve));
  index_.insert(index_.begin() + static_cast<std::ptrdiff_t>(idx), e);
  return true;
}

std::optional<CurveData> CurveCollection::get(std::size_t idx) const {
  if (idx >= index_.size()) return std::nullopt;
  return read(index_[idx]);
}

std::optional<CurveData> CurveCollection::set(std::size_t idx, CurveData curve) {
  if (idx >= index_.size()) return std::nullopt;
  // Freeing first lets a replacement of the same kind reuse the slot.
  CurveData old = take(index_[idx]);
  index_[idx] = store(std::move(curve));
  return old;
}

std::optional<CurveData> CurveCollection::remove(std::size_t idx) {
  if (idx >= index_.size()) return std::nullopt;
  CurveData old = take(index_[idx]);
  index_.erase(index_.begin() + static_cast<std::ptrdiff_t>(idx));
  return old;
}

std::optional<CurveData> CurveCollection::pop() {
  if (index_.empty()) return std::nullopt;
  return remove(index_.size() - 1);
}

void CurveCollection::clear() {
  index_.clear();
  circular_arcs_.clear();
  elliptic_arcs_.clear();
  bezier_curves_.clear();
}

}  // namespace ostrel::model
