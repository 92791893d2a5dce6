// Builders, mutable parts and collections, and the read-only views of parts
// and points of a geometry.
#include <cmath>
#include <string>

#include "errors.hpp"
#include "handles.hpp"

using namespace vaskelith;

namespace {

const Geometry& point_of(QX_GeometryHandle h) {
  const Geometry& g = geometry_of(h, "point");
  if (g.kind != GeometryKind::Point) fail(kWrongType, "The geometry is not a point.");
  return g;
}

QX_GeometryHandle point_handle(const Vertex& v, bool has_z, bool has_m, const SpatialReferencePtr& sr) {
  auto p = std::make_shared<Geometry>();
  p->kind = GeometryKind::Point;
  p->has_z = has_z;
  p->has_m = has_m;
  p->point = Vertex{v.x, v.y, has_z ? v.z : kNaN, has_m ? v.m : kNaN};
  p->spatial_reference = sr;
  return make_handle(std::move(p));
}

int64_t append_vertex(MutablePartData& part, const Vertex& v, const Curve& c = Curve{}) {
  part.part.push(v, c);
  return static_cast<int64_t>(part.part.size()) - 1;
}

QX_GeometryBuilderHandle new_builder(GeometryKind kind, QX_SpatialReferenceHandle sr) {
  auto* b = new _QX_GeometryBuilderInternal;
  b->data.kind = kind;
  b->data.spatial_reference = spatial_reference_of(sr);
  return b;
}

BuilderData& builder_of(QX_GeometryBuilderHandle h, bool multipart) {
  BuilderData& b = deref(h, "builder").data;
  const bool is_multipart = b.kind == GeometryKind::Polyline || b.kind == GeometryKind::Polygon;
  if (multipart != is_multipart)
    fail(kWrongType, multipart ? "The builder is not a polyline or polygon builder."
                               : "The builder is not a multipoint builder.");
  return b;
}

// A new handle `Internal` to fresh editable `Data` (held in `member`) with
// the given spatial reference.
template <class Internal, class Data>
Internal* new_editable(std::shared_ptr<Data> Internal::*member, QX_SpatialReferenceHandle sr) {
  auto data = std::make_shared<Data>();
  data->spatial_reference = spatial_reference_of(sr);
  auto* h = new Internal;
  h->*member = std::move(data);
  return h;
}

const _QX_ImmutablePartInternal& immutable_part_of(QX_ImmutablePartHandle h) { return deref(h, "part"); }

}  // namespace

extern "C" {

/* ---- MutablePart ---- */

QX_EXPORT void QX_MutablePart_destroy(QX_MutablePartHandle part, const QX_ErrorHandler* handler) {
  destroy_handle(part, handler, "QX_MutablePart_destroy", "part");
}

QX_EXPORT QX_MutablePartHandle QX_MutablePart_createWithSpatialReference(
    QX_SpatialReferenceHandle spatial_reference, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_MutablePart_createWithSpatialReference", QX_MutablePartHandle{},
                 [&] { return new_editable(&_QX_MutablePartInternal::part, spatial_reference); });
}

QX_EXPORT int64_t QX_MutablePart_addPoint(QX_MutablePartHandle part, QX_GeometryHandle point,
                                          const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_MutablePart_addPoint", int64_t{-1}, [&] {
    MutablePartData& p = *deref(part, "part").part;
    const Geometry& g = point_of(point);
    p.has_z = p.has_z || g.has_z;
    p.has_m = p.has_m || g.has_m;
    return append_vertex(p, g.point);
  });
}

QX_EXPORT int64_t QX_MutablePart_addPointXY(QX_MutablePartHandle part, double x, double y,
                                            const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_MutablePart_addPointXY", int64_t{-1},
                 [&] { return append_vertex(*deref(part, "part").part, Vertex{x, y, kNaN, kNaN}); });
}

QX_EXPORT int64_t QX_MutablePart_addPointXYZ(QX_MutablePartHandle part, double x, double y, double z,
                                             const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_MutablePart_addPointXYZ", int64_t{-1}, [&] {
    MutablePartData& p = *deref(part, "part").part;
    p.has_z = true;
    return append_vertex(p, Vertex{x, y, z, kNaN});
  });
}

