// The objects behind the opaque handles of api.h.
//
// A handle is a heap object made with `new` and released by its class's
// destroy function with `delete`.  Every handle struct derives from Counted,
// so vaskelith_live_handle_count() is the number of handles handed out and
// not yet destroyed; a handle that must not be counted (none today) would
// simply not derive from it.
//
// Handles to immutable things (geometries, segments, spatial references,
// units, datum transformations) wrap a shared_ptr to const: copying a handle
// shares, never copies vertices.  Handles to mutable things (builders,
// mutable parts and collections) own or share mutable state as noted.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "geometry.hpp"
#include "vaskelith/api.h"

namespace vaskelith {

std::atomic<int64_t>& live_handle_counter();

struct Counted {
  Counted() noexcept { live_handle_counter().fetch_add(1, std::memory_order_relaxed); }
  Counted(const Counted&) noexcept { live_handle_counter().fetch_add(1, std::memory_order_relaxed); }
  Counted& operator=(const Counted&) noexcept { return *this; }
  ~Counted() { live_handle_counter().fetch_sub(1, std::memory_order_relaxed); }
};

// Defined by the projection engine (engine/); only shared here.
struct DatumTransformation;
using DatumTransformationPtr = std::shared_ptr<const DatumTransformation>;

// Units: one struct for linear, area and angular units.
enum class UnitKind : int32_t { Linear = 1, Area = 2, Angular = 3 };
struct Unit {
  UnitKind kind = UnitKind::Linear;
  uint32_t id = 0;      // LinearUnitId / AreaUnitId / angular code
  double factor = 1.0;  // meters, square meters or radians per unit
  std::string name;
};
using UnitPtr = std::shared_ptr<const Unit>;

// What an element, a vector item or an array item holds.
using Value = std::variant<std::monostate, double, GeometryPtr, DatumTransformationPtr, SpatialReferencePtr>;

// Editable parts and collections: shared so that a part fetched from a
// collection edits the collection's part, as callers of such APIs expect.
struct MutablePartData {
  Part part;
  bool has_z = false;
  bool has_m = false;
  SpatialReferencePtr spatial_reference;
};
using MutablePartPtr = std::shared_ptr<MutablePartData>;

struct MutablePartCollectionData {
  std::vector<MutablePartPtr> parts;
  SpatialReferencePtr spatial_reference;
};

struct MutablePointCollectionData {
  std::vector<Vertex> points;
  bool has_z = false;
  bool has_m = false;
  SpatialReferencePtr spatial_reference;
};

// A builder owns its state outright; toGeometry snapshots it.
struct BuilderData {
  GeometryKind kind = GeometryKind::Polyline;
  SpatialReferencePtr spatial_reference;
  bool has_z = false;
  bool has_m = false;
  std::vector<Part> parts;     // polyline / polygon builders
  std::vector<Vertex> points;  // multipoint builder
};

}  // namespace vaskelith

struct _QX_ErrorInternal : vaskelith::Counted {
  int32_t code = 0;
  std::string message;
  std::string additional;
};

struct _QX_StringInternal : vaskelith::Counted {
  std::string text;
};

struct _QX_GeometryInternal : vaskelith::Counted {
  vaskelith::GeometryPtr geometry;  // never null
};

struct _QX_SegmentInternal : vaskelith::Counted {
  vaskelith::SegmentPtr segment;  // never null
};

struct _QX_SpatialReferenceInternal : vaskelith::Counted {
  vaskelith::SpatialReferencePtr spatial_reference;  // never null
};

struct _QX_UnitInternal : vaskelith::Counted {
  vaskelith::UnitPtr unit;  // never null
};

struct _QX_DatumTransformationInternal : vaskelith::Counted {
  vaskelith::DatumTransformationPtr transformation;  // never null
};

struct _QX_ElementInternal : vaskelith::Counted {
  vaskelith::Value value;
};

struct _QX_ArrayInternal : vaskelith::Counted {
  uint32_t value_type = 0;  // QX_ELEMENT_TYPE_*, or another element-type code
  std::vector<vaskelith::Value> items;
};

struct _QX_VectorInternal : vaskelith::Counted {
  uint32_t element_type = 0;
  std::vector<vaskelith::Value> items;
};

struct _QX_GeometryBuilderInternal : vaskelith::Counted {
  vaskelith::BuilderData data;
};

struct _QX_MutablePartInternal : vaskelith::Counted {
  vaskelith::MutablePartPtr part;  // never null
};

struct _QX_MutablePartCollectionInternal : vaskelith::Counted {
  std::shared_ptr<vaskelith::MutablePartCollectionData> collection;  // never null
};

struct _QX_MutablePointCollectionInternal : vaskelith::Counted {
  std::shared_ptr<vaskelith::MutablePointCollectionData> collection;  // never null
};

// Read-only views into an immutable geometry, which they keep alive.
struct _QX_ImmutablePartInternal : vaskelith::Counted {
  vaskelith::GeometryPtr owner;  // a polyline or polygon
  std::size_t index = 0;         // part index in owner->parts
  const vaskelith::Part& part() const { return owner->parts[index]; }
  bool closed() const { return owner->closed(); }
};

struct _QX_ImmutablePartCollectionInternal : vaskelith::Counted {
  vaskelith::GeometryPtr owner;  // a polyline or polygon
};

struct _QX_ImmutablePointCollectionInternal : vaskelith::Counted {
  vaskelith::GeometryPtr owner;  // a multipoint (part < 0) or a multipart
  std::ptrdiff_t part = -1;      // part index in owner->parts, or -1
  std::size_t size() const {
    return part < 0 ? owner->points.size() : owner->parts[static_cast<std::size_t>(part)].vertices.size();
  }
  vaskelith::Vertex at(std::size_t i) const {
    return part < 0 ? owner->points[i] : owner->parts[static_cast<std::size_t>(part)].vertices[i];
  }
};

namespace vaskelith {

// New handles (ownership passes to the caller of the exported function).
inline QX_GeometryHandle make_handle(GeometryPtr g) {
  auto* h = new _QX_GeometryInternal;
  h->geometry = std::move(g);
  return h;
}
inline QX_SegmentHandle make_handle(SegmentPtr s) {
  auto* h = new _QX_SegmentInternal;
  h->segment = std::move(s);
  return h;
}
inline QX_SpatialReferenceHandle make_handle(SpatialReferencePtr sr) {
  if (!sr) return nullptr;
  auto* h = new _QX_SpatialReferenceInternal;
  h->spatial_reference = std::move(sr);
  return h;
}
inline QX_StringHandle make_string(std::string text) {
  auto* h = new _QX_StringInternal;
  h->text = std::move(text);
  return h;
}
// A new array of the given element type owning `items`.
inline QX_ArrayHandle make_array(uint32_t value_type, std::vector<Value> items) {
  auto* h = new _QX_ArrayInternal;
  h->value_type = value_type;
  h->items = std::move(items);
  return h;
}

// The geometry behind a handle argument (kNullHandle failure when null).
const Geometry& geometry_of(QX_GeometryHandle h, const char* argument = "geometry");
const GeometryPtr& geometry_ptr_of(QX_GeometryHandle h, const char* argument = "geometry");
// The spatial reference behind an optional handle argument (null -> null).
SpatialReferencePtr spatial_reference_of(QX_SpatialReferenceHandle h);

}  // namespace vaskelith
