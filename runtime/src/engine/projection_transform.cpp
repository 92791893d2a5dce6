#include "engine/projection_transform.hpp"

#include <cfloat>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <cstddef>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "bounded_store.hpp"
#include "engine/planar_curves.hpp"
#include "errors.hpp"

namespace vaskelith::projection {

namespace {

// Operations are costly to create (a database search each time) and cheap to
// reuse; a geometry call transforms its vertices in one batch through one.
// Keyed by the text of both CRSs, where nothing shorter names them.
BoundedStore<std::pair<std::string, std::string>, OperationPtr>& operation_store() {
  static BoundedStore<std::pair<std::string, std::string>, OperationPtr> kept;
  return kept;
}

std::string key_of(const PJ* crs) {
  const char* wkt = proj_as_wkt(proj_context(), crs, PJ_WKT2_2019, nullptr);
  return wkt ? std::string(wkt) : std::string();
}

// Spatial references carry their id or text already: they key the
// operations between them without writing a CRS out (which costs a good
// part of a projection), and are looked up without copying the text.
using PairKey = std::tuple<int32_t, std::string, int32_t, std::string>;
using PairView = std::tuple<int32_t, std::string_view, int32_t, std::string_view>;

BoundedStore<PairKey, OperationPtr>& pair_store() {
  static BoundedStore<PairKey, OperationPtr> kept;
  return kept;
}

// The way from a reference's plane to its geographic base, keyed by the
// reference alone.
using OneKey = std::tuple<int32_t, std::string>;
using OneView = std::tuple<int32_t, std::string_view>;

BoundedStore<OneKey, OperationPtr>& base_store() {
  static BoundedStore<OneKey, OperationPtr> kept;
  return kept;
}

// PROJ's default operation between two CRSs, or the runtime's own where PROJ
// needs help; made afresh.
OperationPtr make_operation(const PJ* from, const PJ* to) {
  if (OperationPtr op = spherical_equal_area_operation(from, to)) return op;
  return Operation::lean(create_default_operation(from, to));
}

}  // namespace

std::string last_proj_error() {
  const int err = proj_context_errno(proj_context());
  const char* text = err ? proj_context_errno_string(proj_context(), err) : nullptr;
  return text ? std::string(text) : std::string("unknown projection error");
}

namespace {

using Tokens = std::vector<std::string>;

// A PROJ object made from the words of a pipeline step, as the pipeline
// made its own; null where PROJ refuses them.
PjPtr from_words(const Tokens& words) {
  std::vector<char*> argv;
  argv.reserve(words.size());
  for (const std::string& w : words) argv.push_back(const_cast<char*>(w.c_str()));
  return PjPtr(proj_or_out_of_memory(
      [&] { return proj_create_argv(proj_context(), static_cast<int>(argv.size()), argv.data()); }));
}

std::string joined(const Tokens& words) {
  std::string out;
  for (const std::string& w : words) {
    if (!out.empty()) out += ' ';
    out += w;
  }
  return out;
}

// The number a unit conversion step multiplies x and y by, asked of PROJ
// itself (it is the image of 1); 0 where the step cannot be made.
double conversion_factor(const Tokens& words) {
  const PjPtr step = from_words(words);
  if (!step) return 0.0;
  const PJ_COORD one = proj_coord(1.0, 1.0, 0.0, 0.0);
  const PJ_COORD image = proj_trans(step.get(), PJ_FWD, one);
  const double f = image.xy.x;
  proj_errno_reset(step.get());
  return std::isfinite(f) && f > 0.0 && image.xy.y == f ? f : 0.0;
}

const Tokens& degrees_to_radians() {
  static const Tokens words{"proj=unitconvert", "xy_in=deg", "xy_out=rad"};
  return words;
}

const Tokens& radians_to_degrees() {
  static const Tokens words{"proj=unitconvert", "xy_in=rad", "xy_out=deg"};
  return words;
}

// Each asked once, when first needed.
double radians_per_degree() {
  static const double f = conversion_factor(degrees_to_radians());
  return f;
}

double degrees_per_radian() {
  static const double f = conversion_factor(radians_to_degrees());
  return f;
}

// Runs of no points may have no coordinates at all (null x and y), which
// the loops below pass over before looking at them.
bool contiguous(const Coords& c) { return c.stride == 2 * sizeof(double) && c.y == c.x + 1; }

// The x and y of every run, one after the other, to `to`; and back.
void save(std::span<const Coords> runs, double* to) {
  for (const Coords& c : runs) {
    if (c.n == 0) continue;
    if (contiguous(c)) {
      std::memcpy(to, c.x, 2 * c.n * sizeof(double));
      to += 2 * c.n;
      continue;
    }
    const auto* x = reinterpret_cast<const std::byte*>(c.x);
    const auto* y = reinterpret_cast<const std::byte*>(c.y);
    for (std::size_t i = 0; i < c.n; ++i, x += c.stride, y += c.stride) {
      std::memcpy(to++, x, sizeof(double));
      std::memcpy(to++, y, sizeof(double));
    }
  }
}

void restore(std::span<const Coords> runs, const double* from) {
  for (const Coords& c : runs) {
    if (c.n == 0) continue;
    if (contiguous(c)) {
      std::memcpy(c.x, from, 2 * c.n * sizeof(double));
      from += 2 * c.n;
      continue;
    }
    auto* x = reinterpret_cast<std::byte*>(c.x);
    auto* y = reinterpret_cast<std::byte*>(c.y);
    for (std::size_t i = 0; i < c.n; ++i, x += c.stride, y += c.stride) {
      std::memcpy(x, from++, sizeof(double));
      std::memcpy(y, from++, sizeof(double));
    }
  }
}

// x and y of every run multiplied by f, or divided by it, each on its own
// as PROJ's unit conversion does it.
void rescale(std::span<const Coords> runs, double f, bool divide) {
  for (const Coords& c : runs) {
    if (c.n == 0) continue;
    if (contiguous(c)) {
      double* v = c.x;
      if (divide) {
        for (std::size_t i = 0; i < 2 * c.n; ++i) v[i] /= f;
      } else {
        for (std::size_t i = 0; i < 2 * c.n; ++i) v[i] *= f;
      }
      continue;
    }
    auto* x = reinterpret_cast<std::byte*>(c.x);
    auto* y = reinterpret_cast<std::byte*>(c.y);
    for (std::size_t i = 0; i < c.n; ++i, x += c.stride, y += c.stride) {
      double& px = *reinterpret_cast<double*>(x);
      double& py = *reinterpret_cast<double*>(y);
      if (divide) {
        px /= f;
        py /= f;
      } else {
        px *= f;
        py *= f;
      }
    }
  }
}

}  // namespace

std::shared_ptr<const Operation> Operation::lean(PjPtr pipeline) {
  const auto whole = [&] { return std::make_shared<const Operation>(std::move(pipeline)); };
  const char* definition = proj_pj_info(pipeline.get()).definition;
  if (!definition) return whole();
  // Quoted values may hold spaces: such a text is not taken apart.
  const std::string_view text(definition);
  if (text.find('"') != std::string_view::npos) return whole();
  Tokens words;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find(' ', at), text.size());
    if (end > at) words.emplace_back(text.substr(at, end - at));
    at = end + 1;
  }
  if (words.empty() || words.front() != "proj=pipeline") return whole();
  std::vector<Tokens> steps;
  for (std::size_t i = 1; i < words.size(); ++i) {
    if (words[i] == "step") {
      steps.emplace_back();
    } else {
      // Words before the first step go to every step: left as they are.
      if (steps.empty()) return whole();
      steps.back().push_back(words[i]);
    }
  }
  std::size_t first = 0, last = steps.size();
  const bool enter = last > first && steps[first] == degrees_to_radians();
  if (enter) ++first;
  const bool leave = last > first && steps[last - 1] == radians_to_degrees();
  if (leave) --last;
  // Only a single step stands for the pipeline: a shorter pipeline would
  // check its input against its own first step's units, where this one
  // does not.
  if (last - first != 1 || (!enter && !leave)) return whole();
  Tokens step;
  PJ_DIRECTION dir = PJ_FWD;
  for (const std::string& w : steps[first]) {
    // The stack and the omission of a direction live in the pipeline.
    if (w == "proj=push" || w == "proj=pop" || w.rfind("omit_", 0) == 0) return whole();
    if (w == "inv") {
      if (dir == PJ_INV) return whole();
      dir = PJ_INV;
    } else {
      step.push_back(w);
    }
  }
  PjPtr alone = from_words(step);
  // Made as the pipeline made it: PROJ reads it back word for word.
  if (!alone) {
    proj_errno_reset(pipeline.get());
    return whole();
  }
  const char* made = proj_pj_info(alone.get()).definition;
  if (!made || made != joined(step)) return whole();
  const double before = enter ? radians_per_degree() : 0.0;
  const double after = leave ? degrees_per_radian() : 0.0;
  if ((enter && before == 0.0) || (leave && after == 0.0)) return whole();
  auto op = std::make_shared<Operation>(std::move(pipeline));
  op->lean_ = std::move(alone);
  op->lean_dir_ = dir;
  op->before_ = before;
  op->after_ = after;
  return op;
}