QX_EXPORT void QX_MutablePart_addSegment(QX_MutablePartHandle part, QX_SegmentHandle segment,
                                         const QX_ErrorHandler* handler) {
  guarded_void(handler, "QX_MutablePart_addSegment", [&] {
    MutablePartData& p = *deref(part, "part").part;
    const Segment& s = *deref(segment, "segment").segment;
    // A segment that does not start where the part ends is joined to it by
    // a straight line, so the part stays connected.
    if (p.part.empty() || p.part.vertices.back().x != s.start.x || p.part.vertices.back().y != s.start.y)
      append_vertex(p, s.start);
    p.has_z = p.has_z || s.has_z;
    p.has_m = p.has_m || s.has_m;
    append_vertex(p, s.end, s.curve);
  });
}

/* ---- MutablePartCollection ---- */

QX_EXPORT void QX_MutablePartCollection_destroy(QX_MutablePartCollectionHandle parts,
                                                const QX_ErrorHandler* handler) {
  destroy_handle(parts, handler, "QX_MutablePartCollection_destroy", "part collection");
}

QX_EXPORT QX_MutablePartCollectionHandle QX_MutablePartCollection_createWithSpatialReference(
    QX_SpatialReferenceHandle spatial_reference, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_MutablePartCollection_createWithSpatialReference",
                 QX_MutablePartCollectionHandle{},
                 [&] { return new_editable(&_QX_MutablePartCollectionInternal::collection, spatial_reference); });
}

QX_EXPORT int64_t QX_MutablePartCollection_getSize(QX_MutablePartCollectionHandle parts,
                                                   const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_MutablePartCollection_getSize", int64_t{0}, [&] {
    return static_cast<int64_t>(deref(parts, "part collection").collection->parts.size());
  });
}

QX_EXPORT int64_t QX_MutablePartCollection_addPart(QX_MutablePartCollectionHandle parts,
                                                   QX_MutablePartHandle part,
                                                   const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_MutablePartCollection_addPart", int64_t{-1}, [&] {
    auto& c = *deref(parts, "part collection").collection;
    c.parts.push_back(deref(part, "part").part);
    return static_cast<int64_t>(c.parts.size()) - 1;
  });
}

QX_EXPORT QX_MutablePartHandle QX_MutablePartCollection_getPart(QX_MutablePartCollectionHandle parts,
                                                                int64_t index,
                                                                const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_MutablePartCollection_getPart", QX_MutablePartHandle{}, [&] {
    auto& c = *deref(parts, "part collection").collection;
    MutablePartPtr p = c.parts[checked_index(index, c.parts.size(), "part")];
    auto* h = new _QX_MutablePartInternal;
    h->part = std::move(p);
    return h;
  });
}

/* ---- MutablePointCollection ---- */

QX_EXPORT void QX_MutablePointCollection_destroy(QX_MutablePointCollectionHandle points,
                                                 const QX_ErrorHandler* handler) {
  destroy_handle(points, handler, "QX_MutablePointCollection_destroy", "point collection");
}

QX_EXPORT QX_MutablePointCollectionHandle QX_MutablePointCollection_createWithSpatialReference(
    QX_SpatialReferenceHandle spatial_reference, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_MutablePointCollection_createWithSpatialReference",
                 QX_MutablePointCollectionHandle{},
                 [&] { return new_editable(&_QX_MutablePointCollectionInternal::collection, spatial_reference); });
}

QX_EXPORT int64_t QX_MutablePointCollection_addPoint(QX_MutablePointCollectionHandle points,
                                                     QX_GeometryHandle point,
                                                     const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_MutablePointCollection_addPoint", int64_t{-1}, [&] {
    auto& c = *deref(points, "point collection").collection;
    const Geometry& g = point_of(point);
    c.has_z = c.has_z || g.has_z;
    c.has_m = c.has_m || g.has_m;
    c.points.push_back(g.point);
    return static_cast<int64_t>(c.points.size()) - 1;
  });
}

