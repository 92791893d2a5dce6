#include "engine/engine_form.hpp"

#include <algorithm>
#include <atomic>
#include <memory>

#include "engine/geos_convert.hpp"
#include "engine/planar_curves.hpp"

namespace vaskelith::planar {

using geos::ctx;
using geos::GeomPtr;

namespace {

// From this many vertices a geometry is prepared at its second predicate:
// one plain predicate then costs about what building the prepared
// geometry's indexes would.
constexpr std::size_t kPrepareFrom = 32;

// From this many vertices the segments of a geometry related with curves
// are indexed and kept: below it a scan of the segments costs about what a
// look-up in the index does.
constexpr std::size_t kIndexSegmentsFrom = 64;

// The predicate at which a geometry is prepared: a smaller one only once it
// has been asked about as many vertices' worth as the second question of
// one of kPrepareFrom vertices (a container tested against a collection is
// asked over and over, whatever its size).
int prepare_at_use(std::size_t vertices) {
  const std::size_t worth = 2 * kPrepareFrom;
  return static_cast<int>(std::max<std::size_t>(2, (worth + vertices - 1) / std::max<std::size_t>(vertices, 1)));
}

// Everything is made under the geometry's Derived::mutex.  The GEOS forms,
// once made, are also published through atomics, so that the calls that
// find them made (nearly all) read them without taking the lock.
struct EngineForm {
  GeomPtr raw;       // rings nested, not repaired
  GeomPtr repaired;  // raw made valid, when it is not
  // Whether raw was made from the geometry's own parts (not kept from the
  // result the geometry was read from); set before raw_ready.
  bool raw_from_parts = false;
  std::atomic<const GEOSGeometry*> raw_ready{nullptr};
  std::atomic<int> valid{-1};  // whether raw is a valid area: -1 not yet known
  geos::PreparedPtr prepared;
  std::atomic<bool> prepared_ready{false};
  // Counted without the lock: a count off by one in a race only moves the
  // moment of preparing.
  std::atomic<int> predicate_uses{0};
  bool has_nesting = false;
  RingGroups nesting;
  std::unique_ptr<const SegmentBoxes> segment_boxes;
};

// Callers hold d.mutex.
EngineForm& form_of(Derived& d) {
  if (!d.engine) {
    d.engine = std::make_shared<EngineForm>();
    d.engine_ready.store(d.engine.get(), std::memory_order_release);
  }
  return *static_cast<EngineForm*>(d.engine.get());
}

// Callers hold d.mutex.
const GEOSGeometry* raw_of(const Geometry& g, EngineForm& f) {
  if (!f.raw) {
    f.raw = to_geos(g, 0, false);
    f.raw_from_parts = true;
    f.raw_ready.store(f.raw.get(), std::memory_order_release);
  }
  return f.raw.get();
}

// The form as far as it is made, without the lock; null before.
const EngineForm* made_form(const Geometry& g) {
  const Derived* d = g.derived.peek();
  return d ? static_cast<const EngineForm*>(d->engine_ready.load(std::memory_order_acquire)) : nullptr;
}

}  // namespace

GeomPtr GeosForm::take() {
  if (owned_) return std::move(owned_);
  return geos::take(GEOSGeom_clone_r(ctx(), lent_), "a copy");
}

bool keeps_forms(const Geometry& g) { return !g.has_curves(); }

std::size_t vertex_count(const Geometry& g) {
  switch (g.kind) {
    case GeometryKind::Point: return 1;
    case GeometryKind::Envelope: return 4;
    case GeometryKind::Multipoint: return g.points.size();
    default: {
      std::size_t n = 0;
      for (const Part& p : g.parts) n += p.size();
      return n;
    }
  }
}

GeosForm geos_form(const Geometry& g, bool repair) {
  if (!keeps_forms(g)) return GeosForm(to_geos(g, 0, repair));
  if (const EngineForm* made = made_form(g)) {
    if (const GEOSGeometry* raw = made->raw_ready.load(std::memory_order_acquire)) {
      if (!repair || g.kind != GeometryKind::Polygon) return GeosForm(raw);
      const int valid = made->valid.load(std::memory_order_acquire);
      if (valid == 1) return GeosForm(raw);
      if (valid == 0) return GeosForm(made->repaired.get());  // set before valid was
    }
  }
  Derived& d = g.derived.get();
  std::lock_guard<std::recursive_mutex> lock(d.mutex);
  EngineForm& f = form_of(d);
  const GEOSGeometry* raw = raw_of(g, f);
  // Only areas are repaired (as to_geos does).
  if (!repair || g.kind != GeometryKind::Polygon) return GeosForm(raw);
  if (f.valid.load(std::memory_order_relaxed) < 0) {
    f.repaired = repaired_area(raw);
    f.valid.store(f.repaired ? 0 : 1, std::memory_order_release);
  }
  return GeosForm(f.valid.load(std::memory_order_relaxed) == 1 ? raw : f.repaired.get());
}

bool lends_form_of_own_parts(const Geometry& g) {
  if (g.kind != GeometryKind::Polygon || !keeps_forms(g)) return false;
  const EngineForm* f = made_form(g);
  if (f == nullptr || f->raw_ready.load(std::memory_order_acquire) == nullptr) return false;
  return f->raw_from_parts && f->valid.load(std::memory_order_acquire) == 1;
}

bool valid_as_is(const Geometry& g) {
  (void)geos_form(g, true);  // settles validity once
  return made_form(g)->valid.load(std::memory_order_acquire) == 1;
}

PreparedUse prepared_form(const Geometry& g, PreparedFor purpose) {
  PreparedUse use;
  if (!keeps_forms(g)) return use;
  if (purpose == PreparedFor::Distance) {
    if (vertex_count(g) < kPrepareFrom) return use;
    if (g.kind == GeometryKind::Polygon && !valid_as_is(g)) return use;
  }
  Derived& d = g.derived.get();
  EngineForm* f = static_cast<EngineForm*>(d.engine_ready.load(std::memory_order_acquire));
  if (f == nullptr) {
    std::lock_guard<std::recursive_mutex> lock(d.mutex);
    f = &form_of(d);
  }
  // The questions before preparing are counted without the lock, which only
  // a prepared form needs while it is used.
  if (!f->prepared_ready.load(std::memory_order_acquire) &&
      f->predicate_uses.fetch_add(1, std::memory_order_relaxed) + 1 < prepare_at_use(vertex_count(g)))
    return use;
  use.lock = std::unique_lock<std::recursive_mutex>(d.mutex);
  if (!f->prepared) {
    const GEOSGeometry* raw = raw_of(g, *f);
    const GEOSPreparedGeometry* p = GEOSPrepare_r(ctx(), raw);
    if (p == nullptr) return use;  // the plain predicates will say why
    f->prepared.reset(p);
    f->prepared_ready.store(true, std::memory_order_release);
  }
  use.prepared = f->prepared.get();
  return use;
}

void keep_result_form(const Geometry& g, GeomPtr form) {
  if (!form || g.kind != GeometryKind::Polygon || !keeps_forms(g)) return;
  const int type = GEOSGeomTypeId_r(ctx(), form.get());
  if (type != GEOS_POLYGON && type != GEOS_MULTIPOLYGON) return;
  Derived& d = g.derived.get();
  std::lock_guard<std::recursive_mutex> lock(d.mutex);
  EngineForm& f = form_of(d);
  if (!f.raw) {
    f.raw = std::move(form);
    f.raw_ready.store(f.raw.get(), std::memory_order_release);
  }
}

GeometryPtr read_result(GeomPtr result, const ResultSpec& spec) {
  GeometryPtr g = from_geos(result.get(), spec);
  keep_result_form(*g, std::move(result));
  return g;
}

const RingGroups& kept_nesting(const Geometry& g) {
  Derived& d = g.derived.get();
  std::lock_guard<std::recursive_mutex> lock(d.mutex);
  EngineForm& f = form_of(d);
  if (!f.has_nesting) {
    f.nesting = nest_rings(g.parts);  // linear already
    f.has_nesting = true;
  }
  return f.nesting;  // never changes once made
}

const SegmentBoxes* kept_segment_boxes(const Geometry& g, SegmentBoxesMaker make) {
  if (!g.is_multipart() || !keeps_forms(g) || vertex_count(g) < kIndexSegmentsFrom) return nullptr;
  Derived& d = g.derived.get();
  std::lock_guard<std::recursive_mutex> lock(d.mutex);
  EngineForm& f = form_of(d);
  if (!f.segment_boxes) f.segment_boxes = std::make_unique<const SegmentBoxes>(make(g));
  return f.segment_boxes.get();  // never changes once made
}

}  // namespace vaskelith::planar