void Operation::apply(std::span<const Coords> runs, PJ_DIRECTION direction) const {
  if (lean_ && direction != PJ_IDENT && apply_lean(runs, direction)) return;
  if (direction == PJ_INV) {
    for (auto it = steps_.rbegin(); it != steps_.rend(); ++it)
      apply_step(it->first.get(), runs, it->second == PJ_FWD ? PJ_INV : PJ_FWD);
  } else {
    for (const auto& [op, dir] : steps_) apply_step(op.get(), runs, direction == PJ_IDENT ? PJ_IDENT : dir);
  }
}

void Operation::apply(std::vector<double>& x, std::vector<double>& y, PJ_DIRECTION direction) const {
  const Coords run{x.data(), y.data(), sizeof(double), x.size()};
  apply(std::span<const Coords>(&run, 1), direction);
}

namespace {

// Whether every x and y of the run is a finite number, in one pass.  The
// test folds into a flag rather than leaving the loop at the first miss, so
// that the compiler can run it over several numbers at a time; a miss is
// the rare case.
bool all_finite(const Coords& c) {
  bool ok = true;
  if (c.n == 0) return ok;
  if (c.stride == 2 * sizeof(double) && c.y == c.x + 1) {
    const double* v = c.x;
    for (std::size_t i = 0; i < 2 * c.n; ++i) ok &= std::fabs(v[i]) <= DBL_MAX;
    return ok;
  }
  const auto* x = reinterpret_cast<const std::byte*>(c.x);
  const auto* y = reinterpret_cast<const std::byte*>(c.y);
  for (std::size_t i = 0; i < c.n; ++i, x += c.stride, y += c.stride)
    ok &= std::fabs(*reinterpret_cast<const double*>(x)) <= DBL_MAX &&
          std::fabs(*reinterpret_cast<const double*>(y)) <= DBL_MAX;
  return ok;
}

}  // namespace