/* ---- Builders ---- */

QX_EXPORT void QX_GeometryBuilder_destroy(QX_GeometryBuilderHandle builder, const QX_ErrorHandler* handler) {
  destroy_handle(builder, handler, "QX_GeometryBuilder_destroy", "builder");
}

QX_EXPORT QX_GeometryBuilderHandle QX_PolylineBuilder_createFromSpatialReference(
    QX_SpatialReferenceHandle spatial_reference, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_PolylineBuilder_createFromSpatialReference", QX_GeometryBuilderHandle{},
                 [&] { return new_builder(GeometryKind::Polyline, spatial_reference); });
}

QX_EXPORT QX_GeometryBuilderHandle QX_PolygonBuilder_createFromSpatialReference(
    QX_SpatialReferenceHandle spatial_reference, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_PolygonBuilder_createFromSpatialReference", QX_GeometryBuilderHandle{},
                 [&] { return new_builder(GeometryKind::Polygon, spatial_reference); });
}

QX_EXPORT QX_GeometryBuilderHandle QX_MultipointBuilder_createFromSpatialReference(
    QX_SpatialReferenceHandle spatial_reference, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_MultipointBuilder_createFromSpatialReference", QX_GeometryBuilderHandle{},
                 [&] { return new_builder(GeometryKind::Multipoint, spatial_reference); });
}

QX_EXPORT void QX_MultipartBuilder_setParts(QX_GeometryBuilderHandle builder,
                                            QX_MutablePartCollectionHandle parts,
                                            const QX_ErrorHandler* handler) {
  guarded_void(handler, "QX_MultipartBuilder_setParts", [&] {
    BuilderData& b = builder_of(builder, true);
    const auto& c = *deref(parts, "part collection").collection;
    std::vector<Part> copy;
    copy.reserve(c.parts.size());
    bool has_z = false, has_m = false;
    for (const MutablePartPtr& p : c.parts) {
      copy.push_back(p->part);
      has_z = has_z || p->has_z;
      has_m = has_m || p->has_m;
    }
    b.parts = std::move(copy);
    b.has_z = has_z;
    b.has_m = has_m;
  });
}

QX_EXPORT void QX_MultipointBuilder_setPoints(QX_GeometryBuilderHandle builder,
                                              QX_MutablePointCollectionHandle points,
                                              const QX_ErrorHandler* handler) {
  guarded_void(handler, "QX_MultipointBuilder_setPoints", [&] {
    BuilderData& b = builder_of(builder, false);
    const auto& c = *deref(points, "point collection").collection;
    b.points = c.points;
    b.has_z = c.has_z;
    b.has_m = c.has_m;
  });
}

QX_EXPORT QX_GeometryHandle QX_GeometryBuilder_toGeometry(QX_GeometryBuilderHandle builder,
                                                          const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_GeometryBuilder_toGeometry", QX_GeometryHandle{}, [&] {
    const BuilderData& b = deref(builder, "builder").data;
    auto g = std::make_shared<Geometry>();
    g->kind = b.kind;
    g->has_z = b.has_z;
    g->has_m = b.has_m;
    g->spatial_reference = b.spatial_reference;
    if (b.kind == GeometryKind::Multipoint) {
      g->points = b.points;
    } else if (b.kind == GeometryKind::Polygon) {
      // Each ring copied open, so that a closing vertex given leaves no
      // spare room behind in a geometry that is kept.
      g->parts.reserve(b.parts.size());
      for (const Part& ring : b.parts) g->parts.push_back(opened_copy(ring));
    } else {
      g->parts = b.parts;
    }
    // Components the geometry does not have carry no value.
    auto clean = [&](Vertex& v) {
      if (!g->has_z) v.z = kNaN;
      if (!g->has_m) v.m = kNaN;
    };
    for (Vertex& v : g->points) clean(v);
    for (Part& p : g->parts) p.vertices.edit(clean);
    return make_handle(std::move(g));
  });
}

