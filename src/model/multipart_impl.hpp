// The members of MultipartGeometry that read and write the model: dimension
// reads, emptiness, entry of parts, collection replacement and the document
// writer.  Private to the model's sources; polyline.cpp and polygon.cpp
// instantiate them for their kind.
#pragma once

#include <optional>
#include <string>

#include "model/cell.hpp"
#include "model/collection.hpp"
#include "model/geoerr.hpp"
#include "model/multipart_geometry.hpp"
#include "model/stamp.hpp"
#include "model/zorvjson.hpp"

namespace ostrel::model {

namespace multipart {

template <class P>
void push(const Cell<DimensionedCollection<P>>& coll, Cell<P> part, const char* site) {
  auto g = coll.lock_or_fatal(site);
  g->push_line(std::move(part));
}

// Throws MismatchingDimensions unless `incoming` has the dimensions `expected`.
template <class C>
void check_dims(const Cell<C>& incoming, CoordDims expected) {
  CoordDims got;
  {
    auto g = incoming.read_or_fatal("Lock poisoned");
    got = g->dims();
  }
  if (got != expected) throw ZorvGeoErr::mismatching_dimensions(expected, got);
}

// Replaces `slot` by `incoming` when its dimensions equal `expected`.
template <class C>
void replace(Cell<C>& slot, Cell<C> incoming, CoordDims expected) {
  check_dims(incoming, expected);
  slot = std::move(incoming);
}

inline void write_key(std::string& out, const char* key) {
  out.push_back('"');
  out.append(key);
  out.append("\": ");
}

}  // namespace multipart

template <class Kind>
MultipartGeometry<Kind> MultipartGeometry<Kind>::try_new_with_curves(bool has_z, bool has_m,
                                                                     std::vector<Cell<ZorvPart>> linear,
                                                                     std::vector<Cell<ZorvCurvePart>> curves,
                                                                     std::optional<SpatialReference> sr) {
  MultipartGeometry out(Cell<PartCollection>(PartCollection(has_z, has_m)), std::move(sr));
  {
    // Each part as push_linear_part takes it, into a collection that no one
    // else sees yet: locked once for all of them.
    auto g = out.linear_parts.lock_or_fatal("Rings lock poisoned");
    for (auto& p : linear) {
      Kind::admit(p);
      g->push_line(std::move(p));
    }
  }
  for (auto& p : curves) out.push_curve_part(std::move(p));
  return out;
}

template <class Kind>
const Cell<CurvePartCollection>& MultipartGeometry<Kind>::made_curve_parts() {
  if (!curves_) {
    // The dimensions are fixed when the linear collection is made, so a
    // poison there, which concerns its parts, does not hide them.
    const CoordDims dims = linear_parts.read_fixed([](const PartCollection& c) { return c.dims(); });
    curves_ = std::make_unique<Cell<CurvePartCollection>>(
        CurvePartCollection(dims_has_z(dims), dims_has_m(dims)));
  }
  return *curves_;
}

template <class Kind>
CoordDims MultipartGeometry<Kind>::dimensions() const {
  auto g = linear_parts.read_or_fatal("Rings lock poisoned");
  return g->dims();
}

template <class Kind>
bool MultipartGeometry<Kind>::is_empty() const {
  std::size_t n;
  {
    auto g = linear_parts.read_or_fatal("Lock poisoned");
    n = g->len();
  }
  if (!curves_) return n == 0;
  auto g = curves_->read_or_fatal("Lock poisoned");
  return n == 0 && g->len() == 0;
}

// The collections and every part in them, as they are now.
template <class Kind>
void MultipartGeometry<Kind>::watch(Stamp& stamp) const {
  if (curves_) {
    stamp.watch(*curves_);
    auto curve_guard = curves_->read_or_fatal("Lock poisoned");
    for (const auto& part : curve_guard->lines) stamp.watch(part);
  }
  auto linear_guard = linear_parts.read_or_fatal("Lock poisoned");
  stamp.reserve_more(1 + linear_guard->lines.size());
  stamp.watch(linear_parts);
  for (const auto& part : linear_guard->lines) stamp.watch(part);
}

template <class Kind>
std::size_t MultipartGeometry<Kind>::vertex_count() const {
  std::size_t n = 0;
  if (curves_) {
    auto curve_guard = curves_->read_or_fatal("Lock poisoned");
    for (const auto& part : curve_guard->lines) n += part.read_or_fatal("Lock poisoned")->len();
  }
  auto linear_guard = linear_parts.read_or_fatal("Lock poisoned");
  for (const auto& part : linear_guard->lines) n += part.read_or_fatal("Lock poisoned")->len();
  return n;
}

template <class Kind>
void MultipartGeometry<Kind>::push_linear_part(Cell<ZorvPart> part) {
  Kind::admit(part);
  multipart::push(linear_parts, std::move(part), "Rings lock poisoned");
}

template <class Kind>
void MultipartGeometry<Kind>::push_curve_part(Cell<ZorvCurvePart> part) {
  Kind::admit(part);
  multipart::push(made_curve_parts(), std::move(part), "curveRings lock poisoned");
}

template <class Kind>
void MultipartGeometry<Kind>::set_linear_parts(Cell<PartCollection> parts) {
  multipart::replace(linear_parts, std::move(parts), dimensions());
}

template <class Kind>
void MultipartGeometry<Kind>::set_curve_parts(Cell<CurvePartCollection> parts) {
  const CoordDims dims = dimensions();
  if (!curves_) {
    // Checked as the replacement would be, before there is a slot to fill.
    multipart::check_dims(parts, dims);
    curves_ = std::make_unique<Cell<CurvePartCollection>>(std::move(parts));
    return;
  }
  multipart::replace(*curves_, std::move(parts), dims);
}

template <class Kind>
void MultipartGeometry<Kind>::write_zorvjson(std::string& out) const {
  out.push_back('{');
  bool first = true;
  const CoordDims dims = dimensions();
  zorvjson::write_dims_zorvjson(dims_has_z(dims), dims_has_m(dims), out, first);
  if (spatial_reference) {
    zorvjson::cond_comma(out, first);
    out.append("\"spatialReference\": ");
    spatial_reference->write_zorvjson(out);
  }
  if (curves_) {
    auto curve_guard = curves_->read_or_fatal(Kind::kTexts.curve_lock);
    if (curve_guard->len() > 0) {
      zorvjson::cond_comma(out, first);
      multipart::write_key(out, Kind::kTexts.curve_key);
      curve_guard->write_zorvjson(out);
    }
  }
  zorvjson::cond_comma(out, first);
  multipart::write_key(out, Kind::kTexts.linear_key);
  {
    Cell<PartCollection> share = linear_parts;
    auto g = share.read_or_fatal("Rings lock poisoned");
    g->write_zorvjson(out);
  }
  out.push_back('}');
}

}  // namespace ostrel::model