bool Operation::apply_lean(std::span<const Coords> runs, PJ_DIRECTION direction) const {
  // The step alone checks its input where the pipeline around it does not,
  // and PROJ words a failure inside a pipeline its own way: where any point
  // fails, the points go back as they came and the whole pipeline answers.
  std::size_t n = 0;
  for (const Coords& c : runs) n += 2 * c.n;
  double few[64];
  std::unique_ptr<double[]> many;
  double* saved = few;
  if (n > std::size(few)) {
    many.reset(new double[n]);
    saved = many.get();
  }
  save(runs, saved);
  const bool back = direction == PJ_INV;
  if (const double f = back ? after_ : before_; f != 0.0) rescale(runs, f, back);
  PJ* op = lean_.get();
  const PJ_DIRECTION dir = back ? (lean_dir_ == PJ_FWD ? PJ_INV : PJ_FWD) : lean_dir_;
  proj_errno_reset(op);
  for (const Coords& c : runs)
    if (c.n) proj_trans_generic(op, dir, c.x, c.stride, c.n, c.y, c.stride, c.n, nullptr, 0, 0, nullptr, 0, 0);
  if (const double f = back ? before_ : after_; f != 0.0) rescale(runs, f, back);
  bool ok = true;
  for (const Coords& c : runs) ok &= all_finite(c);
  if (ok) return true;
  restore(runs, saved);
  return false;
}

void Operation::apply_step(PJ* op, std::span<const Coords> runs, PJ_DIRECTION direction) {
  // One error state for the whole batch, as if its runs were one array.
  proj_errno_reset(op);
  for (const Coords& c : runs)
    if (c.n)
      proj_trans_generic(op, direction, c.x, c.stride, c.n, c.y, c.stride, c.n, nullptr, 0, 0, nullptr, 0, 0);
  for (const Coords& c : runs) {
    if (all_finite(c)) continue;
    const int err = proj_errno(op);
    const char* why = err ? proj_context_errno_string(proj_context(), err) : nullptr;
    fail(kProjection, "The coordinates cannot be projected.",
         why ? why : "point outside the projection's domain");
  }
}

