#include "model/part.hpp"

#include "core/fatal.hpp"
#include "model/cell.hpp"
#include "model/zorvjson.hpp"

namespace ostrel::model {

namespace {

template <class V>
void insert_at(V& v, std::size_t idx, double value) {
  v.insert(v.begin() + static_cast<std::ptrdiff_t>(idx), value);
}
template <class V>
void erase_at(V& v, std::size_t idx) {
  v.erase(v.begin() + static_cast<std::ptrdiff_t>(idx));
}

}  // namespace

ZorvPart::ZorvPart(bool has_z, bool has_m) {
  if (!has_z && !has_m) return;
  extras_ = std::make_unique<Extras>();
  extras_->has_z = has_z;
  extras_->has_m = has_m;
}

ZorvPart::ZorvPart(const ZorvPart& o)
    : xs(o.xs), ys(o.ys), extras_(o.extras_ ? std::make_unique<Extras>(*o.extras_) : nullptr) {}

ZorvPart& ZorvPart::operator=(const ZorvPart& o) {
  if (this != &o) *this = ZorvPart(o);
  return *this;
}

void ZorvPart::push_coord(double x, double y, std::optional<double> z, std::optional<double> m) {
  xs.push_back(x);
  ys.push_back(y);
  if (zs()) zs()->push_back(z.value_or(kNaN));
  if (ms()) ms()->push_back(m.value_or(kNaN));
}

void ZorvPart::push_slice_coord(std::span<const double> values) {
  std::size_t next = 0;
  auto take = [&] { return next < values.size() ? values[next++] : kNaN; };
  xs.push_back(take());
  ys.push_back(take());
  if (zs()) zs()->push_back(take());
  if (ms()) ms()->push_back(take());
}

void ZorvPart::insert_coord(std::size_t idx, const ZorvCoord& c) {
  // Callers check the position first; a bad one must not write out of bounds.
  if (idx > xs.size()) core::fatal("Internal error: vertex insertion past the end of a part");
  insert_at(xs, idx, c.x());
  insert_at(ys, idx, c.y());
  if (zs()) insert_at(*zs(), idx, c.z_or_nan());
  if (ms()) insert_at(*ms(), idx, c.m_or_nan());
}

std::optional<ZorvCoord> ZorvPart::get_coord(std::size_t idx) const {
  if (idx >= xs.size()) return std::nullopt;
  return ZorvCoord::make(xs[idx], ys[idx], zs() ? std::optional<double>((*zs())[idx]) : std::nullopt,
                         ms() ? std::optional<double>((*ms())[idx]) : std::nullopt);
}

std::optional<ZorvCoord> ZorvPart::set_coord(std::size_t idx, const ZorvCoord& c) {
  std::optional<ZorvCoord> old = get_coord(idx);
  if (!old) return std::nullopt;
  xs[idx] = c.x();
  ys[idx] = c.y();
  if (zs()) (*zs())[idx] = c.z_or_nan();
  if (ms()) (*ms())[idx] = c.m_or_nan();
  return old;
}

std::optional<ZorvCoord> ZorvPart::remove_coord(std::size_t idx) {
  std::optional<ZorvCoord> old = get_coord(idx);
  if (!old) return std::nullopt;
  erase_at(xs, idx);
  erase_at(ys, idx);
  if (zs()) erase_at(*zs(), idx);
  if (ms()) erase_at(*ms(), idx);
  return old;
}

std::optional<ZorvCoord> ZorvPart::pop_coord() {
  if (xs.empty()) return std::nullopt;
  return remove_coord(xs.size() - 1);
}

void ZorvPart::clear() {
  xs.clear();
  ys.clear();
  if (zs()) zs()->clear();
  if (ms()) ms()->clear();
}

void ZorvPart::reserve(std::size_t n) {
  xs.reserve(n);
  ys.reserve(n);
  if (zs()) zs()->reserve(n);
  if (ms()) ms()->reserve(n);
}

void ZorvPart::write_zorvjson(std::string& out) const {
  // Straight from the columns; the text is that of each vertex's coordinate.
  out.push_back('[');
  for (std::size_t i = 0; i < xs.size(); ++i) {
    out.append(i ? ", [" : "[");
    zorvjson::write_f64(out, xs[i]);
    out.append(", ");
    zorvjson::write_f64(out, ys[i]);
    if (zs()) {
      out.append(", ");
      zorvjson::write_f64(out, (*zs())[i]);
    }
    if (ms()) {
      out.append(", ");
      zorvjson::write_f64(out, (*ms())[i]);
    }
    out.push_back(']');
  }
  out.push_back(']');
}

}  // namespace ostrel::model