/* ---- Builders filled part by part (internal: the module's conversion of straight parts) ---- */

QX_EXPORT void vaskelith_builder_add_part(QX_GeometryBuilderHandle builder, const double* xs, const double* ys,
                                          const double* zs, size_t count, const QX_ErrorHandler* handler) {
  guarded_void(handler, "vaskelith_builder_add_part", [&] {
    BuilderData& b = builder_of(builder, true);
    if (count > 0 && (!xs || !ys)) fail(kInvalidArgument, "The coordinates are missing.");
    // What QX_GeometryBuilder_toGeometry keeps of the part: a ring without
    // the closing vertex it was given, z only where one is a number.
    std::size_t kept = count;
    if (b.kind == GeometryKind::Polygon && count >= 2 && xs[0] == xs[count - 1] && ys[0] == ys[count - 1])
      kept = count - 1;
    VertexList::XY xy(2 * kept);
    for (std::size_t i = 0; i < kept; ++i) {
      xy[2 * i] = xs[i];
      xy[2 * i + 1] = ys[i];
    }
    bool some_z = false;
    for (std::size_t i = 0; zs && i < count && !some_z; ++i) some_z = !std::isnan(zs[i]);
    Part part;
    part.vertices = some_z ? VertexList::from_xy_z(std::move(xy), std::vector<double>(zs, zs + kept))
                           : VertexList::from_xy(std::move(xy));
    b.parts.push_back(std::move(part));
    b.has_z = b.has_z || (zs && count > 0);
  });
}

QX_EXPORT QX_GeometryHandle vaskelith_builder_take_geometry(QX_GeometryBuilderHandle builder,
                                                            const QX_ErrorHandler* handler) {
  return guarded(handler, "vaskelith_builder_take_geometry", QX_GeometryHandle{}, [&] {
    BuilderData& b = builder_of(builder, true);
    auto g = std::make_shared<Geometry>();
    g->kind = b.kind;
    g->has_z = b.has_z;
    g->has_m = b.has_m;
    g->spatial_reference = b.spatial_reference;
    g->parts = std::move(b.parts);
    b.parts.clear();
    b.has_z = b.has_m = false;
    return make_handle(std::move(g));
  });
}

/* ---- ImmutablePartCollection ---- */

QX_EXPORT void QX_ImmutablePartCollection_destroy(QX_ImmutablePartCollectionHandle parts,
                                                  const QX_ErrorHandler* handler) {
  destroy_handle(parts, handler, "QX_ImmutablePartCollection_destroy", "part collection");
}

QX_EXPORT int64_t QX_ImmutablePartCollection_getSize(QX_ImmutablePartCollectionHandle parts,
                                                     const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_ImmutablePartCollection_getSize", int64_t{0},
                 [&] { return static_cast<int64_t>(deref(parts, "part collection").owner->parts.size()); });
}

QX_EXPORT QX_ImmutablePartHandle QX_ImmutablePartCollection_getPart(QX_ImmutablePartCollectionHandle parts,
                                                                    int64_t index,
                                                                    const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_ImmutablePartCollection_getPart", QX_ImmutablePartHandle{}, [&] {
    const GeometryPtr& owner = deref(parts, "part collection").owner;
    const std::size_t i = checked_index(index, owner->parts.size(), "part");
    auto* h = new _QX_ImmutablePartInternal;
    h->owner = owner;
    h->index = i;
    return h;
  });
}

/* ---- ImmutablePart ---- */

QX_EXPORT void QX_ImmutablePart_destroy(QX_ImmutablePartHandle part, const QX_ErrorHandler* handler) {
  destroy_handle(part, handler, "QX_ImmutablePart_destroy", "part");
}

QX_EXPORT bool QX_ImmutablePart_getHasCurves(QX_ImmutablePartHandle part, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_ImmutablePart_getHasCurves", false,
                 [&] { return immutable_part_of(part).part().has_curves(); });
}

QX_EXPORT bool QX_ImmutablePart_getIsEmpty(QX_ImmutablePartHandle part, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_ImmutablePart_getIsEmpty", false,
                 [&] { return immutable_part_of(part).part().empty(); });
}

