// What polylines and polygons share: dimension reads, emptiness, collection
// replacement and the document writer.  Private to the model's sources.
#pragma once

#include <optional>
#include <string>

#include "model/cell.hpp"
#include "model/collection.hpp"
#include "model/geoerr.hpp"
#include "model/stamp.hpp"
#include "model/zorvjson.hpp"

namespace ostrel::model::multipart {

inline CoordDims dimensions(const Cell<PartCollection>& linear) {
  auto g = linear.read_or_fatal("Rings lock poisoned");
  return g->dims();
}

inline bool is_empty(const Cell<PartCollection>& linear, const Cell<CurvePartCollection>& curves) {
  std::size_t n;
  {
    auto g = linear.read_or_fatal("Lock poisoned");
    n = g->len();
  }
  auto g = curves.read_or_fatal("Lock poisoned");
  return n == 0 && g->len() == 0;
}

// The collections and every part in them, as they are now.
inline void watch(const Cell<PartCollection>& linear, const Cell<CurvePartCollection>& curves, Stamp& stamp) {
  stamp.watch(curves);
  stamp.watch(linear);
  auto curve_guard = curves.read_or_fatal("Lock poisoned");
  auto linear_guard = linear.read_or_fatal("Lock poisoned");
  for (const auto& part : curve_guard->lines) stamp.watch(part);
  for (const auto& part : linear_guard->lines) stamp.watch(part);
}

template <class P>
void push(const Cell<DimensionedCollection<P>>& coll, Cell<P> part, const char* site) {
  auto g = coll.lock_or_fatal(site);
  g->push_line(std::move(part));
}

// Replaces `slot` by `incoming` when its dimensions equal `expected`.
template <class C>
void replace(Cell<C>& slot, Cell<C> incoming, CoordDims expected) {
  CoordDims got;
  {
    auto g = incoming.read_or_fatal("Lock poisoned");
    got = g->dims();
  }
  if (got != expected) throw ZorvGeoErr::mismatching_dimensions(expected, got);
  slot = std::move(incoming);
}

struct Names {
  const char* curve_key;   // "\"curvePaths\": "
  const char* linear_key;  // "\"paths\": "
  const char* curve_lock;  // "Curve paths lock poisoned"
};

// {hasZ, hasM, spatialReference, curve collection (when not empty), linear collection}
inline void write(const Cell<PartCollection>& linear, const Cell<CurvePartCollection>& curves,
                  const std::optional<SpatialReference>& sr, const Names& names, std::string& out) {
  out.push_back('{');
  bool first = true;
  const CoordDims dims = dimensions(linear);
  zorvjson::write_dims_zorvjson(dims_has_z(dims), dims_has_m(dims), out, first);
  if (sr) {
    zorvjson::cond_comma(out, first);
    out.append("\"spatialReference\": ");
    sr->write_zorvjson(out);
  }
  auto curve_guard = curves.read_or_fatal(names.curve_lock);
  if (curve_guard->len() > 0) {
    zorvjson::cond_comma(out, first);
    out.append(names.curve_key);
    curve_guard->write_zorvjson(out);
  }
  zorvjson::cond_comma(out, first);
  out.append(names.linear_key);
  {
    Cell<PartCollection> share = linear;
    auto g = share.read_or_fatal("Rings lock poisoned");
    g->write_zorvjson(out);
  }
  out.push_back('}');
}

}  // namespace ostrel::model::multipart