PjPtr create_default_operation(const PJ* from, const PJ* to) {
  PJ_CONTEXT* ctx = proj_context();
  PjPtr raw(
      proj_or_out_of_memory([&] { return proj_create_crs_to_crs_from_pj(ctx, from, to, nullptr, nullptr); }));
  if (!raw)
    fail(kProjection, "No transformation between the spatial references is known.", last_proj_error());
  PjPtr norm(proj_or_out_of_memory([&] { return proj_normalize_for_visualization(ctx, raw.get()); }));
  if (!norm)
    fail(kProjection, "No transformation between the spatial references is known.", last_proj_error());
  return norm;
}

OperationPtr default_operation(const PJ* from, const PJ* to) {
  return operation_store().get(std::make_pair(key_of(from), key_of(to)),
                               [&] { return make_operation(from, to); });
}

OperationPtr default_operation(const SpatialReference& from, const SpatialReference& to) {
  return pair_store().get(PairView{from.wkid, from.own_text(), to.wkid, to.own_text()},
                          [&] { return make_operation(from.crs.get(), to.crs.get()); });
}

namespace {

// The last pair asked for by object.  It holds the two references, so that
// their addresses cannot come back as other references while it stands; it
// answers what the pair cache answered for them, and goes with it.
struct LastPair {
  SpatialReferencePtr from, to;
  OperationPtr op;
};

LastPair& last_pair() {
  static LastPair last;
  return last;
}

}  // namespace

OperationPtr default_operation(const SpatialReferencePtr& from, const SpatialReferencePtr& to) {
  LastPair& last = last_pair();
  if (last.op && last.from == from && last.to == to) return last.op;
  OperationPtr op = default_operation(*from, *to);
  last = LastPair{from, to, op};
  return op;
}

PjPtr geographic_base(const SpatialReference& sr) {
  PjPtr base(proj_crs_get_geodetic_crs(proj_context(), sr.crs.get()));
  if (!base)
    fail(kProjection, "The spatial reference has no geographic coordinate system.", last_proj_error());
  return base;
}

OperationPtr plane_to_lonlat(const SpatialReference& sr) {
  if (sr.geographic) return nullptr;
  return base_store().get(OneView{sr.wkid, sr.own_text()}, [&] {
    PjPtr base = geographic_base(sr);
    return make_operation(sr.crs.get(), base.get());
  });
}

void clear_operation_cache() {
  operation_store().clear();
  pair_store().clear();
  base_store().clear();
  last_pair() = LastPair{};
  clear_projection_routes();
}

namespace {

// Points strictly inside one curved segment.
void flatten_segment(const SegmentView& s, std::vector<Vertex>& out, double arc_step) {
  const Curve& c = *s.curve;
  int n = 0;
  if (c.kind == SegmentKind::EllipticArc) {
    // A chord per degree of sweep stays within 4e-5 of the radius from the
    // arc, and falls short of its length by 1.3e-5.
    n = clamped_cast(std::ceil(std::fabs(c.arc.sweep) / arc_step), 4, std::numeric_limits<int>::max());
  } else if (c.kind == SegmentKind::CubicBezier) {
    n = clamped_cast(std::ceil(kPi / arc_step), 64, std::numeric_limits<int>::max());
  }
  for (int k = 1; k < n; ++k) out.push_back(planar::segment_point(s, static_cast<double>(k) / n));
}

}  // namespace

std::vector<Vertex> flatten_part(const Part& part, bool closed, double arc_step) {
  if (!part.has_curves()) return part.vertices.to_vector();
  std::vector<Vertex> out;
  const std::size_t n = part.size();
  if (n == 0) return out;
  out.push_back(part.vertices[0]);
  const std::size_t segs = part.segment_count(closed);
  for (std::size_t i = 0; i < segs; ++i) {
    const SegmentView s = part.segment(i, closed);
    flatten_segment(s, out, arc_step);
    if (i + 1 < n) out.push_back(part.vertices[i + 1]);
  }
  return out;
}

}  // namespace vaskelith::projection