QX_EXPORT int64_t QX_ImmutablePart_getPointCount(QX_ImmutablePartHandle part,
                                                 const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_ImmutablePart_getPointCount", int64_t{0},
                 [&] { return static_cast<int64_t>(immutable_part_of(part).part().size()); });
}

QX_EXPORT QX_GeometryHandle QX_ImmutablePart_getPoint(QX_ImmutablePartHandle part, int64_t point_index,
                                                      const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_ImmutablePart_getPoint", QX_GeometryHandle{}, [&] {
    const auto& h = immutable_part_of(part);
    const Part& p = h.part();
    const Vertex& v = p.vertices[checked_index(point_index, p.size(), "point")];
    return point_handle(v, h.owner->has_z, h.owner->has_m, h.owner->spatial_reference);
  });
}

QX_EXPORT QX_ImmutablePointCollectionHandle QX_ImmutablePart_getPoints(QX_ImmutablePartHandle part,
                                                                       const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_ImmutablePart_getPoints", QX_ImmutablePointCollectionHandle{}, [&] {
    const auto& src = immutable_part_of(part);
    auto* h = new _QX_ImmutablePointCollectionInternal;
    h->owner = src.owner;
    h->part = static_cast<std::ptrdiff_t>(src.index);
    return h;
  });
}

QX_EXPORT QX_SegmentHandle QX_ImmutablePart_getSegment(QX_ImmutablePartHandle part, int64_t segment_index,
                                                       const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_ImmutablePart_getSegment", QX_SegmentHandle{}, [&] {
    const auto& h = immutable_part_of(part);
    const Part& p = h.part();
    const bool closed = h.closed();
    const SegmentView view =
        p.segment(checked_index(segment_index, p.segment_count(closed), "segment"), closed);
    auto s = std::make_shared<Segment>();
    s->start = view.start;
    s->end = view.end;
    s->curve = *view.curve;
    s->has_z = h.owner->has_z;
    s->has_m = h.owner->has_m;
    s->spatial_reference = h.owner->spatial_reference;
    return make_handle(SegmentPtr(std::move(s)));
  });
}

QX_EXPORT int64_t QX_ImmutablePart_getSegmentIndexFromEndPointIndex(QX_ImmutablePartHandle part,
                                                                    int64_t point_index,
                                                                    const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_ImmutablePart_getSegmentIndexFromEndPointIndex", int64_t{-1}, [&] {
    const auto& h = immutable_part_of(part);
    const Part& p = h.part();
    const std::size_t i = checked_index(point_index, p.size(), "point");
    if (i > 0) return static_cast<int64_t>(i) - 1;
    // Vertex 0 ends only the closing segment of a ring.
    const std::size_t n = p.segment_count(h.closed());
    return h.closed() && n > 0 ? static_cast<int64_t>(n) - 1 : int64_t{-1};
  });
}

/* ---- ImmutablePointCollection ---- */

QX_EXPORT void QX_ImmutablePointCollection_destroy(QX_ImmutablePointCollectionHandle points,
                                                   const QX_ErrorHandler* handler) {
  destroy_handle(points, handler, "QX_ImmutablePointCollection_destroy", "point collection");
}

QX_EXPORT int64_t QX_ImmutablePointCollection_getSize(QX_ImmutablePointCollectionHandle points,
                                                      const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_ImmutablePointCollection_getSize", int64_t{0},
                 [&] { return static_cast<int64_t>(deref(points, "point collection").size()); });
}

QX_EXPORT QX_GeometryHandle QX_ImmutablePointCollection_getPoint(QX_ImmutablePointCollectionHandle points,
                                                                 int64_t index,
                                                                 const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_ImmutablePointCollection_getPoint", QX_GeometryHandle{}, [&] {
    const auto& h = deref(points, "point collection");
    const Vertex v = h.at(checked_index(index, h.size(), "point"));
    return point_handle(v, h.owner->has_z, h.owner->has_m, h.owner->spatial_reference);
  });
}

}  // extern "C"
