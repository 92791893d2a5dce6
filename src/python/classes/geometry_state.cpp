#include "python/classes/geometry_state.hpp"

#include <algorithm>
#include <cmath>

#include "binding/parts.hpp"
#include "python/pyapi/args.hpp"
#include "python/pyapi/ref.hpp"
#include "python/pyapi/trampoline.hpp"
#include "python/pyapi/types.hpp"

namespace ostrel::py::geometry_state {

namespace {

// What a kept geometry is charged, measured on small polygons (in the
// allocator's blocks): its handle and the shared pointer to it (32 each),
// the runtime geometry's record (176) and part (48), the stamp of the model
// cells it was built from (80), and the record of what the engines derive
// from it (160).
constexpr std::size_t kKeptBytes = 528;
// What each vertex may cost once the engines have derived everything they
// keep: 16 bytes of x and y in the runtime geometry, about 24 in its GEOS
// form and about 40 in a prepared geometry and its indexes (measured on a
// polygon of 200 000 vertices; z or m add less than the estimate's slack).
constexpr std::size_t kKeptBytesPerVertex = 80;

std::size_t cost_of(std::size_t vertices) { return kKeptBytes + kKeptBytesPerVertex * vertices; }

}  // namespace

// 256 MiB: the built forms of about a quarter of a million small polygons,
// or of a few million vertices in large ones.
std::size_t Kept::budget_ = std::size_t{256} << 20;

Flags read_back_flags(const rt::GeometryOwned& g, rt::GeometryType kind) {
  // The read-back takes each flag from the same getters: a point's or an
  // envelope's z and m are present exactly when it has them, and a polyline
  // or polygon gets one model part per runtime part.
  switch (kind) {
    case rt::GeometryType::Point: {
      rt::Borrowed<rt::Point> p(g.raw());
      return {p->z().has_value(), p->m().has_value(), std::isnan(p->x())};
    }
    case rt::GeometryType::Envelope: {
      rt::Borrowed<rt::Envelope> e(g.raw());
      return {e->z_min().has_value(), e->m_min().has_value(), std::isnan(e->x_min())};
    }
    case rt::GeometryType::Multipoint: {
      rt::Borrowed<rt::Multipoint> mp(g.raw());
      return {g.has_z(), g.has_m(), mp->points().size() == 0};
    }
    case rt::GeometryType::Polyline: {
      rt::Borrowed<rt::Polyline> polyline(g.raw());
      return {g.has_z(), g.has_m(), polyline->parts().size() == 0};
    }
    default: {
      rt::Borrowed<rt::Polygon> polygon(g.raw());
      return {g.has_z(), g.has_m(), polygon->parts().size() == 0};
    }
  }
}

void Kept::link() {
  older_ = newest_;
  newer_ = nullptr;
  if (newest_)
    newest_->newer_ = this;
  else
    oldest_ = this;
  newest_ = this;
  linked_ = true;
}

void Kept::detach() {
  if (newer_)
    newer_->older_ = older_;
  else
    newest_ = older_;
  if (older_)
    older_->newer_ = newer_;
  else
    oldest_ = newer_;
  newer_ = older_ = nullptr;
  linked_ = false;
}

void Kept::unlink() {
  if (!linked_) return;
  detach();
  in_use_ -= cost_of(vertices_);
  vertices_ = 0;
}

void Kept::keep_built(rt::KeptGeometry built, std::size_t vertices) {
  let_go();
  handle_ = built ? built->raw() : nullptr;
  geometry_ = std::move(built);
  count_as_built(vertices);
  trim(this);
}

void Kept::count_as_built(std::size_t vertices) {
  if (linked_ || !geometry_) return;
  used_ = false;
  // No memory holds four billion vertices.
  vertices_ = static_cast<uint32_t>(std::min<std::size_t>(vertices, UINT32_MAX));
  in_use_ += cost_of(vertices_);
  link();
}

void Kept::trim(const Kept* keep) {
  // Releasing runs no Python code, so the list changes only here meanwhile.
  // One used since it was passed over moves to the front unused, so the
  // walk meets each at most twice.
  for (Kept* k = oldest_; k && in_use_ > budget_;) {
    Kept* next = k->newer_;
    if (k->used_) {
      k->used_ = false;
      if (k != newest_) {
        k->detach();
        k->link();
      } else {
        next = k;  // the newest: looked at again, unused now
      }
    } else if (k != keep) {
      k->let_go();
    }
    k = next;
  }
}

void Kept::set_budget(std::size_t bytes) {
  budget_ = bytes;
  trim(nullptr);
}

ReadBack reads_back(const rt::GeometryOwned& g, rt::GeometryType kind) {
  if (kind == rt::GeometryType::Point || kind == rt::GeometryType::Envelope) return ReadBack::Exact;
  // A builder takes z and m from the vertices it is given, so a geometry
  // with z or m but no vertex is built again without them.
  const bool flagged = g.has_z() || g.has_m();
  if (kind == rt::GeometryType::Multipoint) {
    if (!flagged) return ReadBack::Exact;
    rt::Borrowed<rt::Multipoint> multipoint(g.raw());
    return multipoint->points().size() > 0 ? ReadBack::Exact : ReadBack::Differs;
  }
  if (g.has_curves()) return ReadBack::Differs;
  bool any_vertex = false;
  rt::ImmutablePartIntoIter parts = kind == rt::GeometryType::Polyline
                                        ? rt::Borrowed<rt::Polyline>(g.raw())->parts().into_iter()
                                        : rt::Borrowed<rt::Polygon>(g.raw())->parts().into_iter();
  while (std::optional<rt::ImmutablePart> part = parts.next()) {
    const int64_t n = part->point_count();
    any_vertex = any_vertex || n > 0;
    if (kind == rt::GeometryType::Polyline) {
      if (any_vertex) break;
      continue;
    }
    if (n < 3) return ReadBack::Differs;
  }
  if (!any_vertex && flagged) return ReadBack::Differs;
  return kind == rt::GeometryType::Polygon && parts.size() > 0 ? ReadBack::ExactIfRingsOpen : ReadBack::Exact;
}

bool rings_stay_open(const rt::GeometryOwned& polygon) {
  rt::ImmutablePartIntoIter parts = rt::Borrowed<rt::Polygon>(polygon.raw())->parts().into_iter();
  while (std::optional<rt::ImmutablePart> part = parts.next()) {
    // Rings are kept open; one whose last vertex still repeats the first
    // loses that vertex too when its model is built again.
    const int64_t n = part->point_count();
    rt::Point first = part->get_point(0);
    rt::Point last = part->get_point(n - 1);
    if (first.x() == last.x() && first.y() == last.y()) return false;
  }
  return true;
}

namespace {

Ref get_cache_limit(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  match<0>({"get_cache_limit()", {}, 0}, args, nargs, kwnames);
  return check(PyLong_FromSize_t(Kept::budget()));
}

Ref set_cache_limit(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto [value] = match<1>({"set_cache_limit()", {"limit"}, 1}, args, nargs, kwnames);
  const int64_t limit = arg_i64(value, "limit");
  if (limit < 0) raise(PyExc_ValueError, "the cache limit must not be negative");
  Kept::set_budget(static_cast<std::size_t>(limit));
  return none();
}

const Registrar reg_get_cache_limit(
    "ostrel_geometry",
    fastcall_def<get_cache_limit>("get_cache_limit",
                                  "get_cache_limit()\n--\n\n"
                                  "Return the memory, in bytes, that runtime forms built from geometries' "
                                  "coordinates may take\n"
                                  "(256 MiB unless set with set_cache_limit)."));
const Registrar reg_set_cache_limit(
    "ostrel_geometry",
    fastcall_def<set_cache_limit>(
        "set_cache_limit",
        "set_cache_limit(limit)\n--\n\n"
        "Set the memory, in bytes, that runtime forms built from geometries' coordinates may take.\n\n"
        "A geometry builds the form its operations use at first need and keeps it until it changes;\n"
        "over the limit, the least recently used forms are let go and built again when next needed.\n"
        "0 keeps only the form last built. A result of an operation holds the form it came with as its\n"
        "data until its coordinates are read into Python (str(), the coordinate properties); to_dict()\n"
        "and JSON read the form itself."));

}  // namespace

}  // namespace ostrel::py::geometry_state
